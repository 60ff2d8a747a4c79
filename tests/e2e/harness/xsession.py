"""A private X display (Xvfb) with an XEmbed tray host (trayer), and what a test does on it:
list windows, read captions, take screenshots, click and type."""

import os
import random
import re
import signal
import subprocess
from dataclasses import dataclass, field
from pathlib import Path

from . import resources
from .pixels import Region
from .waiting import wait_until

COMMAND_TIMEOUT = 30  # seconds; a single X tool that takes longer has hung
TRAY_HOST_RESTARTS = 3  # in one session
TREE_READS = 5  # a window tree that changes under every one of these reads is a fault
# Every tray host that ended under a test, (artefacts folder, how it ended), for the run's
# summary: a program that brought its tray host down must not pass unnoticed.
TRAY_HOST_LOSSES = []

_TREE_LINE = re.compile(
    r"^(?P<indent>\s*)(?P<id>0x[0-9a-f]+) (?P<name>.*): \((?P<classes>[^()]*)\)\s+"
    r"(?P<w>\d+)x(?P<h>\d+)\+-?\d+\+-?\d+\s+\+(?P<x>-?\d+)\+(?P<y>-?\d+)\s*$"
)


@dataclass
class Window:
    id: str
    name: str  # as xwininfo shows it; use XSession.window_name for the exact caption
    classes: tuple
    region: Region  # in root coordinates
    depth: int
    children: list = field(default_factory=list)

    def descendants(self):
        for child in self.children:
            yield child
            yield from child.descendants()


def parse_tree(text):
    """Parses `xwininfo -root -tree` into the root's top-level windows, each with its children."""
    tops = []
    stack = []  # (indent, window)
    for line in text.splitlines():
        match = _TREE_LINE.match(line)
        if not match:
            continue
        indent = len(match["indent"])
        name = match["name"]
        if name.startswith('"') and name.endswith('"'):
            name = name[1:-1]
        else:
            name = ""
        classes = tuple(re.findall(r'"([^"]*)"', match["classes"]))
        region = Region(int(match["x"]), int(match["y"]), int(match["w"]), int(match["h"]))
        while stack and stack[-1][0] >= indent:
            stack.pop()
        window = Window(match["id"], name, classes, region, len(stack))
        if stack:
            stack[-1][1].children.append(window)
        else:
            tops.append(window)
        stack.append((indent, window))
    return tops


