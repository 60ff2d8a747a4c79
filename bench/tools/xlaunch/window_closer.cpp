#include "window_closer.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>

WindowCloser::WindowCloser(Display* display, EventLog& log)
    : m_display(display),
      m_log(log),
      m_protocols(XInternAtom(display, "WM_PROTOCOLS", False)),
      m_deleteWindow(XInternAtom(display, "WM_DELETE_WINDOW", False)) {}

void WindowCloser::PressEscape(Window window) {
    const KeyCode escape = XKeysymToKeycode(m_display, XK_Escape);
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    XSync(m_display, False);
    char details[40];
    std::snprintf(details, sizeof(details), "0x%lx how=escape", window);
    m_log.Write("closing", details);
    XTestFakeKeyEvent(m_display, escape, True, CurrentTime);
    XTestFakeKeyEvent(m_display, escape, False, CurrentTime);
    XFlush(m_display);
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
