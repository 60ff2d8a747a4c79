"""A private X display: Xvfb on a free number, with trayer as the XEmbed tray host."""

import os
import random
import subprocess
import time

from .common import environment_without_session, run, stop_process


class XDisplay:
    def __init__(self, undo, log_dir):
        self._undo = undo
        self._log_dir = log_dir
        self.name = None

    def start(self):
        self._start_server()
        self._start_tray()
        return self

    def env(self, **extra):
        return environment_without_session(DISPLAY=self.name, **extra)

    def _start_server(self):
        for _ in range(8):
            number = random.randrange(200, 900)
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            self.name = f":{number}"
            log = open(os.path.join(self._log_dir, "xvfb.log"), "w")
            self._undo.add(log.close)
            server = subprocess.Popen(
                ["Xvfb", self.name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
            self._undo.add(stop_process, server)
            if self._ours_answers(server, number):
                return
            stop_process(server)
        raise RuntimeError("found no free display number for Xvfb")

    def _ours_answers(self, server, number):
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if server.poll() is not None:
                return False
            try:
                with open(f"/tmp/.X{number}-lock") as lock:
                    holder = int(lock.read().strip())
            except (OSError, ValueError):
                holder = None
            if holder == server.pid and subprocess.run(
                    ["xdpyinfo"], env=self.env(), capture_output=True, timeout=30).returncode == 0:
                return True
            time.sleep(0.1)
        return False

    def _start_tray(self):
        log = open(os.path.join(self._log_dir, "trayer.log"), "w")
        self._undo.add(log.close)
        tray = subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width",
             "160", "--heighttype", "pixel", "--height", "32", "--transparent", "true",
             "--alpha", "0", "--tint", "0x303030"],
            env=self.env(), stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        self._undo.add(stop_process, tray)
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            tree = run(["xwininfo", "-root", "-tree"], env=self.env(), check=False)
            if '"panel"' in tree or '"trayer"' in tree:
                return
            if tray.poll() is not None:
                break
            time.sleep(0.2)
        raise RuntimeError("trayer did not show its panel")
