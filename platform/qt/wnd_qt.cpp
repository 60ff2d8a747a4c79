// The window half of CWnd over Qt widgets. Every operation runs on the GUI thread; called from
// another thread it is carried there and the caller waits.
#include <QWidget>
#include <memory>

#include "afxwin.h"
#include "control_text.h"
#include "dialog_window.h"
#include "gui_thread.h"
#include "window_menu.h"
#include "window_record.h"

using namespace win;

namespace tsyqt {
namespace {

// Runs `operation` with the window's record on the GUI thread; `missing` when the window is gone.
template <typename Operation>
LRESULT WithWindow(HWND handle, LRESULT missing, Operation operation) {
    return RunOnGuiThread([handle, missing, operation]() -> LRESULT {
        HWND__* window = FindRecord(handle);
        return window != nullptr ? operation(*window) : missing;
    });
}

BOOL Show(QWidget& widget, int command) {
    const BOOL wasVisible = widget.isVisible() ? TRUE : FALSE;
    switch (command) {
        case SW_HIDE:
            widget.hide();
            break;
        case SW_RESTORE:
            // Restoring also shows a window hidden in the tray, and makes it the active one.
            if (widget.isMinimized() || widget.isMaximized()) {
                widget.showNormal();
            } else {
                widget.show();
            }
            widget.activateWindow();
            break;
        default:
            widget.show();
            break;
    }
    return wasVisible;
}

void BringToFront(QWidget& widget) {
    QWidget* window = widget.window();
    window->raise();
    window->activateWindow();
}

void ForgetControls(HWND__& dialog) {
    for (HWND control : dialog.children) UnregisterWindow(control);
    dialog.children.clear();
}

BOOL Destroy(HWND handle) {
    HWND__* window = FindRecord(handle);
    if (window == nullptr) return FALSE;
    QWidget* widget = window->widget;
    bool deleteLater = false;
    if (auto* dialog = dynamic_cast<DialogWindow*>(widget)) {
        // A dialog destroyed in the middle of its run ends the run; its loop still holds it.
        deleteLater = !dialog->Ended();
        dialog->EndModal(-1);
    }
    ForgetControls(*window);
    if (HWND__* parent = FindRecord(window->parent);
        parent != nullptr && window->kind != ControlKind::kDialog) {
        std::erase(parent->children, handle);
    }
    CWnd* object = window->object;
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == object && object != nullptr) app->m_pMainWnd = nullptr;
    if (object != nullptr && object->m_hWnd == handle) object->m_hWnd = nullptr;
    UnregisterWindow(handle);
    if (widget != nullptr) {
        widget->hide();
        if (deleteLater) {
            widget->deleteLater();
        } else {
            delete widget;
        }
    }
    return TRUE;
}

}  // namespace
}  // namespace tsyqt

CWnd* CWnd::FromHandle(HWND window) {
    HWND__* record = tsyqt::FindRecord(window);
    return record != nullptr ? record->object : nullptr;
}

BOOL CWnd::SetWindowText(const char* text) {
    const std::string copy = text ? text : "";
    return static_cast<BOOL>(tsyqt::WithWindow(m_hWnd, FALSE, [copy](HWND__& window) -> LRESULT {
        if (window.object == nullptr) return FALSE;
        return window.object->WindowProc(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
    }));
}

CString CWnd::GetWindowText() const {
    // Shared: a caller released by a stop request leaves before the call has run.
    auto text = std::make_shared<std::string>();
    tsyqt::WithWindow(m_hWnd, 0, [text](HWND__& window) -> LRESULT {
        *text = tsyqt::TextOf(window);
        return 0;
    });
    return CString(*text);
}

BOOL CWnd::ShowWindow(int showCommand) {
    return static_cast<BOOL>(
        tsyqt::WithWindow(m_hWnd, FALSE, [showCommand](HWND__& window) -> LRESULT {
            return window.widget ? tsyqt::Show(*window.widget, showCommand) : FALSE;
        }));
}

BOOL CWnd::SetForegroundWindow() {
    return win::SetForegroundWindow(m_hWnd);
}

BOOL win::SetForegroundWindow(HWND window) {
    return static_cast<BOOL>(tsyqt::WithWindow(window, FALSE, [](HWND__& record) -> LRESULT {
        if (!record.widget) return FALSE;
        tsyqt::BringToFront(*record.widget);
        return TRUE;
    }));
}

BOOL CWnd::IsWindowVisible() const {
    return static_cast<BOOL>(tsyqt::WithWindow(m_hWnd, FALSE, [](HWND__& window) -> LRESULT {
        return window.widget && window.widget->isVisible() ? TRUE : FALSE;
    }));
}

BOOL CWnd::IsIconic() const {
    return static_cast<BOOL>(tsyqt::WithWindow(m_hWnd, FALSE, [](HWND__& window) -> LRESULT {
        return window.widget && window.widget->window()->isMinimized() ? TRUE : FALSE;
    }));
}

void CWnd::GetClientRect(CRect* rect) const {
    if (rect == nullptr) return;
    auto client = std::make_shared<CRect>();
    tsyqt::WithWindow(m_hWnd, 0, [client](HWND__& window) -> LRESULT {
        if (window.widget) *client = {0, 0, window.widget->width(), window.widget->height()};
        return 0;
    });
    *rect = *client;
}

CWnd* CWnd::GetDlgItem(int id) const {
    // Identifiers are 16 bits wide: -1 and 0xFFFF name the same control.
    const auto wanted = static_cast<WORD>(id);
    return reinterpret_cast<CWnd*>(
        tsyqt::WithWindow(m_hWnd, 0, [wanted](HWND__& window) -> LRESULT {
            for (HWND control : window.children) {
                HWND__* record = tsyqt::FindRecord(control);
                if (record != nullptr && static_cast<WORD>(record->id) == wanted) {
                    return reinterpret_cast<LRESULT>(record->object);
                }
            }
            return 0;
        }));
}

CWnd* CWnd::GetParent() const {
    return reinterpret_cast<CWnd*>(tsyqt::WithWindow(m_hWnd, 0, [](HWND__& window) -> LRESULT {
        return reinterpret_cast<LRESULT>(FromHandle(window.parent));
    }));
}

CMenu* CWnd::GetSystemMenu(BOOL revert) {
    return reinterpret_cast<CMenu*>(
        tsyqt::WithWindow(m_hWnd, 0, [revert](HWND__& window) -> LRESULT {
            if (window.kind != tsyqt::ControlKind::kDialog) return 0;
            if (revert) {
                tsyqt::ResetWindowMenu(&window.systemMenu);
                return 0;
            }
            return reinterpret_cast<LRESULT>(&window.systemMenuObject);
        }));
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return tsyqt::WithWindow(m_hWnd, 0, [message, wParam, lParam](HWND__& window) -> LRESULT {
        return window.object != nullptr ? window.object->WindowProc(message, wParam, lParam) : 0;
    });
}

BOOL CWnd::DestroyWindow() {
    const HWND handle = m_hWnd;
    if (handle == nullptr) return FALSE;
    const auto destroyed = static_cast<BOOL>(
        tsyqt::RunOnGuiThread([handle]() -> LRESULT { return tsyqt::Destroy(handle); }));
    if (destroyed && m_hWnd == handle) m_hWnd = nullptr;
    return destroyed;
}
