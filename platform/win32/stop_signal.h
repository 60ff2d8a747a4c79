// The stop request that ends the worker's waits when the window closes.
//
// One manual-reset event, set once and never reset: every wait of a thread other than the
// window's waits on it too, so a pause, a tone, an echo request or a lookup in progress ends at
// once, and every later one returns at once.
#pragma once

#include "native_windows.h"

namespace win32 {

class StopSignal {
  public:
    enum class WaitEnd { Signalled, TimedOut, Stopped, Failed };

    static HANDLE Event();
    static void Request();
    static bool IsRequested();
    // The window's own thread (the program's first) is never asked to stop.
    static bool AppliesToThisThread();
    // Waits for `object` for up to `milliseconds`; on a thread that the stop applies to, a stop
    // request ends the wait first.
    static WaitEnd WaitFor(HANDLE object, DWORD milliseconds);
};

}  // namespace win32
