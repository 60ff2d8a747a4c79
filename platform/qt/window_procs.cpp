// What the window system does with a message that no map entry handled: the built-in behaviour
// of dialogs and of each kind of control.
#include <QAbstractButton>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cstring>

#include "afxwin.h"
#include "control_text.h"
#include "icons.h"
#include "updown_control.h"
#include "window_record.h"

using namespace win;

namespace tsyqt {
namespace {

LRESULT CopyText(const std::string& text, WPARAM bufferSize, LPARAM buffer) {
    if (buffer == 0 || bufferSize == 0) return 0;
    const std::size_t length = std::min<std::size_t>(text.size(), bufferSize - 1);
    auto* target = reinterpret_cast<char*>(buffer);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
    return static_cast<LRESULT>(length);
}

LRESULT SetIcon(HWND__& dialog, WPARAM which, LPARAM icon) {
    HICON& slot = which == ICON_BIG ? dialog.bigIcon : dialog.smallIcon;
    const HICON previous = slot;
    slot = reinterpret_cast<HICON>(icon);
    // Qt keeps one icon per window and picks the size itself; the big one is the sharper source.
    const HICON shown = dialog.bigIcon != nullptr ? dialog.bigIcon : dialog.smallIcon;
    if (dialog.widget) dialog.widget->setWindowIcon(QtIcon(shown));
    return reinterpret_cast<LRESULT>(previous);
}

LRESULT EraseIconBackground(HWND__& dialog, WPARAM dc) {
    auto* context = reinterpret_cast<HDC>(dc);
    if (context == nullptr || context->painter == nullptr || !dialog.widget) return FALSE;
    context->painter->fillRect(dialog.widget->rect(), dialog.widget->palette().window());
    return TRUE;
}

void StartMove(HWND__& dialog) {
    if (!dialog.widget) return;
    if (QWindow* window = dialog.widget->windowHandle()) window->startSystemMove();
}

LRESULT DialogProc(CWnd& object, HWND__& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* owner = dynamic_cast<CDialog*>(&object);
            return owner != nullptr ? owner->OnInitDialog() : TRUE;
        }
        case WM_SETICON:
            return SetIcon(dialog, wParam, lParam);
        case WM_SYSCOMMAND:
            switch (static_cast<UINT>(wParam) & 0xFFF0) {
                case SC_CLOSE:
                    return object.WindowProc(WM_CLOSE, 0, 0);
                case SC_MOVE:
                    StartMove(dialog);
                    return 0;
                default:
                    return 0;
            }
        case WM_CLOSE:
            // A dialog closes as if its Cancel button had been pressed.
            return object.WindowProc(WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), 0);
        case WM_ICONERASEBKGND:
            return EraseIconBackground(dialog, wParam);
        default:
            return 0;
    }
}

LRESULT ButtonProc(HWND__& button, UINT message, WPARAM wParam) {
    // Push buttons and group boxes keep no check state and ignore the check messages.
    const bool checkable =
        button.kind == ControlKind::kCheckBox || button.kind == ControlKind::kRadioButton;
    auto* widget = qobject_cast<QAbstractButton*>(button.widget);
    if (!checkable || widget == nullptr) return 0;
    switch (message) {
        case BM_SETCHECK:
            widget->setChecked(static_cast<int>(wParam) == BST_CHECKED);
            return 0;
        case BM_GETCHECK:
            return widget->isChecked() ? BST_CHECKED : BST_UNCHECKED;
        default:
            return 0;
    }
}

LRESULT UpDownProc(HWND__& control, UINT message, LPARAM lParam) {
    auto* spinner = dynamic_cast<UpDownControl*>(control.widget.data());
    if (spinner == nullptr) return 0;
    switch (message) {
        case UDM_SETRANGE:
            return spinner->SetRange(lParam);
        case UDM_SETPOS:
            return spinner->SetPosition(lParam);
        case UDM_GETPOS:
            return spinner->GetPosition();
        default:
            return 0;
    }
}

}  // namespace
}  // namespace tsyqt

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    using tsyqt::ControlKind;
    HWND__* window = tsyqt::FindRecord(m_hWnd);
    if (window == nullptr) return 0;
    switch (message) {
        case WM_SETTEXT:
            tsyqt::SetTextOf(*window, lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
            return TRUE;
        case WM_GETTEXT:
            return tsyqt::CopyText(tsyqt::TextOf(*window), wParam, lParam);
        default:
            break;
    }
    switch (window->kind) {
        case ControlKind::kDialog:
            return tsyqt::DialogProc(*this, *window, message, wParam, lParam);
        case ControlKind::kUpDown:
            return tsyqt::UpDownProc(*window, message, lParam);
        default:
            return tsyqt::ButtonProc(*window, message, wParam);
    }
}
