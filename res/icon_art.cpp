// The artwork of the three icons, as shapes in a unit square, rendered with 4 x 4 supersampling
// so that every size is sharp and no bitmap has to be kept in step with another.
#include <algorithm>
#include <cmath>

#include "icon_art.h"
#include "resource.h"

namespace {

struct Rgb {
    std::uint32_t value;  // 0xRRGGBB
};

struct Rect {
    double left, top, right, bottom;
    bool Contains(double x, double y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct Palette {
    Rgb background;
    Rgb bar;
    Rgb cross;
};

// A plus-shaped cross standing on a horizontal bar: the state icons' motif.
Rgb PaintStateIcon(const Palette& colours, double x, double y) {
    const Rect horizontal{0.14, 0.30, 0.86, 0.50};
    const Rect vertical{0.40, 0.06, 0.60, 0.74};
    const Rect bar{0.04, 0.78, 0.96, 0.94};
    if (horizontal.Contains(x, y) || vertical.Contains(x, y)) return colours.cross;
    if (bar.Contains(x, y)) return colours.bar;
    return colours.background;
}

// The application icon: a navy disc with a white ring and a green dot, a target being watched.
bool PaintAppIcon(double x, double y, Rgb& colour) {
    const double dx = x - 0.5;
    const double dy = y - 0.5;
    const double r = std::sqrt(dx * dx + dy * dy);
    if (r > 0.47) return false;
    if (r < 0.12) {
        colour = {0x20C040};
    } else if (r > 0.24 && r < 0.33) {
        colour = {0xFFFFFF};
    } else {
        colour = {0x1A3A7A};
    }
    return true;
}

bool PaintSample(int id, double x, double y, Rgb& colour) {
    switch (id) {
        case IDR_MAINFRAME:
            return PaintAppIcon(x, y, colour);
        case IDI_NET_UP:
            colour = PaintStateIcon({{0xFFFFFF}, {0x006400}, {0x00FF00}}, x, y);
            return true;
        case IDI_NET_DOWN:
            colour = PaintStateIcon({{0xC0C0C0}, {0x008000}, {0xFF0000}}, x, y);
            return true;
        default:
            return false;
    }
}

std::uint32_t AveragePixel(int id, int px, int py, int size) {
    constexpr int kSamples = 4;
    double red = 0, green = 0, blue = 0, alpha = 0;
    for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
            const double x = (px + (sx + 0.5) / kSamples) / size;
            const double y = (py + (sy + 0.5) / kSamples) / size;
            Rgb colour{0};
            if (!PaintSample(id, x, y, colour)) continue;
            red += (colour.value >> 16) & 0xFF;
            green += (colour.value >> 8) & 0xFF;
            blue += colour.value & 0xFF;
            alpha += 1;
        }
    }
    if (alpha == 0) return 0;
    auto channel = [&](double sum) {
        return static_cast<std::uint32_t>(std::clamp(std::lround(sum / alpha), 0L, 255L));
    };
    const auto a = static_cast<std::uint32_t>(std::lround(alpha * 255 / (kSamples * kSamples)));
    return (a << 24) | (channel(red) << 16) | (channel(green) << 8) | channel(blue);
}

bool IsKnownIcon(int id) { return id == IDR_MAINFRAME || id == IDI_NET_UP || id == IDI_NET_DOWN; }

}  // namespace

bool AfxIconHasImage(int id, int size) {
    if (!IsKnownIcon(id)) return false;
    if (id == IDR_MAINFRAME) return size == 16 || size == 32;
    return size == 16;
}

IconImage AfxRenderIcon(int id, int size) {
    IconImage image;
    if (!IsKnownIcon(id) || size <= 0) return image;
    image.size = size;
    image.argb.resize(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.argb[static_cast<std::size_t>(y) * size + x] = AveragePixel(id, x, y, size);
        }
    }
    return image;
}
