// The notification-area icons that Shell_NotifyIconA keeps.
#pragma once

#include "winapi.h"

class QSystemTrayIcon;

namespace tsyqt {

// The Qt icon behind a window's tray icon, or null; on the GUI thread.
QSystemTrayIcon* TrayIconOf(win::HWND window, win::UINT id);

}  // namespace tsyqt
