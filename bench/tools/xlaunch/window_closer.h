// The two ways a person closes a window: the Escape key on it, or the close request that a window
// manager sends when the close box is clicked.
#pragma once

#include <X11/Xlib.h>

#include "event_log.h"

class WindowCloser {
  public:
    WindowCloser(Display* display, EventLog& log);

    // Gives the window the keyboard focus and taps Shift: the first key from the test device makes
    // a program fetch the keyboard map afresh, which a person's keyboard has long done.
    void PrimeKeyboard(Window window);
    // Gives the window the keyboard focus, then presses and releases Escape as a keyboard would.
    void PressEscape(Window window);
    // Sends the window manager's close request (WM_DELETE_WINDOW).
    void RequestClose(Window window);

  private:
    void Tap(KeySym key);

    Display* m_display;
    EventLog& m_log;
    Atom m_protocols;
    Atom m_deleteWindow;
};
