// The window half of CWnd, CMenu and CPaintDC over user32.
//
// The operations that the worker calls from its own thread simply call the real API: for a
// window of another thread, Windows carries them to that thread and returns when it is done.
// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <unordered_map>
#include <vector>

#include "afxwin.h"
#include "native_layout.h"
#include "window_map.h"
#include "worker_message_boxes.h"

using win32::Native;
using win32::WindowMap;

CWnd* CWnd::FromHandle(win::HWND window) {
    return WindowMap::Instance().FromHandle(Native(window));
}

win::BOOL CWnd::SetWindowText(const char* text) {
    return ::SetWindowTextA(Native(m_hWnd), text);
}

win::BOOL CWnd::ShowWindow(int showCommand) {
    const HWND window = Native(m_hWnd);
    // From another thread, only once the dialog's first showing is done (the worker hides the
    // window it starts in while that window may still be opening).
    if (::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId()) {
        WindowMap::Instance().WaitUntilOpened(window);
    }
    return ::ShowWindow(window, showCommand);
}

win::BOOL CWnd::SetForegroundWindow() {
    return ::SetForegroundWindow(Native(m_hWnd));
}

int CWnd::MessageBox(const char* text, const char* caption, win::UINT type) {
    CWinApp* app = AfxGetApp();
    if (caption == nullptr) caption = app != nullptr ? app->m_strAppName.GetString() : "";
    return win32::WorkerMessageBoxes::Show(Native(m_hWnd), text, caption, type);
}

CString CWnd::GetWindowText() const {
    const int length = ::GetWindowTextLengthA(Native(m_hWnd));
    if (length <= 0) return CString();
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = ::GetWindowTextA(Native(m_hWnd), buffer.data(), length + 1);
    return CString(buffer.data(), copied);
}

win::BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(Native(m_hWnd));
}

win::BOOL CWnd::IsIconic() const {
    return ::IsIconic(Native(m_hWnd));
}

void CWnd::GetClientRect(CRect* rect) const {
    RECT native{};
    ::GetClientRect(Native(m_hWnd), &native);
    *rect = CRect{native.left, native.top, native.right, native.bottom};
}

CWnd* CWnd::GetDlgItem(int id) const {
    return WindowMap::Instance().FromHandle(::GetDlgItem(Native(m_hWnd), id));
}

CWnd* CWnd::GetParent() const {
    return WindowMap::Instance().FromHandle(::GetParent(Native(m_hWnd)));
}

CMenu* CWnd::GetSystemMenu(win::BOOL revert) {
    return WindowMap::Instance().MenuFromHandle(::GetSystemMenu(Native(m_hWnd), revert));
}

win::LRESULT CWnd::SendMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    return ::SendMessageA(Native(m_hWnd), message, wParam, lParam);
}

win::BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) return win::FALSE;
    const HWND window = Native(m_hWnd);
    const bool entered = WindowMap::Instance().Permanent(window) == this;
    const win::BOOL destroyed = ::DestroyWindow(window);
    // An entered window lets go of its object as it is destroyed; a temporary one lets go here.
    if (!entered) m_hWnd = nullptr;
    return destroyed;
}

win::LRESULT CWnd::DefWindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    const HWND window = Native(m_hWnd);
    if (message == WM_HELP && (::GetWindowLongA(window, GWL_STYLE) & win::WS_CHILD) == 0) {
        // F1 in any of the program's windows asks the application for help, as the framework's
        // help command.
        CWinApp* app = AfxGetApp();
        CWnd* target = app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd->m_hWnd
                           ? app->m_pMainWnd
                           : this;
        target->SendMessage(win::WM_COMMAND, ID_HELP, 0);
        return win::TRUE;
    }
    if (const WNDPROC superProc = WindowMap::Instance().SuperProc(window)) {
        return ::CallWindowProcA(superProc, window, message, wParam, lParam);
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

win::BOOL CMenu::AppendMenu(win::UINT flags, std::uintptr_t idNewItem, const char* text) {
    return ::AppendMenuA(Native(m_hMenu), flags, idNewItem, text);
}

namespace {
// EndPaint wants the record that BeginPaint filled; CPaintDC keeps only the device context.
thread_local std::unordered_map<const CPaintDC*, PAINTSTRUCT> t_paints;
}  // namespace

CPaintDC::CPaintDC(CWnd* window) : m_pWnd(window) {
    PAINTSTRUCT& paint = t_paints[this];
    m_hDC = win32::Framework(::BeginPaint(Native(window->m_hWnd), &paint));
}

CPaintDC::~CPaintDC() {
    const auto found = t_paints.find(this);
    if (found == t_paints.end()) return;
    ::EndPaint(Native(m_pWnd->m_hWnd), &found->second);
    t_paints.erase(found);
}
