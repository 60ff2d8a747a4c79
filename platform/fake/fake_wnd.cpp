// The window-system half of CWnd, CMenu and CPaintDC over fake windows.
#include <cstring>
#include <string>

#include "fake_controls.h"
#include "fake_platform.h"

using namespace win;

namespace {
fake::Platform& P() {
    return fake::Platform::Current();
}

int ControlId(const fake::Window* window) {
    return window && !window->isDialog ? window->id : 0;
}

std::string Target(const fake::Window* window) {
    return ControlId(window) != 0 ? std::to_string(window->id) + " " : std::string();
}

std::string Hex(std::uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

LRESULT DialogDefault(CWnd& dialog, fake::Window& window, UINT message, WPARAM wParam,
                      LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            if (auto* modal = dynamic_cast<CDialog*>(&dialog)) return modal->OnInitDialog();
            return TRUE;
        case WM_SETICON: {
            HICON& slot = wParam == ICON_BIG ? window.bigIcon : window.smallIcon;
            const HICON previous = slot;
            slot = reinterpret_cast<HICON>(lParam);
            return reinterpret_cast<LRESULT>(previous);
        }
        case WM_SETTEXT:
            window.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            return TRUE;
        case WM_CLOSE: {
            // The dialog manager turns closing into the cancel command.
            fake::Window* cancel = P().FindControl(window.handle, IDCANCEL);
            return dialog.WindowProc(WM_COMMAND, IDCANCEL,
                                     reinterpret_cast<LPARAM>(cancel ? cancel->handle : nullptr));
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) return dialog.WindowProc(WM_CLOSE, 0, 0);
            return 0;
        default:
            return 0;
    }
}
}  // namespace

CWnd* CWnd::FromHandle(HWND window) {
    fake::Window* found = window ? P().FindWindow(window) : nullptr;
    return found && !found->destroyed ? found->object : nullptr;
}

BOOL CWnd::SetWindowText(const char* text) {
    fake::Platform& platform = P();
    fake::Window* window = platform.FindWindow(m_hWnd);
    const std::string value = text ? text : "";
    platform.Record(fake::Kind::SetWindowText, "SetWindowText " + Target(window) + value,
                    fake::TextCall{m_hWnd, ControlId(window), value});
    if (window == nullptr || window->destroyed) return FALSE;
    if (window->isDialog) {
        window->text = value;
    } else {
        fake::FakeControls::SetText(platform, *window, value);
    }
    return TRUE;
}

CString CWnd::GetWindowText() const {
    const fake::Window* window = P().FindWindow(m_hWnd);
    return window ? CString(window->text) : CString();
}

BOOL CWnd::ShowWindow(int showCommand) {
    fake::Platform& platform = P();
    platform.Record(fake::Kind::ShowWindow, "ShowWindow " + std::to_string(showCommand),
                    fake::ShowCall{m_hWnd, showCommand});
    fake::Window* window = platform.FindWindow(m_hWnd);
    if (window == nullptr) return FALSE;
    const bool wasVisible = window->visible;
    if (showCommand == SW_HIDE) window->visible = false;
    if (showCommand == SW_SHOW || showCommand == SW_RESTORE) window->visible = true;
    if (showCommand == SW_RESTORE) window->iconic = false;
    return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::SetForegroundWindow() {
    return win::SetForegroundWindow(m_hWnd);
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    // Without a caption the system titles the box "Error".
    return P().ShowBox(
        {text ? text : "", caption ? caption : "Error", type, type, m_hWnd, false, 0});
}

BOOL CWnd::IsWindowVisible() const {
    const fake::Window* window = P().FindWindow(m_hWnd);
    return window && window->visible ? TRUE : FALSE;
}

BOOL CWnd::IsIconic() const {
    const fake::Window* window = P().FindWindow(m_hWnd);
    return window && window->iconic ? TRUE : FALSE;
}

void CWnd::GetClientRect(CRect* rect) const {
    const fake::Window* window = P().FindWindow(m_hWnd);
    *rect = CRect{0, 0, window ? window->clientWidth : 0, window ? window->clientHeight : 0};
}

CWnd* CWnd::GetDlgItem(int id) const {
    fake::Window* control = P().FindControl(m_hWnd, id);
    return control ? FromHandle(control->handle) : nullptr;
}

CWnd* CWnd::GetParent() const {
    const fake::Window* window = P().FindWindow(m_hWnd);
    return window ? FromHandle(window->parent) : nullptr;
}

CMenu* CWnd::GetSystemMenu(BOOL revert) {
    fake::Window* window = P().FindWindow(m_hWnd);
    if (window == nullptr || !(window->style & WS_SYSMENU)) return nullptr;
    if (revert) {
        window->systemMenu.resize(std::min<std::size_t>(window->systemMenu.size(), 2));
        return nullptr;
    }
    return &window->systemMenuObject;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    fake::Platform& platform = P();
    const fake::Window* window = platform.FindWindow(m_hWnd);
    platform.Record(fake::Kind::SendMessage,
                    "SendMessage " + Target(window) + Hex(message) + " " + Hex(wParam) + " " +
                        Hex(static_cast<std::uintptr_t>(lParam)),
                    fake::MessageCall{m_hWnd, ControlId(window), message, wParam, lParam});
    CWnd* target = FromHandle(m_hWnd);
    return target ? target->WindowProc(message, wParam, lParam) : 0;
}

BOOL CWnd::DestroyWindow() {
    fake::Platform& platform = P();
    fake::Window* window = platform.FindWindow(m_hWnd);
    if (window == nullptr || window->destroyed) return FALSE;
    platform.Record(fake::Kind::DestroyWindow,
                    "DestroyWindow " + std::to_string(window->templateId));
    for (HWND child : window->children) {
        fake::Window* control = platform.FindWindow(child);
        control->destroyed = true;
        control->object = nullptr;
    }
    window->destroyed = true;
    window->visible = false;
    window->object = nullptr;
    // The framework forgets its main window when that window goes.
    if (AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd == this)
        AfxGetApp()->m_pMainWnd = nullptr;
    m_hWnd = nullptr;
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    fake::Platform& platform = P();
    fake::Window* window = platform.FindWindow(m_hWnd);
    if (window == nullptr || window->destroyed) return 0;
    if (window->isDialog) return DialogDefault(*this, *window, message, wParam, lParam);
    return fake::FakeControls::Handle(platform, *window, message, wParam, lParam);
}

BOOL CMenu::AppendMenu(UINT flags, std::uintptr_t idNewItem, const char* text) {
    fake::Platform& platform = P();
    const std::string itemText = text ? text : "";
    platform.Record(fake::Kind::AppendMenu,
                    "AppendMenu " + Hex(flags) + " " + Hex(idNewItem) + " " + itemText,
                    fake::MenuCall{m_hMenu, flags, idNewItem, itemText});
    fake::Window* window = platform.WindowOfMenu(m_hMenu);
    if (window == nullptr) return FALSE;
    window->systemMenu.push_back({flags, idNewItem, itemText});
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* window) : m_pWnd(window) {
    fake::Platform& platform = P();
    m_hDC = static_cast<HDC>(platform.NewHandle());
    platform.Record(fake::Kind::Paint,
                    m_pWnd != nullptr ? "BeginPaint" : "BeginPaint without a window");
}

CPaintDC::~CPaintDC() {
    P().Record(fake::Kind::Paint, "EndPaint");
}
