#include "window_closer.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>

WindowCloser::WindowCloser(Display* display, EventLog& log)
    : m_display(display),
      m_log(log),
      m_protocols(XInternAtom(display, "WM_PROTOCOLS", False)),
      m_deleteWindow(XInternAtom(display, "WM_DELETE_WINDOW", False)) {}

void WindowCloser::PrimeKeyboard(Window window) {
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    Tap(XK_Shift_L);
    XSync(m_display, False);
    char details[24];
    std::snprintf(details, sizeof(details), "0x%lx", window);
    m_log.Write("primed", details);
}

void WindowCloser::PressEscape(Window window) {
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    XSync(m_display, False);
    char details[40];
    std::snprintf(details, sizeof(details), "0x%lx how=escape", window);
    m_log.Write("closing", details);
    Tap(XK_Escape);
    XFlush(m_display);
}

void WindowCloser::Tap(KeySym key) {
    const KeyCode code = XKeysymToKeycode(m_display, key);
    XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, False, CurrentTime);
}

void WindowCloser::RequestClose(Window window) {
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = m_protocols;
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(m_deleteWindow);
    request.xclient.data.l[1] = CurrentTime;
    char details[40];
    std::snprintf(details, sizeof(details), "0x%lx how=wmclose", window);
    m_log.Write("closing", details);
    XSendEvent(m_display, window, False, NoEventMask, &request);
    XFlush(m_display);
}
