// xlaunch: starts an X program and reports, one stamped line each, when its windows are mapped,
// when its tray icon is embedded, their names, and when the program ends. Commands on standard
// input close a window the way a person would:
//
//   xlaunch --class NAME -- PROGRAM [ARGUMENT...]
//
//   prime 0xID     focus the window and tap Shift, so that the keyboard map is fetched now
//   escape 0xID    focus the window and press Escape
//   wmclose 0xID   send the window manager's close request
//   term           send the program SIGTERM
//
// Output lines: MS_SINCE_LAUNCH WALL_CLOCK EVENT DETAILS..., with the events launch, mapped,
// embedded, unmapped, named, primed, closing and exit.
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "child_process.h"
#include "event_log.h"
#include "window_closer.h"
#include "window_tracker.h"

namespace {

// A window may be gone by the time we ask about it; that is no error for a watcher.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

class CommandReader {
  public:
    // Reads what is there; false at the end of input.
    bool ReadAvailable() {
        char chunk[512];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof(chunk));
        if (got <= 0) return false;
        m_pending.append(chunk, static_cast<std::size_t>(got));
        return true;
    }
    bool NextLine(std::string& line) {
        const std::size_t end = m_pending.find('\n');
        if (end == std::string::npos) return false;
        line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        return true;
    }

  private:
    std::string m_pending;
};

void Obey(const std::string& line, WindowCloser& closer, ChildProcess& child, EventLog& log) {
    char verb[32] = {};
    char target[32] = {};
    std::sscanf(line.c_str(), "%31s %31s", verb, target);
    const Window window = std::strtoul(target, nullptr, 0);
    if (std::strcmp(verb, "prime") == 0 && window != 0) {
        closer.PrimeKeyboard(window);
    } else if (std::strcmp(verb, "escape") == 0 && window != 0) {
        closer.PressEscape(window);
    } else if (std::strcmp(verb, "wmclose") == 0 && window != 0) {
        closer.RequestClose(window);
    } else if (std::strcmp(verb, "term") == 0) {
        child.Terminate();
    } else {
        log.Write("unknown-command", QuotedName(line));
    }
}

int Usage() {
    std::fprintf(stderr, "usage: xlaunch --class NAME -- PROGRAM [ARGUMENT...]\n");
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 5 || std::strcmp(argv[1], "--class") != 0 || std::strcmp(argv[3], "--") != 0) {
        return Usage();
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "xlaunch: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(IgnoreXError);

    EventLog log;
    WindowTracker tracker(display, argv[2], log);
    WindowCloser closer(display, log);
    tracker.WatchRoot();

    ChildProcess child;
    log.MarkLaunch();
    if (!child.Start(argv + 4)) {
        std::perror("xlaunch: start");
        return 1;
    }
    log.Write("launch", "pid=" + std::to_string(child.Pid()));

    CommandReader commands;
    bool commandsOpen = true;
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            tracker.Handle(event);
        }
        pollfd watched[3] = {{ConnectionNumber(display), POLLIN, 0},
                             {child.ExitDescriptor(), POLLIN, 0},
                             {commandsOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        if (poll(watched, 3, -1) < 0) continue;
        if (watched[1].revents != 0) {
            log.Write("exit", child.Reap());
            break;
        }
        if (watched[2].revents != 0) {
            commandsOpen = commands.ReadAvailable();
            std::string line;
            while (commands.NextLine(line)) Obey(line, closer, child, log);
        }
    }
    XCloseDisplay(display);
    return 0;
}
