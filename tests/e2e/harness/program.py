"""The real program under test, started on a test's X display with a settings directory of its
own, optionally inside a test network's client namespace."""

import re
import shutil
import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path

from . import resources
from .pixels import Region, icon_colours, is_dark, read_region
from .waiting import PATIENCE, wait_until

# The application name is the program file's base name; it names the settings file.
APPLICATION = "tessaly"
SECTION = "dovrel"
CAPTION_START = "DovRel"

# The main window's template measures 180 x 71 dialog units; the centres of its push buttons in
# the same units.  The window is that template scaled, so the fractions hold on screen.
TEMPLATE_SIZE = (180, 71)
BUTTON_CENTRES = {"Stat/Options": (55, 61), "Hide Me": (103, 61), "Help": (151, 61)}
# The alert radio buttons' left edges and their common vertical centre, in dialog units; the
# round indicator sits at the left end, its centre about 7 pixels in.
RADIO_LEFTS = {"None": 25, "Beep": 75, "Message": 125}
RADIO_MIDDLE = 40
RADIO_INDICATOR_OFFSET = 7


@dataclass(frozen=True)
class Unparsed:
    """A settings value that is neither quoted text nor a bare integer."""

    raw: str


def settings_value(value):
    """A value as the settings file holds it: integers bare, text in double quotes."""
    if isinstance(value, int):
        return str(value)
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def settings_text(values, section=SECTION):
    """An INI settings file with the given values in one section."""
    lines = [f"[{section}]"] + [f"{name}={settings_value(value)}" for name, value in values.items()]
    return "\n".join(lines) + "\n"


def typed_value(raw):
    if len(raw) >= 2 and raw[0] == raw[-1] == '"':
        return re.sub(r"\\(.)", r"\1", raw[1:-1])
    if re.fullmatch(r"-?[0-9]+", raw):
        return int(raw)
    return Unparsed(raw)


def parse_settings(text):
    """The program's section as a dict with lower-case names and typed values: quoted text as
    str, bare decimal as int, anything else as Unparsed, which compares unequal to both.

    Sections and names match without regard to case, as the program matches them; so a name
    that appears twice, in whatever case and whichever spelling of the section, is a fault of
    the file and fails here."""
    values = {}
    section = None
    for number, line in enumerate(text.splitlines(), 1):
        line = line.strip()
        if not line or line.startswith((";", "#")):
            continue
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].strip().lower()
            continue
        name, equals, raw = line.partition("=")
        if not equals:
            raise AssertionError(f"settings line {number} is neither section nor value: {line!r}")
        if section != SECTION:
            continue
        name = name.strip().lower()
        if name in values:
            raise AssertionError(f"settings name {name!r} appears twice (line {number})")
        values[name] = typed_value(raw.strip())
    return values


class Tessaly:
    def __init__(self, program, session, network=None, settings=None, label="tessaly"):
        self.program = Path(program)
        self.session = session
        self.network = network
        self.settings = settings
        self.label = label
        self.process = None
        self.config_home = None
        self._runtime = None
        self._log = None

    def __repr__(self):
        return f"Tessaly({self.label})"

    @property
    def settings_path(self):
        return self.config_home / "Dovrel" / f"{APPLICATION}.conf"

    def start(self):
        resources.track(self)
        self.config_home = Path(tempfile.mkdtemp(prefix="tessaly-e2e-config-"))
        self._runtime = Path(tempfile.mkdtemp(prefix="tessaly-e2e-runtime-"))
        if self.settings is not None:
            # A dict of values, or the whole text of a file as a person might have written it.
            text = self.settings if isinstance(self.settings, str) else settings_text(self.settings)
            self.settings_path.parent.mkdir(parents=True)
            self.settings_path.write_text(text)
        env = self.session.env(
            XDG_CONFIG_HOME=str(self.config_home),
            XDG_RUNTIME_DIR=str(self._runtime),
            QT_QPA_PLATFORM="xcb",
            # No session bus: the tray icon must take the XEmbed way to the tray host.
            DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/tessaly-e2e-bus",
        )
        command = [str(self.program)]
        if self.network is not None:
            command = self.network.exec_prefix() + command
        self._log = open(self.session.artifacts / f"{self.label}.log", "wb")
        self.process = subprocess.Popen(command, env=env, stdout=self._log,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                        start_new_session=True)
        return self

    def running(self):
        return self.process is not None and self.process.poll() is None

    # ---- what a person sees --------------------------------------------------------------

    def _main_windows(self):
        if not self.running():
            raise AssertionError(f"{self.label} ended early with code {self.process.returncode}")
        return [window for window in self.session.tree()
                if APPLICATION in window.classes
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

    def click_button(self, label):
        region = self.session.geometry(self.main_window())
        units_x, units_y = BUTTON_CENTRES[label]
        x = region.x + region.width * units_x // TEMPLATE_SIZE[0]
        y = region.y + region.height * units_y // TEMPLATE_SIZE[1]
        self.session.click(x, y, 1)

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

    def tray_icon(self):
        """The tray host's embedded window of our icon, once it is there."""
        def one_icon():
            icons = self.session.tray_icons(APPLICATION)
            return icons[0] if len(icons) == 1 else None
        return wait_until(one_icon, f"{self.label}'s tray icon in the tray host")

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

    def read_settings(self):
        if not self.settings_path.exists():
            return None
        return parse_settings(self.settings_path.read_text())

    def close(self):
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self._log is not None:
            self._log.close()
            self._log = None
        if self.config_home is not None:
            if self.settings_path.exists():
                shutil.copy(self.settings_path, self.session.artifacts / f"{self.label}.conf")
            shutil.rmtree(self.config_home, ignore_errors=True)
            self.config_home = None
        if self._runtime is not None:
            shutil.rmtree(self._runtime, ignore_errors=True)
            self._runtime = None
