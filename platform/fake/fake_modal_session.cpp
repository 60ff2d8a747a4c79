#include "fake_modal_session.h"

#include <stdexcept>

#include "fake_controls.h"
#include "fake_platform.h"

using namespace win;

namespace fake {

Window& ModalSession::Control(int id) {
    Window* control = m_platform.FindControl(Handle(), id);
    if (control == nullptr)
        throw std::logic_error("fake: the dialog has no control " + std::to_string(id));
    return *control;
}

bool ModalSession::Ended() {
    const Window* dialog = m_platform.FindWindow(Handle());
    return dialog == nullptr || dialog->ended;
}

void ModalSession::Click(int id) {
    m_platform.Record(Kind::Input, "click " + std::to_string(id));
    Window& button = Control(id);
    FakeControls::ApplyClick(m_platform, button);
    Command(id, BN_CLICKED, button.handle);
}

void ModalSession::Type(int id, const std::string& text) {
    m_platform.Record(Kind::Input, "type " + std::to_string(id) + " " + text);
    Window& edit = Control(id);
    edit.text = text;
    Command(id, EN_CHANGE, edit.handle);
}

void ModalSession::Step(int spinId, int delta) {
    m_platform.Record(Kind::Input, "step " + std::to_string(spinId) + " " + std::to_string(delta));
    FakeControls::Step(m_platform, Control(spinId), delta);
}

void ModalSession::PressEscape() {
    m_platform.Record(Kind::Input, "escape");
    Window* cancel = m_platform.FindControl(Handle(), IDCANCEL);
    Command(IDCANCEL, 0, cancel ? cancel->handle : nullptr);
}

void ModalSession::PressEnter() {
    m_platform.Record(Kind::Input, "enter");
    // Enter presses the default push button; without one the dialog manager sends IDOK.
    for (HWND child : m_platform.FindWindow(Handle())->children) {
        Window* control = m_platform.FindWindow(child);
        if (control->IsButton() && control->ButtonType() == BS_DEFPUSHBUTTON) {
            Command(control->id, BN_CLICKED, control->handle);
            return;
        }
    }
    Command(IDOK, BN_CLICKED, nullptr);
}

void ModalSession::SysCommand(UINT id) {
    m_platform.Record(Kind::Input, "system command " + std::to_string(id));
    Send(WM_SYSCOMMAND, id, 0);
}

LRESULT ModalSession::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_dialog.WindowProc(message, wParam, lParam);
}

void ModalSession::Command(int id, UINT code, HWND control) {
    Send(WM_COMMAND, MAKELONG(static_cast<WORD>(id), static_cast<WORD>(code)),
         reinterpret_cast<LPARAM>(control));
}

}  // namespace fake
