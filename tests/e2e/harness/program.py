"""The real program under test, started on a test's X display with a settings directory of its
own, optionally inside a test network's client namespace and as another user than root."""

import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from . import resources
from .clipboard import ClipboardOwner
from .pixels import Region, icon_colours, is_dark, read_region
from .settings import parse_settings, settings_text
from .waiting import PATIENCE, end_process, wait_until

# The application name is the program file's base name; it names the settings file.
APPLICATION = "tessaly"
CAPTION_START = "DovRel"
TARGET_CAPTION = "DovRel Tessaly -"
STATUS = ("DovRel Tessaly - Trying to Resolve Addr", "DovRel Tessaly - Bad IP/Host")
NOBODY = 65534  # uid and gid of nobody and nogroup on Debian

# The main window's template measures 180 x 71 dialog units; the centres of its push buttons in
# the same units.  The window is that template scaled, so the fractions hold on screen.
TEMPLATE_SIZE = (180, 71)
BUTTON_CENTRES = {"Stat/Options": (55, 61), "Hide Me": (103, 61), "Help": (151, 61)}
# The alert radio buttons' left edges and their common vertical centre, in dialog units; the
# round indicator sits at the left end, its centre about 7 pixels in.
RADIO_LEFTS = {"None": 25, "Beep": 75, "Message": 125}
RADIO_MIDDLE = 40
RADIO_INDICATOR_OFFSET = 7


