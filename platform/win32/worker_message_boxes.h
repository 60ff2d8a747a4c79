// Message boxes, and the closing of those that other threads than the window's hold open when
// the window asks them to stop.
#pragma once

#include "native_windows.h"

namespace win32 {

class WorkerMessageBoxes {
  public:
    // MessageBoxA; on a thread that the stop applies to, a stop request closes the box, and once
    // the stop was requested no box opens (the result is then 0).
    static int Show(HWND owner, const char* text, const char* caption, UINT type);
    // Closes every box that such a thread holds open.
    static void CloseAll();
};

}  // namespace win32
