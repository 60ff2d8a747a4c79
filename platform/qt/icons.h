// Icon handles: the program's icons as Qt icons, rendered at each size a desktop asks for when
// it asks.
#pragma once

#include <QIcon>
#include <vector>

#include "winapi.h"

namespace tsyqt {
class ArtIconEngine;
}

struct win::HICON__ {
    int resourceId = 0;
    int size = 0;  // the size the icon was loaded at: what DrawIcon paints
    QIcon icon;
    const tsyqt::ArtIconEngine* engine = nullptr;  // owned by `icon`
};

struct win::HDC__ {
    QPainter* painter = nullptr;  // null outside a paint event: drawing does nothing
};

namespace tsyqt {

// The icon of `handle`, or an empty icon for null.
QIcon QtIcon(win::HICON handle);

// The sides, in pixels, the icon of `handle` has been rendered at so far; none for null. On the
// GUI thread only.
std::vector<int> RenderedSides(win::HICON handle);

}  // namespace tsyqt
