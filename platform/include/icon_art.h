// The program's icons as pixels, drawn at any size from one description, so that every size a
// desktop asks for (16 pixels to 256 and HiDPI trays) is sharp.
#pragma once

#include <cstdint>
#include <vector>

struct IconImage {
    int size = 0;                  // width and height in pixels
    std::vector<std::uint32_t> argb;  // size * size pixels, rows top down, 0xAARRGGBB, not premultiplied
};

// Renders icon resource `id` at `size` pixels; an empty image when there is no such icon.
IconImage AfxRenderIcon(int id, int size);
// Whether the icon's image at `size` is part of its resource (16 and 32 pixels); the up and down
// icons' 32-pixel image is fully transparent by design.
bool AfxIconHasImage(int id, int size);
