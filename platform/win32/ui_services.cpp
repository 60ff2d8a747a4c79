// User-interface and shell services over user32 and shell32.
#include "native_layout.h"

namespace win {

HICON LoadIconA(HINSTANCE instance, int resourceId) {
    return win32::Framework(::LoadIconA(win32::Native(instance), MAKEINTRESOURCEA(resourceId)));
}

HANDLE LoadImageA(HINSTANCE instance, int resourceId, UINT type, int cx, int cy, UINT flags) {
    return ::LoadImageA(win32::Native(instance), MAKEINTRESOURCEA(resourceId), type, cx, cy, flags);
}

BOOL SetForegroundWindow(HWND window) {
    return ::SetForegroundWindow(win32::Native(window));
}

int GetSystemMetrics(int index) {
    return ::GetSystemMetrics(index);
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    return ::DrawIcon(win32::Native(dc), x, y, win32::Native(icon));
}

BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) {
    // The layouts are proven equal in native_layout.h; the shell takes the size from cbSize.
    return ::Shell_NotifyIconA(message, reinterpret_cast<::NOTIFYICONDATAA*>(data));
}

}  // namespace win
