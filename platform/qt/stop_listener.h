// What the window layer does when the worker is asked to stop.
#pragma once

namespace tsyqt {

// Hooks the window layer into the stop request: waiting worker calls are released and the
// message boxes that workers wait on close. Idempotent.
void InstallStopListener();

}  // namespace tsyqt
