// The application framework's services that need the system: its message box, the instance
// handle and the help command.
// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include "afxwin.h"
#include "modal_frames.h"
#include "native_layout.h"
#include "worker_message_boxes.h"

int AfxMessageBox(const char* text, win::UINT type, win::UINT) {
    if ((type & win::MB_ICONMASK) == 0) type |= win::MB_ICONEXCLAMATION;
    CWinApp* app = AfxGetApp();
    const char* caption = app != nullptr ? app->m_strAppName.GetString() : "";
    return win32::WorkerMessageBoxes::Show(nullptr, text, caption, type);
}

win::HINSTANCE AfxGetInstanceHandle() {
    return win32::Framework(::GetModuleHandleA(nullptr));
}

void CWinApp::OnHelp() {
    // There is no help file; the about box stands in for it, through the main window's about
    // command, unless a dialog above the main window is open.
    constexpr win::WPARAM kAboutCommand = 0x0010;
    if (win32::ModalFrames::Depth() > 1) return;
    if (m_pMainWnd == nullptr || m_pMainWnd->m_hWnd == nullptr) return;
    m_pMainWnd->SendMessage(win::WM_SYSCOMMAND, kAboutCommand, 0);
}
