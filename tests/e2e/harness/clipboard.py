"""The clipboard held by xclip, for pastes into the program: in the foreground, so that it ends
when we end it."""

import subprocess
from pathlib import Path

from . import resources
from .waiting import end_process, wait_until


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
        end_process(self._process)
        self._process = None
        if self._log is not None:
            self._log.close()
            self._log = None
