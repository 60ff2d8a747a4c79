// CDialog's modal run over the real dialog manager, in the manner of the classic framework: the
// window is made from an in-memory template, handed to its object as it is created, and run by a
// loop of the dialog's own until EndDialog.
// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <mutex>
#include <utility>

#include "afxwin.h"
#include "dialog_template_builder.h"
#include "modal_frames.h"
#include "native_layout.h"
#include "window_map.h"

using win32::Framework;
using win32::ModalFrames;
using win32::Native;
using win32::WindowMap;

namespace {

thread_local CDialog* t_dialogBeingMade = nullptr;

void EnsureCommonControls() {
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS};
        ::InitCommonControlsEx(&controls);
    });
}

LRESULT CALLBACK FrameworkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowMap& map = WindowMap::Instance();
    CWnd* object = map.Permanent(window);
    if (object == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
    if (message != WM_NCDESTROY) return object->WindowProc(message, wParam, lParam);

    // The last message: the object lets go of the window, and the application of its main window.
    const WNDPROC superProc = map.SuperProc(window);
    const LRESULT result = ::CallWindowProcA(superProc, window, message, wParam, lParam);
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc));
    map.Detach(window);
    object->m_hWnd = nullptr;
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == object) {
        app->m_pMainWnd = nullptr;
    }
    map.DropDeadTemporaries();
    return result;
}

// Sees the dialog's window first among the windows its creation makes, before any message.
LRESULT CALLBACK EnterDialogAtCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_dialogBeingMade != nullptr) {
        const auto window = reinterpret_cast<HWND>(wParam);
        CDialog* dialog = std::exchange(t_dialogBeingMade, nullptr);
        const auto superProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
            window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameworkWindowProc)));
        dialog->Attach(Framework(window));
        WindowMap::Instance().Attach(window, dialog, superProc, /*opening=*/true);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Every other message reaches the object through its window procedure; the dialog manager's
// default handling calls this one only for what the object passed on.
INT_PTR CALLBACK FrameworkDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message != win::WM_INITDIALOG) return win::FALSE;
    auto* dialog = dynamic_cast<CDialog*>(WindowMap::Instance().Permanent(window));
    return dialog != nullptr ? dialog->OnInitDialog() : win::TRUE;
}

// The owner: the given parent, else the application's main window unless that is the dialog
// itself; always the top-level window around it.
HWND OwnerOf(const CDialog* dialog) {
    CWnd* parent = dialog->ParentWindow();
    if (parent == nullptr) {
        CWinApp* app = AfxGetApp();
        if (app != nullptr && app->m_pMainWnd != dialog) parent = app->m_pMainWnd;
    }
    if (parent == nullptr || parent->m_hWnd == nullptr) return nullptr;
    return ::GetAncestor(Native(parent->m_hWnd), GA_ROOT);
}

// A template at position 0, 0 names no place: centre it over its shown owner, or in the work
// area when it has none.
void Place(HWND window, HWND owner, const DialogTemplate& description) {
    if (description.x != 0 || description.y != 0) return;
    RECT rect{};
    ::GetWindowRect(window, &rect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoA(
        ::MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT area = monitor.rcWork;
    RECT around = area;
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &around);
    }
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    LONG x = around.left + (around.right - around.left - width) / 2;
    LONG y = around.top + (around.bottom - around.top - height) / 2;
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RunModalLoop(HWND window, const ModalFrames::Frame& frame) {
    MSG message;
    while (!frame.ended && ::IsWindow(window)) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // A quit request belongs to an outer loop: leave it there.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (got == -1) return;
        if (!::IsDialogMessageA(window, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

}  // namespace

std::intptr_t CDialog::DoModal() {
    const DialogTemplate* description = AfxFindDialogTemplate(m_nIDTemplate);
    if (description == nullptr) return -1;
    EnsureCommonControls();
    const std::vector<std::uint32_t> bytes = win32::DialogTemplateBuilder::Build(*description);

    const HWND owner = OwnerOf(this);
    const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disableOwner) ::EnableWindow(owner, win::FALSE);

    ModalFrames::Scope scope(this);
    t_dialogBeingMade = this;
    const HHOOK hook =
        ::SetWindowsHookExA(WH_CBT, EnterDialogAtCreation, nullptr, ::GetCurrentThreadId());
    const HWND window = ::CreateDialogIndirectParamA(
        ::GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner,
        FrameworkDialogProc, 0);
    if (hook != nullptr) ::UnhookWindowsHookEx(hook);
    t_dialogBeingMade = nullptr;
    if (window == nullptr) {
        if (disableOwner) ::EnableWindow(owner, win::TRUE);
        return -1;
    }

    // EndDialog may already have come from OnInitDialog.
    if (!scope.frame().ended) {
        Place(window, owner, *description);
        // A modal dialog is shown whether or not its template says WS_VISIBLE, as the system's
        // own modal loop and the classic framework's do: only the main window's template says it.
        ::ShowWindow(window, SW_SHOWNORMAL);
        WindowMap::Instance().MarkOpened(window);
        RunModalLoop(window, scope.frame());
    }

    // The owner comes back before the dialog goes, so that it, not another program, is activated.
    if (disableOwner) ::EnableWindow(owner, win::TRUE);
    if (owner != nullptr && ::GetActiveWindow() == window) ::SetActiveWindow(owner);
    if (::IsWindow(window)) {
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    DestroyWindow();
    return scope.frame().result;
}

void CDialog::EndDialog(int result) {
    if (ModalFrames::Frame* frame = ModalFrames::Find(this)) {
        frame->ended = true;
        frame->result = result;
    }
    // Wakes the modal loop, which may be waiting for a message.
    if (m_hWnd != nullptr) ::PostMessageA(Native(m_hWnd), WM_NULL, 0, 0);
}
