// What a modal script can do to the dialog it runs in: the user's clicks, typing and keys.
#pragma once

#include <string>

#include "afxwin.h"
#include "fake_window.h"

namespace fake {

class Platform;

class ModalSession {
  public:
    ModalSession(Platform& platform, CDialog& dialog) : m_platform(platform), m_dialog(dialog) {}

    CDialog& Dialog() { return m_dialog; }
    win::HWND Handle() const { return m_dialog.m_hWnd; }
    Window& Control(int id);
    bool Ended();

    // A mouse click on a button: an automatic radio button takes the check from the others of
    // its group, a check box toggles; then the button's BN_CLICKED reaches the dialog.
    void Click(int id);
    // Replaces an edit box's text, then its EN_CHANGE reaches the dialog.
    void Type(int id, const std::string& text);
    // The arrow keys on an up-down control's buddy.
    void Step(int spinId, int delta);
    void PressEscape();
    void PressEnter();
    void SysCommand(win::UINT id);
    win::LRESULT Send(win::UINT message, win::WPARAM wParam = 0, win::LPARAM lParam = 0);

  private:
    void Command(int id, win::UINT code, win::HWND control);

    Platform& m_platform;
    CDialog& m_dialog;
};

}  // namespace fake