class Tessaly:
    """One instance of the program.  Several may run side by side on one display: each finds
    its own windows and tray icon by process id.

    settings: a dict of values or the whole text of a file, written before the start;
    settings_bytes: the file's raw bytes instead; config_home: a folder that the test prepared
    and keeps (only a copy of the file goes to the artefacts); user: the uid (and gid) to run
    as, after the namespace is entered as root."""

    def __init__(self, program, session, network=None, settings=None, label="tessaly", *,
                 config_home=None, settings_bytes=None, user=None):
        self.program = Path(program)
        self.session = session
        self.network = network
        self.settings = settings
        self.settings_bytes = settings_bytes
        self.label = label
        self.user = user
        self.process = None
        self.config_home = None
        self._given_config_home = Path(config_home) if config_home else None
        self._runtime = None
        self._home = None
        self._log = None
        self._pids = {}

    def __repr__(self):
        return f"Tessaly({self.label})"

    @property
    def settings_path(self):
        return self.config_home / "Dovrel" / f"{APPLICATION}.conf"

    @property
    def pid(self):
        return self.process.pid

    def start(self):
        resources.track(self)
        self.config_home = self._given_config_home or Path(
            tempfile.mkdtemp(prefix="tessaly-e2e-config-"))
        self._runtime = Path(tempfile.mkdtemp(prefix="tessaly-e2e-runtime-"))
        self._write_settings()
        extra = {}
        if self.user is not None:
            self._home = Path(tempfile.mkdtemp(prefix="tessaly-e2e-home-"))
            for folder in (self._home, self._runtime):
                os.chown(folder, self.user, self.user)
            extra["HOME"] = str(self._home)
        env = self.session.env(
            XDG_CONFIG_HOME=str(self.config_home),
            XDG_RUNTIME_DIR=str(self._runtime),
            QT_QPA_PLATFORM="xcb",
            # No session bus: the tray icon must take the XEmbed way to the tray host.
            DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/tessaly-e2e-bus",
            **extra)
        command = self.network.exec_prefix() if self.network is not None else []
        if self.user is not None:
            # After the namespace is entered, which needs root; the program itself runs without.
            command += ["setpriv", f"--reuid={self.user}", f"--regid={self.user}",
                        "--clear-groups", "--"]
        command.append(str(self.program))
        self._log = open(self.session.artifacts / f"{self.label}.log", "wb")
        # `ip netns exec` and setpriv each replace themselves with the next: the pid is the
        # program's.
        self.process = subprocess.Popen(command, env=env, stdout=self._log,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                        start_new_session=True)
        return self

    def _write_settings(self):
        if self.settings is None and self.settings_bytes is None:
            return
        if self.settings_bytes is not None:
            data = self.settings_bytes
        elif isinstance(self.settings, str):
            # The whole text of a file, as a person might have written it.
            data = self.settings.encode()
        else:
            data = settings_text(self.settings).encode()
        self.settings_path.parent.mkdir(parents=True, exist_ok=True)
        self.settings_path.write_bytes(data)

    def running(self):
        return self.process is not None and self.process.poll() is None

    # ---- its own windows -------------------------------------------------------------------

    def window_pid(self, window_id):
        if window_id not in self._pids:
            output = self.session.run("xprop", "-id", window_id, "_NET_WM_PID", check=False)
            value = output.rsplit("=", 1)[-1].strip() if "=" in output else ""
            if not value.isdigit():
                return None
            self._pids[window_id] = int(value)
        return self._pids[window_id]

    def owns(self, window):
        return self.window_pid(window.id) == self.pid

    # ---- what a person sees --------------------------------------------------------------

    def _main_windows(self):
        if not self.running():
            raise AssertionError(f"{self.label} ended early with code {self.process.returncode}")
        return [window for window in self.session.tree()
                if APPLICATION in window.classes and self.owns(window)
                and (self.session.window_name(window.id) or "").startswith(CAPTION_START)]

    def main_window(self):
        """The id of the main window, once it exists (shown or not)."""
        windows = wait_until(self._main_windows, f"{self.label}'s main window")
        if len(windows) != 1:
            raise AssertionError(f"expected one main window, found {[w.name for w in windows]}")
        return windows[0].id

    def caption(self):
        return self.session.window_name(self.main_window())

    def wait_for_caption(self, expected):
        window = self.main_window()
        wait_until(lambda: self.session.window_name(window) == expected,
                   lambda: f"the caption {expected!r}; it is {self.session.window_name(window)!r}")

    def window_shown(self):
        return self.session.is_viewable(self.main_window())

    def click_dialog_units(self, units_x, units_y, button=1):
        """Clicks a spot of the main window given in the template's dialog units."""
        region = self.session.geometry(self.main_window())
        self.session.click(region.x + region.width * units_x // TEMPLATE_SIZE[0],
                           region.y + region.height * units_y // TEMPLATE_SIZE[1], button)

    def click_button(self, label):
        self.click_dialog_units(*BUTTON_CENTRES[label])

    def _radio_indicator(self, label):
        region = self.session.geometry(self.main_window())
        x = region.x + region.width * RADIO_LEFTS[label] // TEMPLATE_SIZE[0]
        y = region.y + region.height * RADIO_MIDDLE // TEMPLATE_SIZE[1]
        return x + RADIO_INDICATOR_OFFSET, y

    def checked_radios(self, shot_name):
        """The alert radio buttons whose indicator shows the dark dot of a checked button."""
        shot = self.session.screenshot(shot_name)
        checked = set()
        for label in RADIO_LEFTS:
            x, y = self._radio_indicator(label)
            if is_dark(read_region(shot, Region(x - 1, y - 1, 3, 3))):
                checked.add(label)
        return checked

    def click_radio(self, label):
        self.session.click(*self._radio_indicator(label), 1)

    def type_target(self, text):
        """Replaces the target box's text as a person would: select all, then type."""
        window = self.main_window()
        self.session.press_key(window, "ctrl+a")
        self.session.run("xdotool", "type", "--delay", "30", "--", text)

    def paste_target(self, text, took_effect, what):
        """Replaces the target box's text by a paste from the clipboard (select all, Ctrl+V) and
        holds the clipboard until took_effect() holds: a paste is read from its owner later."""
        owner = ClipboardOwner(self.session, text, self.session.artifacts / "xclip.log")
        owner.start()
        try:
            window = self.main_window()
            self.session.press_key(window, "ctrl+a")
            self.session.press_key(window, "ctrl+v")
            return wait_until(took_effect, what)
        finally:
            resources.release(owner)

    def tray_icons(self):
        return [icon for icon in self.session.tray_icons(APPLICATION) if self.owns(icon)]

    def tray_icon(self):
        """The tray host's embedded window of our icon, once it is there."""
        def one_icon():
            self.session.restart_tray_host_if_gone()
            icons = self.tray_icons()
            return icons[0] if len(icons) == 1 else None

        def seen():
            panel = self.session.tray_panel()
            held = [(w.id, w.classes, self.window_pid(w.id)) for w in panel.descendants()] \
                if panel is not None else "no panel"
            # Whether the tray host still runs tells a tray host that went away from an icon
            # that did.
            return (f"{self.label}'s tray icon (pid {self.pid}) in the tray host "
                    f"({self.session.tray_host_state()}); it holds {held}")
        return wait_until(one_icon, seen)

    def target_caption(self):
        """The first caption that names a dotted-decimal target, once the worker has set it: a
        wrong one fails at once instead of at the end of a wait for the right one.  (A host
        name's caption stands for a moment only: read that one with the caption recorder.)"""
        window = self.main_window()

        def naming_the_target():
            caption = self.session.window_name(window)
            named = caption and caption.startswith(TARGET_CAPTION) and caption not in STATUS
            return caption if named else None
        return wait_until(naming_the_target,
                          f"{self.label}'s worker to name its target in the caption")

    def shown_top_levels(self):
        """(id, caption) of every top-level window of ours that is on the screen."""
        return [(top.id, self.session.window_name(top.id)) for top in self.session.tree()
                if self.owns(top) and self.session.is_viewable(top.id)]

    def message_boxes(self):
        """Our windows on the screen that are not the main window: message boxes and dialogs."""
        main = self.main_window()
        return [(window, caption) for window, caption in self.shown_top_levels()
                if window != main]

    def tray_state(self, shot_name):
        """"up", "down" or "none", read off a fresh screenshot of the tray icon's pixels."""
        icon = self.tray_icon()
        shot = self.session.screenshot(shot_name)
        return icon_colours(read_region(shot, icon.region)).state

    def wait_for_tray(self, state, shot_name, timeout=PATIENCE):
        wait_until(lambda: self.tray_state(shot_name) == state,
                   lambda: f"{self.label}'s tray icon to show {state}; see the shot {shot_name!r}",
                   timeout=timeout, interval=0.5)

    def click_tray(self, button):
        x, y = self.tray_icon().region.centre()
        self.session.click(x, y, button)

    # ---- the end -------------------------------------------------------------------------

    def wait_exit(self, timeout=60):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{self.label} did not end within {timeout}s") from None

    def close_with_escape(self, timeout=60):
        """Presses Escape in the main window; the exit code and the seconds until the exit."""
        window = self.main_window()
        self.session.run("xdotool", "windowfocus", "--sync", window)
        pressed = time.monotonic()
        self.session.run("xdotool", "key", "--clearmodifiers", "Escape")
        code = self.wait_exit(timeout)
        return code, time.monotonic() - pressed

    def kill(self):
        self.process.send_signal(signal.SIGKILL)
        return self.process.wait(timeout=30)

    def read_settings(self):
        if not self.settings_path.exists():
            return None
        return parse_settings(self.settings_path.read_text())

    def close(self):
        end_process(self.process)
        if self._log is not None:
            self._log.close()
            self._log = None
        if self.config_home is not None:
            if self.settings_path.is_file():
                shutil.copy(self.settings_path, self.session.artifacts / f"{self.label}.conf")
            if self._given_config_home is None:
                # Our own folder; the test's own folder stays for the test to look at.
                shutil.rmtree(self.config_home, ignore_errors=True)
            self.config_home = None
        for folder in ("_runtime", "_home"):
            if getattr(self, folder) is not None:
                shutil.rmtree(getattr(self, folder), ignore_errors=True)
                setattr(self, folder, None)
