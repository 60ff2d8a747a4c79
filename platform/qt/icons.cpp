#include "icons.h"

#include <QPainter>
#include <QPixmap>
#include <map>
#include <memory>
#include <utility>

#include "gui_thread.h"
#include "icon_art.h"
#include "icons_art_engine.h"

namespace tsyqt {
namespace {

constexpr int kStandardIconSize = 32;

bool IsResourceSize(int size) {
    return size == 16 || size == 32;
}

// Loading an icon twice yields the same handle: handles are never freed, so none leaks. The
// table outlives the application object, whose end its pixmaps must not see.
win::HICON LoadIcon(int id, int size) {
    if (AfxRenderIcon(id, 1).size == 0) return nullptr;
    static auto* loaded = new std::map<std::pair<int, int>, std::unique_ptr<win::HICON__>>;
    // Pixmaps belong to the GUI thread, and so does the table.
    return reinterpret_cast<win::HICON>(RunOnGuiThread([id, size]() -> win::LRESULT {
        auto& slot = (*loaded)[{id, size}];
        if (!slot) {
            slot = std::make_unique<win::HICON__>();
            slot->resourceId = id;
            slot->size = size;
            // An image the resource holds as fully transparent stays so; any other size is
            // drawn from the artwork when asked for, sharp at every size the desktop picks.
            const bool blank = IsResourceSize(size) && !AfxIconHasImage(id, size);
            auto* engine = new ArtIconEngine(id, blank);
            slot->engine = engine;
            slot->icon = QIcon(engine);
        }
        return reinterpret_cast<win::LRESULT>(slot.get());
    }));
}

}  // namespace

QIcon QtIcon(win::HICON handle) {
    return handle != nullptr ? handle->icon : QIcon();
}

std::vector<int> RenderedSides(win::HICON handle) {
    return handle != nullptr && handle->engine != nullptr ? handle->engine->RenderedSides()
                                                          : std::vector<int>();
}

}  // namespace tsyqt

namespace win {

HICON LoadIconA(HINSTANCE, int resourceId) {
    return tsyqt::LoadIcon(resourceId, tsyqt::kStandardIconSize);
}

HANDLE LoadImageA(HINSTANCE, int resourceId, UINT type, int cx, int cy, UINT) {
    if (type != IMAGE_ICON) return nullptr;
    const int size = cx > 0 ? cx : (cy > 0 ? cy : tsyqt::kStandardIconSize);
    return tsyqt::LoadIcon(resourceId, size);
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXICON:
        case SM_CYICON:
            return tsyqt::kStandardIconSize;
        default:
            return 0;
    }
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    if (dc == nullptr || dc->painter == nullptr || icon == nullptr) return FALSE;
    const QSize size(icon->size, icon->size);
    const QPixmap pixmap = icon->icon.pixmap(size, dc->painter->device()->devicePixelRatioF());
    dc->painter->drawPixmap(QRect(QPoint(x, y), size), pixmap);
    return TRUE;
}

}  // namespace win
