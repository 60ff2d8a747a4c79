"""One run of an X program under xlaunch: its windows, tray icon and end as xlaunch reports them,
and the close commands a person would give."""

import os
import queue
import re
import subprocess
import threading
import time
from dataclasses import dataclass, field

from .common import stop_process

_EVENT = re.compile(r"^(?P<ms>[\d.]+) (?P<wall>[\d.]+) (?P<kind>[\w-]+)"
                    r"(?: (?P<window>0x[0-9a-f]+))?(?P<rest>.*)$")
_FIELD = re.compile(r'(\w+)=("[^"]*"|\S+)')
# A tray icon is small; a main window is not. Tells them apart if an icon is ever mapped on top.
_LARGEST_ICON = 64


@dataclass
class Event:
    ms: float  # since the launch (monotonic clock)
    wall: float  # wall clock, seconds
    kind: str
    window: str = ""
    fields: dict = field(default_factory=dict)

    @property
    def name(self):
        return self.fields.get("name", "").strip('"')

    @property
    def looks_like_window(self):
        return (int(self.fields.get("w", 0)) > _LARGEST_ICON or
                int(self.fields.get("h", 0)) > _LARGEST_ICON)


def parse_event(line):
    match = _EVENT.match(line.strip())
    if not match:
        return None
    fields = dict(_FIELD.findall(match["rest"]))
    return Event(float(match["ms"]), float(match["wall"]), match["kind"], match["window"] or "",
                 fields)


class Launch:
    def __init__(self, xlaunch, command, program_class, env, prefix, log_path, undo):
        self._argv = prefix + [xlaunch, "--class", program_class, "--"] + command
        self._env = env
        self._log_path = log_path
        self._undo = undo
        self._process = None
        self._queue = queue.Queue()
        self.events = []
        self.pid = None

    def start(self):
        self._log = open(self._log_path, "a")
        self._undo.add(self._log.close)
        self._process = subprocess.Popen(self._argv, env=self._env, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=self._log, text=True,
                                         start_new_session=True)
        self._undo.add(stop_process, self._process)
        threading.Thread(target=self._read, daemon=True).start()
        launch = self.wait_for(lambda e: e.kind == "launch", 30, "the launch")
        self.pid = int(launch.fields["pid"])
        return self

    def _read(self):
        for line in self._process.stdout:
            event = parse_event(line)
            if event is not None:
                self.events.append(event)
                self._queue.put(event)
        self._queue.put(None)

    def wait_for(self, wanted, timeout, what):
        """The next event that `wanted` accepts; raises after `timeout` seconds or at the end."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            try:
                event = self._queue.get(timeout=max(left, 0.001))
            except queue.Empty:
                event = False
            if event is None or event is False:
                if event is None:
                    self._queue.put(None)  # the end stays seen for later waits
                raise TimeoutError(f"gave up waiting for {what}; see {self._log_path}")
            if wanted(event):
                return event

    def first(self, wanted):
        return next((event for event in self.events if wanted(event)), None)

    def main_window(self):
        return self.first(lambda e: e.kind == "mapped" and e.looks_like_window)

    def tray_icon(self):
        return self.first(lambda e: e.kind == "embedded")

    def wait_until_shown(self, timeout=60):
        """The mapping of the main window and the embedding of the tray icon, in either order."""
        deadline = time.monotonic() + timeout
        while self.main_window() is None or self.tray_icon() is None:
            left = deadline - time.monotonic()
            self.wait_for(lambda e: e.kind in ("mapped", "embedded"), left,
                          "the main window and the tray icon")
        return self.main_window(), self.tray_icon()

    def send(self, command):
        self._process.stdin.write(command + "\n")
        self._process.stdin.flush()

    def prime_keyboard(self, window):
        """Lets the program take in the test keyboard before a key is timed."""
        self.send(f"prime {window}")
        return self.wait_for(lambda e: e.kind == "primed", 10, "the keyboard to be primed")

    def close_window(self, how, window):
        self.send(f"{'escape' if how == 'escape' else 'wmclose'} {window}")
        return self.wait_for(lambda e: e.kind == "closing", 10, "the close to be sent")

    def wait_exit(self, timeout):
        """The exit event, or None when the program was still running after `timeout` seconds."""
        try:
            return self.wait_for(lambda e: e.kind == "exit", timeout, "the program's end")
        except TimeoutError:
            return None

    def end(self):
        """Ends the run whatever state it is in."""
        if self._process.poll() is None:
            try:
                self.send("term")
            except (BrokenPipeError, ValueError):
                pass
            if self.wait_exit(10) is None:
                stop_process(self._process)
        try:
            self._process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            stop_process(self._process)


def _stored(value):
    """A value as the settings file keeps it: integers bare, texts quoted."""
    return str(value) if isinstance(value, int) else '"' + value.replace('\\', '\\\\').replace('"', '\\"') + '"'


def program_env(display, undo, scratch, settings=None):
    """A fresh settings folder (with `settings` written in the program's section) and a fresh
    run-time folder; no session bus, so the tray icon takes the XEmbed way to trayer."""
    from .common import fresh_directory
    config = fresh_directory(undo, scratch, "config-")
    runtime = fresh_directory(undo, scratch, "runtime-")
    os.chmod(runtime, 0o700)
    if settings:
        os.makedirs(os.path.join(config, "Dovrel"))
        with open(os.path.join(config, "Dovrel", "tessaly.conf"), "w") as conf:
            conf.write("[dovrel]\n" + "".join(f"{k}={_stored(v)}\n" for k, v in settings.items()))
    return display.env(XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb",
                       DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/tessaly-bench-bus")
