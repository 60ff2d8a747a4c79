#include "window_tracker.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <strings.h>

#include <cstdio>
#include <utility>

WindowTracker::WindowTracker(Display* display, std::string programClass, EventLog& log)
    : m_display(display),
      m_root(DefaultRootWindow(display)),
      m_class(std::move(programClass)),
      m_log(log),
      m_netWmName(XInternAtom(display, "_NET_WM_NAME", False)),
      m_utf8String(XInternAtom(display, "UTF8_STRING", False)) {}

void WindowTracker::WatchRoot() {
    XSelectInput(m_display, m_root, SubstructureNotifyMask);
    XSync(m_display, False);
}

void WindowTracker::Handle(const XEvent& event) {
    switch (event.type) {
        case CreateNotify:
            if (event.xcreatewindow.parent == m_root) Track(event.xcreatewindow.window);
            break;
        case MapNotify:
            Examine(event.xmap.window);
            break;
        case UnmapNotify:
            Examine(event.xunmap.window);
            break;
        case ReparentNotify:
            Examine(event.xreparent.window);
            break;
        case PropertyNotify:
            if (event.xproperty.atom == XA_WM_CLASS || event.xproperty.atom == XA_WM_NAME ||
                event.xproperty.atom == m_netWmName) {
                Examine(event.xproperty.window);
            }
            break;
        case DestroyNotify:
            m_windows.erase(event.xdestroywindow.window);
            break;
        default:
            break;
    }
}

void WindowTracker::Track(Window window) {
    // The window's own structure events follow it when the tray host takes it in.
    XSelectInput(m_display, window, StructureNotifyMask | PropertyChangeMask);
    m_windows.emplace(window, Seen{});
    // It may have changed between its creation and our selection: look at it as it is now.
    Examine(window);
}

void WindowTracker::Examine(Window window) {
    const auto found = m_windows.find(window);
    if (found == m_windows.end()) return;
    Seen& seen = found->second;
    if (seen.ownership == Ownership::kUnknown) seen.ownership = OwnershipOf(window);
    if (seen.ownership != Ownership::kOurs) return;

    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(m_display, window, &attributes)) return;
    const bool viewable = attributes.map_state == IsViewable;
    const Window parent = ParentOf(window);
    const std::string name = NameOf(window);
    const bool moved = parent != seen.parent;
    const bool renamed = name != seen.name;
    const bool wasViewable = seen.viewable;
    seen.viewable = viewable;
    seen.parent = parent;
    seen.name = name;

    if (viewable && (!wasViewable || moved)) {
        Report(parent == m_root ? "mapped" : "embedded", window, attributes, seen);
    } else if (!viewable && wasViewable) {
        Report("unmapped", window, attributes, seen);
    } else if (renamed) {
        Report("named", window, attributes, seen);
    }
}

WindowTracker::Ownership WindowTracker::OwnershipOf(Window window) const {
    XClassHint hint{};
    if (!XGetClassHint(m_display, window, &hint)) return Ownership::kUnknown;
    const bool ours =
        (hint.res_name != nullptr && strcasecmp(hint.res_name, m_class.c_str()) == 0) ||
        (hint.res_class != nullptr && strcasecmp(hint.res_class, m_class.c_str()) == 0);
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    return ours ? Ownership::kOurs : Ownership::kOther;
}

std::string WindowTracker::NameOf(Window window) const {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(m_display, window, m_netWmName, 0, 1024, False, m_utf8String, &type,
                           &format, &items, &after, &data) == Success &&
        data != nullptr && format == 8) {
        name.assign(reinterpret_cast<const char*>(data), items);
    } else {
        char* plain = nullptr;
        if (XFetchName(m_display, window, &plain) && plain != nullptr) {
            name = plain;
            XFree(plain);
        }
    }
    if (data != nullptr) XFree(data);
    return name;
}

Window WindowTracker::ParentOf(Window window) const {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, window, &root, &parent, &children, &count)) return 0;
    if (children != nullptr) XFree(children);
    return parent;
}

void WindowTracker::Report(const char* event, Window window, const XWindowAttributes& attributes,
                           const Seen& seen) {
    char details[160];
    std::snprintf(details, sizeof(details), "0x%lx parent=0x%lx w=%d h=%d name=", window,
                  seen.parent, attributes.width, attributes.height);
    m_log.Write(event, details + QuotedName(seen.name));
}
