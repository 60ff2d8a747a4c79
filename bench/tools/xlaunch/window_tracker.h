// Follows the top-level windows that appear on the display and reports those of one program:
// when one is mapped at the top level (a window a person sees), when one is mapped inside another
// client's window (a tray icon that the tray host embedded), when one is unmapped, and when its
// name changes.
#pragma once

#include <X11/Xlib.h>

#include <map>
#include <string>

#include "event_log.h"

class WindowTracker {
  public:
    WindowTracker(Display* display, std::string programClass, EventLog& log);

    // Call before the program starts, so that none of its windows is missed.
    void WatchRoot();
    void Handle(const XEvent& event);

  private:
    enum class Ownership { kUnknown, kOurs, kOther };

    struct Seen {
        Ownership ownership = Ownership::kUnknown;
        bool viewable = false;
        Window parent = 0;
        std::string name;
    };

    void Track(Window window);
    void Examine(Window window);
    Ownership OwnershipOf(Window window) const;
    std::string NameOf(Window window) const;
    Window ParentOf(Window window) const;
    void Report(const char* event, Window window, const XWindowAttributes& attributes,
                const Seen& seen);

    Display* m_display;
    Window m_root;
    std::string m_class;
    EventLog& m_log;
    Atom m_netWmName;
    Atom m_utf8String;
    std::map<Window, Seen> m_windows;
};
