#include "stop_signal.h"

#include "afxwin.h"
#include "worker_message_boxes.h"

namespace win32 {
namespace {
// Static initialisation runs on the program's first thread, which runs the windows.
const DWORD g_windowThreadId = ::GetCurrentThreadId();
}  // namespace

HANDLE StopSignal::Event() {
    static const HANDLE event = ::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr);
    return event;
}

void StopSignal::Request() {
    ::SetEvent(Event());
}

bool StopSignal::IsRequested() {
    return ::WaitForSingleObject(Event(), 0) == WAIT_OBJECT_0;
}

bool StopSignal::AppliesToThisThread() {
    return ::GetCurrentThreadId() != g_windowThreadId;
}

StopSignal::WaitEnd StopSignal::WaitFor(HANDLE object, DWORD milliseconds) {
    DWORD result = 0;
    if (AppliesToThisThread()) {
        // The object comes first: when both are signalled, the finished work wins.
        const HANDLE handles[] = {object, Event()};
        result = ::WaitForMultipleObjects(2, handles, win::FALSE, milliseconds);
        if (result == WAIT_OBJECT_0 + 1) return WaitEnd::Stopped;
    } else {
        result = ::WaitForSingleObject(object, milliseconds);
    }
    if (result == WAIT_OBJECT_0) return WaitEnd::Signalled;
    if (result == WAIT_TIMEOUT) return WaitEnd::TimedOut;
    return WaitEnd::Failed;
}

}  // namespace win32

void AfxRequestStop() {
    win32::StopSignal::Request();
    win32::WorkerMessageBoxes::CloseAll();
}

bool AfxStopRequested() {
    return win32::StopSignal::IsRequested();
}

void AfxWaitForThread(win::HANDLE thread) {
    // The thread may be waiting for this thread to carry out a window operation it sent (a
    // caption, a show, its message box's owner): deliver sent messages while waiting.
    for (;;) {
        const DWORD result =
            ::MsgWaitForMultipleObjects(1, &thread, win::FALSE, INFINITE, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1) return;
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
