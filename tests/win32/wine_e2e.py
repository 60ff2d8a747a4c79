#!/usr/bin/env python3
"""End-to-end tests of the Windows program under wine64, as a person uses it.

The program runs in a fresh Wine prefix (so no stored target is used: it probes its default,
127.0.0.1) on Xvfb with a Wine virtual desktop that shows a taskbar and its tray. Everything runs
under isolated_run.py: in a network namespace whose only interface is loopback, with a hosts file
of its own, a resolver address that no route leads to, and an Xvfb of its own. Keystrokes come
from xdotool; captions, message texts and control texts are read by wine_probe.exe; the tray
icon's colour is read from screenshots, which are kept for a person to look at. A silent target
that never leaves loopback: for a while, the namespace's loopback ignores echo requests.

Exit code 0 when every case passed, 1 when one failed, 77 when the tools are missing.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

SKIP = 77
WINE64 = os.environ.get("TESSALY_WINE64", "/usr/lib/wine/wine64")
WINESERVER = os.path.join(os.path.dirname(WINE64), "wineserver")
# The real ImageMagick: another "convert" may come first on the path.
CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"
IMPORT = "/usr/bin/import" if os.path.exists("/usr/bin/import") else "import"
SCREEN = (1024, 768)
SETTINGS_KEY = r"HKCU\Software\Dovrel\Tessaly\dovrel"
DEFAULTS = {
    "IPAddress": ("REG_SZ", "127.0.0.1"),
    "Alert": ("REG_DWORD", "0x3f3"),
    "StartTray": ("REG_DWORD", "0x0"),
    "Packets": ("REG_DWORD", "0x3"),
}
MAIN_CAPTION = "DovRel Tessaly -127.0.0.1"
OPTIONS_CAPTION = "DovRel Tessaly Options/Statistics"
ABOUT_CAPTION = "About Dovrel Tessaly"
APP_CAPTION = "Tessaly"
ALERT_CAPTION = "Dovrel's Tessaly"
IDC_ADDRESS = 1002
IDC_HIDE = 1007
IDC_BEEP = 1008
IDC_MESSAGE = 1009
IDC_HELPBTN = 1010
IDC_NONE = 1011
IDC_OPTIONS = 1012
IDC_RETRIES = 1020
# Per network namespace: the test's own loopback stops answering echo requests.
ECHO_IGNORED = "net.ipv4.icmp_echo_ignore_all"
GREEN = (0, 255, 0)  # the up icon's cross
RED = (255, 0, 0)  # the down icon's cross
# Generous limits that only keep a hung program from hanging the test.
WINDOW_TIMEOUT_MS = 60000
EXIT_TIMEOUT_S = 60


class CaseFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CaseFailed(message)


def missing_tools():
    wanted = [WINE64, "Xvfb", "xdotool", IMPORT, CONVERT, "ip"]
    return [tool for tool in wanted if shutil.which(tool) is None]


WINE_FONTS = "/usr/share/wine/fonts"


def install_wine_fonts(prefix):
    """Puts Wine's own fonts (fonts-wine) where the prefix looks for them.

    This Wine build leaves a new prefix's Fonts folder empty. "MS Sans Serif", the dialogs'
    font, then falls back to DejaVu Sans, whose letters are wider: the dialog base units grow
    from 6 x 13 to 7 x 13 pixels and every window and label with them.
    """
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    check(os.path.isdir(WINE_FONTS), "no %s (fonts-wine)" % WINE_FONTS)
    os.makedirs(fonts, exist_ok=True)
    for name in os.listdir(WINE_FONTS):
        target = os.path.join(fonts, name)
        if not os.path.exists(target):
            shutil.copyfile(os.path.join(WINE_FONTS, name), target)


# ---- The desktop -----------------------------------------------------------------------------

class Desktop:
    """Xvfb, a fresh Wine prefix with a virtual desktop, and what drives and reads them."""

    def __init__(self, workdir, artifacts, probe, screen=SCREEN):
        self.screen = screen
        self.workdir = workdir
        self.artifacts = artifacts
        self.probe_exe = probe
        self.program = None
        self.env = None

    def start(self):
        check("DISPLAY" in os.environ, "no display")
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": os.path.join(self.workdir, "prefix"),
            "WINELOADER": WINE64,
            "WINEARCH": "win64",
            "WINEDEBUG": "-all",
            # No Mono or Gecko installers: they would ask to download.
            "WINEDLLOVERRIDES": "mscoree,mshtml=d",
        })
        # A warm server for the whole run; Wine's services get files, never a pipe, as output.
        os.makedirs(self.env["WINEPREFIX"])
        self._wine_tool([WINESERVER, "-p"], "wineserver.log")
        self._wine_tool([WINE64, "wineboot", "-i"], "wineboot.log")
        install_wine_fonts(self.env["WINEPREFIX"])
        self._wine_tool([WINE64, "reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop",
                         "/d", "shell", "/f"], "reg.log")
        self._wine_tool([WINE64, "reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v",
                         "shell", "/d", "%dx%d" % self.screen, "/f"], "reg.log")

    def stop(self):
        if self.program is not None and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        if self.env is not None:
            subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

    def _wine_tool(self, command, log):
        with open(os.path.join(self.workdir, log), "a") as out:
            result = subprocess.run(command, env=self.env, stdout=out, stderr=out,
                                    stdin=subprocess.DEVNULL, timeout=300)
        check(result.returncode == 0, "%s failed" % " ".join(command))

    # ---- The program ----

    def start_program(self, program, overrides=""):
        env = dict(self.env)
        if overrides:
            env["WINEDLLOVERRIDES"] += ";" + overrides
        log = open(os.path.join(self.workdir, "program.log"), "a")
        self.program = subprocess.Popen([WINE64, program], env=env, stdout=log, stderr=log,
                                        stdin=subprocess.DEVNULL)

    def wait_program_exit(self):
        try:
            return self.program.wait(timeout=EXIT_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            raise CaseFailed("the program did not end")

    # ---- Reading the windows ----

    def probe(self, *args):
        out = os.path.join(self.workdir, "probe.out")
        with open(out, "w") as stdout:
            result = subprocess.run([WINE64, self.probe_exe] + [str(a) for a in args],
                                    env=self.env, stdout=stdout, stderr=subprocess.DEVNULL,
                                    stdin=subprocess.DEVNULL, timeout=WINDOW_TIMEOUT_MS / 1000 + 60)
        with open(out, encoding="latin-1") as stdout:
            texts = [line.rstrip("\r\n")[1:-1] for line in stdout if line.startswith("[")]
        return result.returncode, texts

    def wait_window(self, caption, text=None):
        args = ["wait", caption, WINDOW_TIMEOUT_MS] + ([text] if text is not None else [])
        code, texts = self.probe(*args)
        check(code == 0, "no window %r%s" % (caption, " showing %r" % text if text else ""))
        return texts

    def wait_gone(self, caption):
        code, _ = self.probe("gone", caption, WINDOW_TIMEOUT_MS)
        check(code == 0, "window %r did not go away" % caption)

    def item_text(self, caption, item):
        code, texts = self.probe("item", caption, item)
        check(code == 0 and len(texts) == 1, "no control %d in %r" % (item, caption))
        return texts[0]

    # ---- Keystrokes and screenshots ----

    def keys(self, window, *keys):
        """Presses the keys once `window` (a caption) is the one that keystrokes reach."""
        xdo = ["xdotool"]
        # Keystrokes reach Wine through the X window that has the focus: best the one that Wine
        # made for the window itself, else the desktop's.
        def windows_named(pattern):
            found = subprocess.run(xdo + ["search", "--name", pattern], env=self.env,
                                   capture_output=True, text=True)
            return found.stdout.split()
        own = windows_named("^%s$" % "".join("\\" + c if c in ".[]()*+?{}|^$\\" else c
                                               for c in window))
        focus = subprocess.run(xdo + ["getwindowfocus"], env=self.env, capture_output=True,
                               text=True).stdout.strip()
        if focus not in own:
            target = own[:1] or windows_named(" - Wine desktop$")[:1]
            check(target, "no X window to give the keyboard to")
            subprocess.run(xdo + ["windowfocus", "--sync", target[0]], env=self.env, check=True)
        code, _ = self.probe("active", window, WINDOW_TIMEOUT_MS)
        check(code == 0, "window %r never became the active one" % window)
        sent = None
        for number, key in enumerate(keys):
            if number > 0:
                time.sleep(0.2)  # one key handled before the next comes
            subprocess.run(xdo + ["key", key], env=self.env, check=True)
            sent = time.monotonic()
        return sent

    def screenshot(self, name):
        path = os.path.join(self.artifacts, name + ".png")
        subprocess.run([IMPORT, "-window", "root", path], env=self.env, check=True,
                       stderr=subprocess.DEVNULL)
        return path

    @staticmethod
    def region_pixels(png, region):
        """The pixels of region (x, y, width, height) of the screenshot, as rows of RGB triples."""
        x, y, width, height = region
        ppm = subprocess.run([CONVERT, png, "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                              "+repage", "-depth", "8", "ppm:-"], capture_output=True, check=True)
        data = ppm.stdout
        # P6 header: magic, width, height, maximum, each followed by one blank.
        fields, position = [], 0
        while len(fields) < 4:
            while data[position:position + 1].isspace():
                position += 1
            start = position
            while not data[position:position + 1].isspace():
                position += 1
            fields.append(data[start:position])
        columns = int(fields[1])
        pixels = data[position + 1:]
        triples = [tuple(pixels[i:i + 3]) for i in range(0, len(pixels), 3)]
        return [triples[row:row + columns] for row in range(0, len(triples), columns)]

    def count_colour(self, png, colour, region):
        """Pixels of exactly `colour` in region (x, y, width, height) of the screenshot."""
        return sum(row.count(tuple(colour)) for row in self.region_pixels(png, region))

    # ---- The settings store ----

    def settings(self, key=SETTINGS_KEY):
        out = os.path.join(self.workdir, "reg.out")
        with open(out, "w") as stdout:
            result = subprocess.run([WINE64, "reg", "query", key], env=self.env,
                                    stdout=stdout, stderr=subprocess.DEVNULL,
                                    stdin=subprocess.DEVNULL)
        if result.returncode != 0:
            return None
        values = {}
        with open(out, encoding="latin-1") as lines:
            for line in lines:
                parts = line.strip().split(None, 2)
                if len(parts) >= 2 and parts[1].startswith("REG_"):
                    values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        return values

    def store_integer(self, name, value):
        self._wine_tool([WINE64, "reg", "add", SETTINGS_KEY, "/v", name, "/t", "REG_DWORD", "/d",
                         str(value), "/f"], "reg.log")

    def focused_control(self, caption):
        code, texts = self.probe("focus", caption)
        check(code == 0 and len(texts) == 1, "no control of %r has the focus" % caption)
        return int(texts[0])

    def ask_to_close(self, caption):
        """Sends the window WM_CLOSE, as the taskbar's Close does: a window that a box of its
        own has disabled takes no keystrokes."""
        code, _ = self.probe("close", caption)
        check(code == 0, "no window %r to close" % caption)

    def click(self, x, y, button):
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", str(button)],
                       env=self.env, check=True)

    def forget_settings(self):
        subprocess.run([WINE64, "reg", "delete", r"HKCU\Software\Dovrel", "/f"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL)
        check(self.settings() is None, "the settings could not be removed before the case")


TRAY = (SCREEN[0] - 120, SCREEN[1] - 28, 120, 28)  # the taskbar's right end, where the tray sits


def wait_tray_colour(desktop, name, colour):
    """Screenshots until the tray shows the colour; returns the last screenshot."""
    deadline = time.monotonic() + WINDOW_TIMEOUT_MS / 1000
    while True:
        shot = desktop.screenshot(name)
        if desktop.count_colour(shot, colour, TRAY) > 0:
            return shot
        check(time.monotonic() < deadline, "the tray icon never showed %s" % (colour,))
        time.sleep(0.5)


def close_main_window(desktop):
    pressed = desktop.keys(MAIN_CAPTION, "Escape")
    code = desktop.wait_program_exit()
    # A figure for the reader, not a limit: Wine's own start and end are part of it.
    print("  Escape to process exit: %.0f ms" % ((time.monotonic() - pressed) * 1000))
    check(code == 0, "exit code %d after Escape" % code)


def loopback_answers(answering):
    """Makes the test's loopback answer echo requests or ignore them (the run's own namespace)."""
    subprocess.run(["sysctl", "-q", "-w", "%s=%d" % (ECHO_IGNORED, 0 if answering else 1)],
                   check=True, stdout=subprocess.DEVNULL)


def tray_icon_centre(desktop, shot, colour):
    """Where the tray shows the icon of that colour, in screen coordinates."""
    x0, y0 = TRAY[0], TRAY[1]
    rows = desktop.region_pixels(shot, TRAY)
    points = [(x, y) for y, row in enumerate(rows) for x, pixel in enumerate(row)
              if pixel == tuple(colour)]
    check(points, "no icon of that colour in the tray")
    return (x0 + sum(p[0] for p in points) // len(points),
            y0 + sum(p[1] for p in points) // len(points))


def open_options(desktop):
    # From the target box: Help, Hide Me, the checked radio button (a checked automatic radio
    # button is a tab stop), then Stat/Options.
    desktop.keys(MAIN_CAPTION, "Tab", "Tab", "Tab", "Tab", "space")
    desktop.wait_window(OPTIONS_CAPTION)


# ---- The cases -------------------------------------------------------------------------------

def case_default_run(desktop, program):
    """A fresh store: the default target is probed, the tray turns green, Escape saves."""
    desktop.forget_settings()
    desktop.start_program(program)
    desktop.wait_window(MAIN_CAPTION)
    shot = wait_tray_colour(desktop, "default-run", GREEN)
    check(desktop.count_colour(shot, RED, TRAY) == 0, "a red icon is left in the tray")
    close_main_window(desktop)
    check(desktop.settings() == DEFAULTS, "stored %r" % desktop.settings())


def case_echo_library_missing(desktop, program):
    """Without the echo library: two messages in order, exit code 4, nothing stored."""
    desktop.forget_settings()
    desktop.start_program(program, overrides="icmp=d")
    desktop.wait_window(APP_CAPTION, "Load Library Failed - Aborting ")
    shot = desktop.screenshot("echo-library-missing")
    check(desktop.count_colour(shot, RED, TRAY) > 0, "the red icon is not in the tray")
    desktop.keys(APP_CAPTION, "Return")
    desktop.wait_window(APP_CAPTION, "Internal Error - Restart Program")
    desktop.screenshot("echo-library-missing-second")
    desktop.keys(APP_CAPTION, "Return")
    code = desktop.wait_program_exit()
    check(code == 4, "exit code %d" % code)
    # The reads made the key; nothing was written into it.
    check(desktop.settings() == {}, "stored %r" % desktop.settings())


def case_options_spinner(desktop, program):
    """The spinner stops at 3 and 25; a typed 7 and the tick are stored by OK."""
    desktop.forget_settings()
    desktop.start_program(program)
    desktop.wait_window(MAIN_CAPTION)
    open_options(desktop)
    desktop.screenshot("options")
    retries = lambda: desktop.item_text(OPTIONS_CAPTION, IDC_RETRIES)
    check(retries() == "3", "opens showing %r" % retries())
    options = lambda *keys: desktop.keys(OPTIONS_CAPTION, *keys)
    options("Tab", "Tab")  # OK has the focus; then Cancel, then the box
    options("Down")
    check(retries() == "3", "Down at 3 gave %r" % retries())
    options("Up")
    check(retries() == "4", "Up at 3 gave %r" % retries())
    options("End", "BackSpace", "2", "5")
    options("Up")
    check(retries() == "25", "Up at 25 gave %r" % retries())
    options("End", "BackSpace", "BackSpace", "7")
    check(retries() == "7", "typed 7, the box shows %r" % retries())
    options("Tab", "space")  # the start-in-tray box
    desktop.screenshot("options-changed")
    options("Return")
    desktop.wait_gone(OPTIONS_CAPTION)
    close_main_window(desktop)
    expected = dict(DEFAULTS, Packets=("REG_DWORD", "0x7"), StartTray=("REG_DWORD", "0x1"))
    check(desktop.settings() == expected, "stored %r" % desktop.settings())


def case_options_cancel(desktop, program):
    """Cancel after changing both controls stores nothing of them."""
    desktop.forget_settings()
    desktop.start_program(program)
    desktop.wait_window(MAIN_CAPTION)
    open_options(desktop)
    desktop.keys(OPTIONS_CAPTION, "Tab", "Tab", "End", "BackSpace", "7", "Tab", "space")
    desktop.screenshot("options-cancelled")
    desktop.keys(OPTIONS_CAPTION, "Escape")
    desktop.wait_gone(OPTIONS_CAPTION)
    close_main_window(desktop)
    check(desktop.settings() == DEFAULTS, "stored %r" % desktop.settings())


def case_about_box(desktop, program):
    """Enter in the target box, F1 and the system menu's entry open the about box; closing it
    changes nothing."""
    desktop.forget_settings()
    desktop.start_program(program)
    desktop.wait_window(MAIN_CAPTION)
    desktop.keys(MAIN_CAPTION, "Return")
    desktop.wait_window(ABOUT_CAPTION)
    desktop.screenshot("about")
    desktop.keys(ABOUT_CAPTION, "Escape")
    desktop.wait_gone(ABOUT_CAPTION)
    desktop.keys(MAIN_CAPTION, "F1")
    desktop.wait_window(ABOUT_CAPTION)
    desktop.keys(ABOUT_CAPTION, "Return")
    desktop.wait_gone(ABOUT_CAPTION)
    # The system menu's last entry, after a separator.
    desktop.keys(MAIN_CAPTION, "alt+space", "Up")
    desktop.screenshot("system-menu")
    desktop.keys(MAIN_CAPTION, "Return")
    desktop.wait_window(ABOUT_CAPTION)
    desktop.keys(ABOUT_CAPTION, "Escape")
    desktop.wait_gone(ABOUT_CAPTION)
    close_main_window(desktop)
    check(desktop.settings() == DEFAULTS, "stored %r" % desktop.settings())


def case_hidden_start_and_tray_clicks(desktop, program):
    """Started in the tray: a left click on the icon shows the window, a right click hides it."""
    desktop.forget_settings()
    desktop.store_integer("StartTray", 1)
    desktop.start_program(program)
    shot = wait_tray_colour(desktop, "hidden-start", GREEN)
    desktop.wait_gone(MAIN_CAPTION)
    x, y = tray_icon_centre(desktop, shot, GREEN)
    desktop.click(x, y, 1)
    desktop.wait_window(MAIN_CAPTION)
    desktop.screenshot("tray-left-click")
    desktop.click(x, y, 3)
    desktop.wait_gone(MAIN_CAPTION)
    desktop.click(x, y, 1)
    desktop.wait_window(MAIN_CAPTION)
    close_main_window(desktop)
    check(desktop.settings() == dict(DEFAULTS, StartTray=("REG_DWORD", "0x1")),
          "stored %r" % desktop.settings())


def case_message_alert(desktop, program):
    """With the message alert, the first success shows "Connection restored" over the window."""
    desktop.forget_settings()
    desktop.store_integer("Alert", 1009)
    desktop.start_program(program)
    texts = desktop.wait_window(ALERT_CAPTION, "Connection restored")
    desktop.screenshot("message-alert")
    check("OK" in texts, "the box offers %r" % texts)
    desktop.keys(ALERT_CAPTION, "Return")
    desktop.wait_gone(ALERT_CAPTION)
    close_main_window(desktop)
    check(desktop.settings() == dict(DEFAULTS, Alert=("REG_DWORD", "0x3f1")),
          "stored %r" % desktop.settings())


def tab_round(desktop, presses):
    """The controls that the focus reaches at each of `presses` Tabs in the main window."""
    reached = []
    for _ in range(presses):
        desktop.keys(MAIN_CAPTION, "Tab")
        reached.append(desktop.focused_control(MAIN_CAPTION))
    return reached


def case_tab_reaches_the_checked_radio_button(desktop, program):
    """Tab stops at the checked radio button of the alert group and at no other; an arrow key
    moves the check, the alert mode and the tab stop together."""
    # Stored alert mode, then the controls that Tab reaches from the target box, in turn.
    table = [
        (1008, [IDC_BEEP, IDC_HELPBTN, IDC_HIDE, IDC_OPTIONS, IDC_ADDRESS]),
        (1011, [IDC_HELPBTN, IDC_HIDE, IDC_NONE, IDC_OPTIONS, IDC_ADDRESS]),
        (0, [IDC_HELPBTN, IDC_HIDE, IDC_OPTIONS, IDC_ADDRESS]),  # no radio button checked
    ]
    for alert, stops in table:
        desktop.forget_settings()
        desktop.store_integer("Alert", alert)
        desktop.start_program(program)
        desktop.wait_window(MAIN_CAPTION)
        desktop.keys(MAIN_CAPTION)
        check(desktop.focused_control(MAIN_CAPTION) == IDC_ADDRESS, "the target box lacks the focus")
        reached = tab_round(desktop, len(stops))
        check(reached == stops, "alert %d: Tab reached %r, not %r" % (alert, reached, stops))
        expected = dict(DEFAULTS, Alert=("REG_DWORD", hex(alert)))
        if alert == 1008:
            # Back to Beep; Right goes to Message, the group's next control, and checks it. The
            # connection is up by now, so the message alert has nothing to say until it returns.
            desktop.keys(MAIN_CAPTION, "Tab", "Right")
            check(desktop.focused_control(MAIN_CAPTION) == IDC_MESSAGE,
                  "Right did not reach Message")
            stops = [IDC_HELPBTN, IDC_HIDE, IDC_OPTIONS, IDC_ADDRESS, IDC_MESSAGE]
            reached = tab_round(desktop, len(stops))
            check(reached == stops, "after Right, Tab reached %r, not %r" % (reached, stops))
            expected["Alert"] = ("REG_DWORD", hex(1009))
        close_main_window(desktop)
        check(desktop.settings() == expected, "stored %r" % desktop.settings())


def case_close_during_an_echo_wait(desktop, program):
    """Escape while an echo request waits for its answer ends the program and saves."""
    desktop.forget_settings()
    # Only the threshold is stored: the other three values come back only if they are written.
    desktop.store_integer("Packets", 9)
    loopback_answers(False)
    try:
        desktop.start_program(program)
        desktop.wait_window(MAIN_CAPTION)
        time.sleep(1)  # the worker is now inside its first request, which waits 5 seconds
        pressed = desktop.keys(MAIN_CAPTION, "Escape")
        code = desktop.wait_program_exit()
        print("  Escape during an echo wait to process exit: %.0f ms"
              % ((time.monotonic() - pressed) * 1000))
    finally:
        loopback_answers(True)
    check(code == 0, "exit code %d after Escape" % code)
    check(desktop.settings() == dict(DEFAULTS, Packets=("REG_DWORD", "0x9")),
          "stored %r" % desktop.settings())


def case_close_while_the_restored_box_is_open(desktop, program):
    """The target is silent, then answers: "Connection restored" opens over the window. Closing
    the window then ends the program and saves, and the box goes with it."""
    desktop.forget_settings()
    desktop.store_integer("Alert", 1009)
    loopback_answers(False)
    try:
        desktop.start_program(program)
        desktop.wait_window(MAIN_CAPTION)
        time.sleep(6)  # at least one request goes unanswered
        code, _ = desktop.probe("gone", ALERT_CAPTION, 0)
        check(code == 0, "the box opened while the target was silent")
    finally:
        loopback_answers(True)
    desktop.wait_window(ALERT_CAPTION, "Connection restored")
    desktop.screenshot("restored-box-open")
    # The box belongs to the window, which it disables: Escape would reach the box alone.
    code, texts = desktop.probe("enabled", MAIN_CAPTION)
    check(code == 0 and texts == ["0"], "the window takes input with its box open: %r" % texts)
    before = time.monotonic()
    desktop.ask_to_close(MAIN_CAPTION)
    asked = time.monotonic()
    code = desktop.wait_program_exit()
    ended = time.monotonic()
    # The close went out while the probe ran: a range, not a figure.
    print("  WM_CLOSE with the box open to process exit: %.0f to %.0f ms"
          % ((ended - asked) * 1000, (ended - before) * 1000))
    check(code == 0, "exit code %d after the close" % code)
    check(desktop.settings() == dict(DEFAULTS, Alert=("REG_DWORD", "0x3f1")),
          "stored %r" % desktop.settings())


def case_renamed_program(desktop, program):
    """A copy under another name keeps its settings under that name."""
    desktop.forget_settings()
    renamed = os.path.join(desktop.workdir, "Watcher.exe")
    shutil.copyfile(program, renamed)
    desktop.start_program(renamed)
    desktop.wait_window(MAIN_CAPTION)
    close_main_window(desktop)
    check(desktop.settings(r"HKCU\Software\Dovrel\Watcher\dovrel") == DEFAULTS,
          "stored %r" % desktop.settings(r"HKCU\Software\Dovrel\Watcher\dovrel"))
    check(desktop.settings() is None, "the program's own key was touched")


CASES = [case_default_run, case_echo_library_missing, case_options_spinner, case_options_cancel,
         case_about_box, case_hidden_start_and_tray_clicks, case_message_alert,
         case_tab_reaches_the_checked_radio_button, case_close_during_an_echo_wait,
         case_close_while_the_restored_box_is_open, case_renamed_program]


WORKDIR_PREFIX = "tessaly-wine-"


def remove_stale_workdirs():
    """Removes the prefixes of earlier runs that were killed before they cleaned up."""
    base = tempfile.gettempdir()
    for name in os.listdir(base):
        tag = name[len(WORKDIR_PREFIX):].split("-")[0]
        if name.startswith(WORKDIR_PREFIX) and tag.isdigit() and \
                not os.path.exists("/proc/" + tag):
            shutil.rmtree(os.path.join(base, name), ignore_errors=True)


def run_cases(args):
    os.makedirs(args.artifacts, exist_ok=True)
    remove_stale_workdirs()
    workdir = tempfile.mkdtemp(prefix="%s%d-" % (WORKDIR_PREFIX, os.getpid()))
    desktop = Desktop(workdir, args.artifacts, args.probe)
    passed, failed = 0, 0
    try:
        desktop.start()
        for case in CASES:
            if args.case and case.__name__ != "case_" + args.case:
                continue
            name = case.__name__[len("case_"):]
            try:
                case(desktop, args.program)
                passed += 1
                print("PASS %s" % name)
            except Exception as error:  # a case's fault must not stop the others
                failed += 1
                print("FAIL %s: %s" % (name, error))
                if not isinstance(error, CaseFailed):
                    traceback.print_exc()
                desktop.screenshot("failed-" + name)
            finally:
                if desktop.program is not None and desktop.program.poll() is None:
                    desktop.program.kill()
                    desktop.program.wait()
                sys.stdout.flush()
    finally:
        desktop.stop()
        shutil.rmtree(workdir, ignore_errors=True)
    print("screenshots in %s" % args.artifacts)
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 and passed > 0 else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", required=True, help="Tessaly.exe, the x86_64 build")
    parser.add_argument("--probe", required=True, help="wine_probe.exe")
    parser.add_argument("--artifacts", required=True, help="where the screenshots go")
    parser.add_argument("--case", help="run only this case (name without case_)")
    args = parser.parse_args()
    if os.environ.get("TESSALY_ISOLATED") == "1":
        return run_cases(args)
    missing = missing_tools()
    if missing:
        print("SKIP: missing %s" % ", ".join(missing))
        return SKIP
    # Again, inside a network and on a display of its own.
    isolated = os.path.join(os.path.dirname(os.path.abspath(__file__)), "isolated_run.py")
    command = [sys.executable, isolated, "--display", "--", sys.executable,
               os.path.abspath(__file__), "--program", os.path.abspath(args.program), "--probe",
               os.path.abspath(args.probe), "--artifacts", os.path.abspath(args.artifacts)]
    if args.case:
        command += ["--case", args.case]
    return subprocess.run(command).returncode


if __name__ == "__main__":
    sys.exit(main())
