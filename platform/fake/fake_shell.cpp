// Icons, the notification area, fronting and drawing.
#include <string>

#include "fake_platform.h"
#include "icon_art.h"

using namespace win;

namespace {
fake::Platform& P() {
    return fake::Platform::Current();
}

constexpr int kStandardIconSize = 32;

const char* TrayMessageName(DWORD message) {
    switch (message) {
        case NIM_ADD:
            return "NIM_ADD";
        case NIM_MODIFY:
            return "NIM_MODIFY";
        case NIM_DELETE:
            return "NIM_DELETE";
        default:
            return "NIM_?";
    }
}

HANDLE LoadIcon(fake::Kind kind, const char* call, int resourceId, UINT type, int cx, int cy,
                UINT flags) {
    fake::Platform& platform = P();
    // The system scales an icon to the size asked for, from whichever image the resource has.
    const bool exists = AfxIconHasImage(resourceId, 16) || AfxIconHasImage(resourceId, 32);
    const bool loads = type == IMAGE_ICON && exists && !platform.IconLoadFails(resourceId);
    HANDLE icon = loads ? platform.NewIcon(resourceId, cx) : nullptr;
    platform.Record(kind,
                    std::string(call) + " " + std::to_string(resourceId) + " " +
                        std::to_string(cx) + "x" + std::to_string(cy),
                    fake::IconCall{resourceId, type, cx, cy, flags, icon});
    return icon;
}
}  // namespace

namespace win {

HICON LoadIconA(HINSTANCE, int resourceId) {
    return static_cast<HICON>(LoadIcon(fake::Kind::LoadIcon, "LoadIconA", resourceId, IMAGE_ICON,
                                       kStandardIconSize, kStandardIconSize, LR_DEFAULTCOLOR));
}

HANDLE LoadImageA(HINSTANCE, int resourceId, UINT type, int cx, int cy, UINT flags) {
    return LoadIcon(fake::Kind::LoadImage, "LoadImageA", resourceId, type, cx, cy, flags);
}

BOOL SetForegroundWindow(HWND window) {
    P().Record(fake::Kind::SetForegroundWindow, "SetForegroundWindow", fake::ShowCall{window, 0});
    return window != nullptr ? TRUE : FALSE;
}

int GetSystemMetrics(int index) {
    return index == SM_CXICON || index == SM_CYICON ? kStandardIconSize : 0;
}

BOOL DrawIcon(HDC, int x, int y, HICON icon) {
    P().Record(fake::Kind::DrawIcon, "DrawIcon " + std::to_string(x) + " " + std::to_string(y),
               fake::DrawCall{x, y, icon});
    return icon != nullptr ? TRUE : FALSE;
}

BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) {
    fake::Platform& platform = P();
    const BOOL result = data != nullptr ? platform.NotifyIcon(message, *data) : FALSE;
    platform.Record(fake::Kind::Tray,
                    std::string("Shell_NotifyIcon ") + TrayMessageName(message) + " " +
                        (data ? data->szTip : ""),
                    fake::TrayCall{message, data ? *data : NOTIFYICONDATAA{}, result});
    return result;
}

}  // namespace win
