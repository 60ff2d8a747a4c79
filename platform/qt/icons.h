// Icon handles: the program's icons as Qt icons, rendered at every size a desktop may ask for.
#pragma once

#include <QIcon>

#include "winapi.h"

struct win::HICON__ {
    int resourceId = 0;
    int size = 0;  // the size the icon was loaded at: what DrawIcon paints
    QIcon icon;
};

struct win::HDC__ {
    QPainter* painter = nullptr;  // null outside a paint event: drawing does nothing
};

namespace tsyqt {

// The icon of `handle`, or an empty icon for null.
QIcon QtIcon(win::HICON handle);

}  // namespace tsyqt
