// The application's window-side services: help, the instance, waiting for a worker, the stop.
#include <QApplication>
#include <QWidget>
#include <chrono>
#include <mutex>

#include "afxwin.h"
#include "gui_thread.h"
#include "linux_services.h"
#include "message_boxes.h"
#include "stop_listener.h"
#include "window_record.h"

using namespace win;

namespace tsyqt {
namespace {

// The standard command that opens a program's about box from its window menu.
constexpr WPARAM kAboutBoxCommand = 0x0010;
constexpr std::chrono::milliseconds kWaitSlice{10};

void OnStopRequested() {
    ReleaseWaitingCallers();
    if (OnGuiThread()) {
        CloseWorkerMessageBoxes();
    } else if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app, [] { CloseWorkerMessageBoxes(); }, Qt::QueuedConnection);
    }
}

bool AnotherModalWindowOpen(const CWnd& mainWindow) {
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return false;
    const HWND__* main = FindRecord(mainWindow.m_hWnd);
    return main == nullptr || modal != main->widget;
}

}  // namespace

void InstallStopListener() {
    static std::once_flag installed;
    std::call_once(installed, [] { linuxsvc::SetStopListener(&OnStopRequested); });
}

}  // namespace tsyqt

void CWinApp::OnHelp() {
    // No help file exists: help is the about box, and only while nothing else is modal.
    CWnd* main = m_pMainWnd;
    if (main == nullptr || main->m_hWnd == nullptr || tsyqt::AnotherModalWindowOpen(*main)) return;
    main->SendMessage(WM_SYSCOMMAND, tsyqt::kAboutBoxCommand, 0);
}

HINSTANCE AfxGetInstanceHandle() {
    static char instance;
    return reinterpret_cast<HINSTANCE>(&instance);
}

void AfxWaitForThread(HANDLE thread) {
    tsyqt::InstallStopListener();
    for (;;) {
        if (linuxsvc::WaitForThreadEnd(thread, tsyqt::kWaitSlice)) return;
        // The thread may be waiting on a window operation that only this thread can carry out.
        tsyqt::RunQueuedCalls();
    }
}
