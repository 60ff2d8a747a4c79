// Carrying window operations from worker threads to the GUI thread.
//
// Qt widgets live on the GUI thread alone, yet the probe worker sets the caption, shows and hides
// the window, opens message boxes and changes the tray icon. Such a call is queued for the GUI
// thread and the caller waits until it is done. A stop request releases every waiting caller at
// once, so a GUI thread that waits for the worker can never be waiting on a worker that waits
// for it.
#pragma once

#include <functional>

#include "winapi.h"

namespace tsyqt {

using GuiCall = std::function<win::LRESULT()>;

// Runs `call` on the GUI thread and returns its result. On the GUI thread itself, or before a
// QApplication exists, it runs at once. From another thread it is queued; the caller waits for
// it, and gets 0 without waiting (and the call is dropped if not begun) once a stop is requested.
// The call must own everything it uses: the caller may have left when it runs.
win::LRESULT RunOnGuiThread(GuiCall call);

bool OnGuiThread();

// Carries out the calls that other threads have queued; on the GUI thread only.
void RunQueuedCalls();

// Drops the queued calls that have not begun and releases every waiting caller.
void ReleaseWaitingCallers();

}  // namespace tsyqt