class XSession:
    def __init__(self, artifacts, size="1024x768"):
        self.artifacts = Path(artifacts)
        self.size = size
        self.display = None
        self._xvfb = None
        self._tray = None
        self._logs = []
        # How each tray host before the running one ended, for the test's report.
        self.tray_host_endings = []

    def __repr__(self):
        return f"XSession({self.display})"

    # ---- start and stop ------------------------------------------------------------------

    def start(self):
        resources.track(self)
        self.artifacts.mkdir(parents=True, exist_ok=True)
        self._start_xvfb()
        self._start_tray()
        wait_until(self._panel_or_restart,
                   lambda: f"the tray host's panel ({self.tray_host_state()})")
        return self

    def _panel_or_restart(self):
        self.restart_tray_host_if_gone()
        return self.tray_panel()

    def _log(self, name):
        log = open(self.artifacts / name, "wb")
        self._logs.append(log)
        return log

    def _start_xvfb(self):
        # Display numbers are drawn from a range of their own, away from those that other tools
        # and the other test suites take (the Windows tests take the first free one from 400):
        # a foreign client, or a second tray host, on our display would take our tray away.  A
        # number that another server holds (Xvfb refuses it and exits) is replaced by another.
        for _ in range(8):
            number = random.randrange(1000, 2000)
            if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
                continue
            self.display = f":{number}"
            self._xvfb = subprocess.Popen(
                ["Xvfb", self.display, "-screen", "0", f"{self.size}x24", "-nolisten", "tcp"],
                stdout=self._log("xvfb.log"), stderr=subprocess.STDOUT, start_new_session=True)
            if wait_until(self._ours_answers_or_gone, f"Xvfb on {self.display}") == "ours":
                return
            self._xvfb.wait()
        raise RuntimeError("found no free display number for Xvfb")

    def _ours_answers_or_gone(self):
        if self._xvfb.poll() is not None:
            return "gone"
        # The lock file names the server that holds the number: it must be ours.
        try:
            holder = int(Path(f"/tmp/.X{self.display[1:]}-lock").read_text().strip())
        except (OSError, ValueError):
            return None
        return "ours" if holder == self._xvfb.pid and self._answers() else None

    def _start_tray(self):
        # A log of its own for each tray host, so that a restart keeps what the last one said.
        name = "trayer.log" if not self.tray_host_endings else \
            f"trayer-{len(self.tray_host_endings) + 1}.log"
        self._tray_log = self.artifacts / name
        self._tray = subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
             "--width", "160", "--heighttype", "pixel", "--height", "32",
             "--transparent", "true", "--alpha", "0", "--tint", "0x303030"],
            env=self.env(), stdout=self._log(name), stderr=subprocess.STDOUT,
            start_new_session=True)

    def _answers(self):
        result = subprocess.run(["xdpyinfo"], env=self.env(), capture_output=True,
                                timeout=COMMAND_TIMEOUT)
        return result.returncode == 0

    def close(self):
        for process in (self._tray, self._xvfb):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self._tray = self._xvfb = None
        for log in self._logs:
            log.close()
        self._logs = []

    # ---- queries -------------------------------------------------------------------------

    def env(self, **extra):
        """The environment for an X client of this display: no session bus, no Wayland."""
        env = {key: value for key, value in os.environ.items()
               if key not in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY")}
        env["DISPLAY"] = self.display
        env.update(extra)
        return env

    def run(self, *args, check=True):
        return subprocess.run(list(args), env=self.env(), check=check, capture_output=True,
                              text=True, timeout=COMMAND_TIMEOUT).stdout

    def tree(self):
        # xwininfo walks the tree one request at a time and gives up with BadWindow when a
        # window goes away under it (a tray host or a program starting or closing): read again.
        said = ""
        for _ in range(TREE_READS):
            result = subprocess.run(["xwininfo", "-root", "-tree"], env=self.env(),
                                    capture_output=True, text=True, timeout=COMMAND_TIMEOUT)
            if result.returncode == 0:
                return parse_tree(result.stdout)
            said = result.stderr.strip()
        raise RuntimeError(f"xwininfo could not read the window tree {TREE_READS} times in a "
                           f"row on {self.display}; it said {said!r}")

    def all_windows(self):
        for top in self.tree():
            yield top
            yield from top.descendants()

    def windows_of_class(self, instance):
        return [window for window in self.all_windows() if instance in window.classes]

    def window_name(self, window_id):
        """The exact caption (WM_NAME / _NET_WM_NAME) of a window, or None when it has gone."""
        result = subprocess.run(["xdotool", "getwindowname", window_id], env=self.env(),
                                capture_output=True, timeout=COMMAND_TIMEOUT)
        if result.returncode != 0:
            return None
        return result.stdout.decode("utf-8", "replace").removesuffix("\n")

    def is_viewable(self, window_id):
        result = subprocess.run(["xwininfo", "-id", window_id], env=self.env(),
                                capture_output=True, text=True, timeout=COMMAND_TIMEOUT)
        return result.returncode == 0 and "Map State: IsViewable" in result.stdout

    def geometry(self, window_id):
        for window in self.all_windows():
            if window.id == window_id:
                return window.region
        return None

    def tray_host_state(self):
        if self._tray is None:
            return "not started"
        code = self._tray.poll()
        if code is None:
            return "running"
        if code < 0:
            return f"trayer killed by {signal.Signals(-code).name}"
        return f"trayer ended with code {code}"

    def restart_tray_host_if_gone(self):
        """Starts the tray host again when it has ended, saying so loudly in the test's output:
        the icons of running programs dock again as soon as a new tray host takes the tray.
        True when it had to."""
        if self._tray is None or self._tray.poll() is None:
            return False
        if len(self.tray_host_endings) >= TRAY_HOST_RESTARTS:
            return False  # one that cannot stay up is the fault to see
        ending = self.tray_host_state()
        said = self._tray_log.read_bytes()[-600:].decode("utf-8", "replace").strip()
        self.tray_host_endings.append(ending)
        TRAY_HOST_LOSSES.append((self.artifacts.name, ending))
        print(f"\n    !!! TRAY HOST GONE on {self.display}: {ending}; its log ended with "
              f"{said!r}; starting a new one", flush=True)
        self._start_tray()
        return True

    def tray_panel(self):
        for top in self.tree():
            if top.classes == ("panel", "trayer") and self.is_viewable(top.id):
                return top
        return None

    def tray_icons(self, instance):
        """The windows that the tray host has embedded for clients of class `instance`."""
        panel = self.tray_panel()
        if panel is None:
            return []
        return [window for window in panel.descendants() if instance in window.classes]

    # ---- actions -------------------------------------------------------------------------

    def screenshot(self, name):
        path = self.artifacts / (re.sub(r"[^A-Za-z0-9_.-]+", "-", name) + ".png")
        partial = path.with_suffix(".partial.png")
        self.run("import", "-window", "root", str(partial))
        partial.replace(path)
        return path

    def click(self, x, y, button):
        """Clicks at a spot of the screen.  `xdotool mousemove --sync` waits for the pointer to
        move, and when it already rests on the spot no motion ever comes (it gives up after some
        15 s): move it off first."""
        location = self.run("xdotool", "getmouselocation", "--shell")
        if f"X={x}\n" in location and f"Y={y}\n" in location:
            self.run("xdotool", "mousemove", "--sync", str(x + 3 if x < 100 else x - 3), str(y))
        self.run("xdotool", "mousemove", "--sync", str(x), str(y))
        self.run("xdotool", "click", str(button))

    def press_key(self, window_id, key):
        """Gives the window the keyboard focus, then presses the key as a person would."""
        self.run("xdotool", "windowfocus", "--sync", window_id)
        self.run("xdotool", "key", "--clearmodifiers", key)
