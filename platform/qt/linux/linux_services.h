// What the Qt window layer needs of the Linux services library beside it (threads and the stop
// request); everything else the services offer is declared in platform/include.
#pragma once

#include <chrono>

#include "winapi.h"

namespace linuxsvc {

// Waits up to `timeout` for the thread that win::CreateThread made to end; true once it has.
bool WaitForThreadEnd(win::HANDLE thread, std::chrono::milliseconds timeout);

// Called by AfxRequestStop once the services' own waits are woken, so that the window layer can
// close any message box a worker thread is waiting on. Null clears it.
void SetStopListener(void (*listener)());

}  // namespace linuxsvc
