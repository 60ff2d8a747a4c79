"""The program under test, as the harness starts it, with what these tests need besides: several
instances side by side (each finds its own windows and tray icon by process id), a settings
folder that the test prepares and keeps, settings files of raw bytes, another user than root,
SIGKILL, and pastes from the clipboard."""

import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

from harness import resources
from harness.program import (APPLICATION, BUTTON_CENTRES, CAPTION_START, TEMPLATE_SIZE, Tessaly,
                             settings_text)
from harness.waiting import wait_until

NOBODY = 65534  # uid and gid of nobody and nogroup on Debian
TARGET_CAPTION = "DovRel Tessaly -"
STATUS = ("DovRel Tessaly - Trying to Resolve Addr", "DovRel Tessaly - Bad IP/Host")


class Instance(Tessaly):
    def __init__(self, program, session, network, settings=None, label="tessaly", *,
                 config_home=None, settings_bytes=None, user=None):
        super().__init__(program, session, network, settings, label)
        self._given_config_home = Path(config_home) if config_home else None
        self.settings_bytes = settings_bytes
        self.user = user
        self._home = None
        self._pids = {}

    def __repr__(self):
        return f"Instance({self.label})"

    # ---- start ---------------------------------------------------------------------------

    def start(self):
        resources.track(self)
        self.config_home = self._given_config_home or Path(
            tempfile.mkdtemp(prefix="tessaly-rel-config-"))
        self._runtime = Path(tempfile.mkdtemp(prefix="tessaly-rel-runtime-"))
        if self.settings is not None or self.settings_bytes is not None:
            self.settings_path.parent.mkdir(parents=True, exist_ok=True)
            data = (settings_text(self.settings).encode() if self.settings is not None
                    else self.settings_bytes)
            self.settings_path.write_bytes(data)
        extra = {}
        if self.user is not None:
            self._home = Path(tempfile.mkdtemp(prefix="tessaly-rel-home-"))
            for folder in (self._home, self._runtime):
                os.chown(folder, self.user, self.user)
            extra["HOME"] = str(self._home)
        env = self.session.env(
            XDG_CONFIG_HOME=str(self.config_home), XDG_RUNTIME_DIR=str(self._runtime),
            QT_QPA_PLATFORM="xcb", DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/tessaly-rel",
            **extra)
        command = [*self.network.exec_prefix()]
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

    @property
    def pid(self):
        return self.process.pid

    # ---- its own windows -----------------------------------------------------------------

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

    def _main_windows(self):
        if not self.running():
            raise AssertionError(f"{self.label} ended early with code {self.process.returncode}")
        return [window for window in self.session.tree()
                if APPLICATION in window.classes and self.owns(window)
                and (self.session.window_name(window.id) or "").startswith(CAPTION_START)]

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

    def tray_icons(self):
        return [icon for icon in self.session.tray_icons(APPLICATION) if self.owns(icon)]

    def tray_icon(self):
        def one_icon():
            icons = self.tray_icons()
            return icons[0] if len(icons) == 1 else None

        def seen():
            panel = self.session.tray_panel()
            held = [(w.id, w.classes, self.window_pid(w.id)) for w in panel.descendants()] \
                if panel is not None else "no panel"
            # The harness keeps the tray host's process to itself; whether it still runs tells a
            # tray host that went away from an icon that did.
            host = getattr(self.session, "_tray", None)
            state = "unknown" if host is None else (
                "running" if host.poll() is None else f"ended with code {host.returncode}")
            return (f"{self.label}'s tray icon (pid {self.pid}) in the tray host (trayer "
                    f"{state}); it holds {held}")
        return wait_until(one_icon, seen)

    def shown_top_levels(self):
        """(id, caption) of every top-level window of ours that is on the screen."""
        return [(top.id, self.session.window_name(top.id)) for top in self.session.tree()
                if self.owns(top) and self.session.is_viewable(top.id)]

    def message_boxes(self):
        """Our windows on the screen that are not the main window: message boxes and dialogs."""
        main = self.main_window()
        return [(window, caption) for window, caption in self.shown_top_levels()
                if window != main]

    # ---- input ---------------------------------------------------------------------------

    def click_at(self, x, y, button):
        """Clicks at a spot of the screen.  `xdotool mousemove --sync` waits for the pointer to
        move, and when it already rests on the spot no motion ever comes (it gives up after some
        15 s): move it off first."""
        location = self.session.run("xdotool", "getmouselocation", "--shell")
        if f"X={x}\n" in location and f"Y={y}\n" in location:
            self.session.run("xdotool", "mousemove", "--sync", str(x + 3 if x < 100 else x - 3),
                             str(y))
        self.session.click(x, y, button)

    def click_dialog_units(self, units_x, units_y, button=1):
        """Clicks a spot of the main window given in the template's dialog units."""
        region = self.session.geometry(self.main_window())
        self.click_at(region.x + region.width * units_x // TEMPLATE_SIZE[0],
                      region.y + region.height * units_y // TEMPLATE_SIZE[1], button)

    def click_button(self, label):
        self.click_dialog_units(*BUTTON_CENTRES[label])

    def click_tray(self, button):
        self.click_at(*self.tray_icon().region.centre(), button)


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

    # ---- the end -------------------------------------------------------------------------

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

    def close(self):
        if self._given_config_home is not None:
            # The test's own folder: keep it, leave only a copy of the file.
            if self.process is not None and self.process.poll() is None:
                self.process.terminate()
                try:
                    self.process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.process.kill()
                    self.process.wait()
            if self.config_home is not None and self.settings_path.is_file():
                shutil.copy(self.settings_path, self.session.artifacts / f"{self.label}.conf")
            self.config_home = None
        super().close()
        if self._home is not None:
            shutil.rmtree(self._home, ignore_errors=True)
            self._home = None


class ClipboardOwner:
    """xclip holding the clipboard in the foreground, so that it ends when we end it."""

    def __init__(self, session, text, log_path):
        self.session = session
        self.text = text
        self.log_path = Path(log_path)
        self._process = None
        self._log = None

    def __repr__(self):
        return "ClipboardOwner()"

    def start(self):
        resources.track(self)
        self._log = open(self.log_path, "wb")
        self._process = subprocess.Popen(
            ["xclip", "-quiet", "-selection", "clipboard", "-i"], env=self.session.env(),
            stdin=subprocess.PIPE, stdout=self._log, stderr=subprocess.STDOUT,
            start_new_session=True)
        self._process.stdin.write(self.text.encode("utf-8", "surrogateescape"))
        self._process.stdin.close()
        wait_until(lambda: b"Waiting for selection requests" in self.log_path.read_bytes()
                   or self._process.poll() is not None, "xclip to take the clipboard")
        return self

    def close(self):
        if self._process is not None and self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        self._process = None
        if self._log is not None:
            self._log.close()
            self._log = None
