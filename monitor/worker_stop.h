// How the worker leaves its loop when the window asks it to stop: after every wait and every
// blocking call it checks, and from then on touches nothing.
#pragma once

#include "afxwin.h"

struct WorkerStopped {};

inline void ThrowIfStopRequested() {
    if (AfxStopRequested()) throw WorkerStopped{};
}
