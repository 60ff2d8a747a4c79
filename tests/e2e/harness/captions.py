"""Every caption that the program's windows take, in order, read from the caption recorder (an X
RECORD client among the tools): a caption that stands for a millisecond is still seen."""

import os
import subprocess
from dataclasses import dataclass
from pathlib import Path

from . import resources
from .waiting import end_process, wait_until

TOOLS_VARIABLE = "TESSALY_RELIABILITY_TOOLS"
RESOLVING = "DovRel Tessaly - Trying to Resolve Addr"
BAD = "DovRel Tessaly - Bad IP/Host"


def recorder_path():
    """The built recorder, or None when the run script built none."""
    folder = os.environ.get(TOOLS_VARIABLE)
    if not folder:
        return None
    path = Path(folder) / "caption_recorder"
    return path if os.access(path, os.X_OK) else None


@dataclass(frozen=True)
class Caption:
    time: float  # seconds since the epoch, when the recorder saw the request
    window: str  # "0x..." as xwininfo and xdotool name windows
    text: str  # UTF-8 decoded; undecodable bytes kept as surrogate escapes


def parse_lines(lines):
    """The caption changes among the recorder's lines."""
    captions = []
    for line in lines:
        fields = line.split(" ")
        if len(fields) != 4 or fields[2] != "_NET_WM_NAME":
            continue
        raw = b"" if fields[3] == "-" else bytes.fromhex(fields[3])
        captions.append(Caption(float(fields[0]), fields[1],
                                raw.decode("utf-8", "surrogateescape")))
    return captions


def without_repeats(texts):
    """The texts with runs of one text folded into one: the toolkit may set a caption twice."""
    folded = []
    for text in texts:
        if not folded or folded[-1] != text:
            folded.append(text)
    return folded


def cycle_of(target):
    """The captions of one pass that resolves a name and fails."""
    return [f"DovRel Tessaly -{target}", RESOLVING, BAD]


def cycle_problems(texts, cycle):
    """What breaks the repetition of `cycle` in `texts` from its first element on."""
    if cycle[0] not in texts:
        return [f"{cycle[0]!r} never shown"]
    start = texts.index(cycle[0])
    return [f"caption {i}: {text!r} where {cycle[(i - start) % len(cycle)]!r} belongs"
            for i, text in enumerate(texts[start:], start)
            if text != cycle[(i - start) % len(cycle)]]


def lookup_durations(captions):
    """Seconds from each "Trying to Resolve Addr" to the "Bad IP/Host" that ends it."""
    durations = []
    started = None
    for caption in captions:
        if caption.text == RESOLVING and started is None:
            started = caption.time
        elif caption.text == BAD and started is not None:
            durations.append(caption.time - started)
            started = None
    return durations


class CaptionRecorder:
    def __init__(self, session, path):
        self.session = session
        self.tool = recorder_path()
        self.path = Path(path)
        self._process = None
        self._output = None
        self._read = 0  # bytes of the file parsed so far
        self._parsed = []

    def __repr__(self):
        return f"CaptionRecorder({self.path.name})"

    def start(self):
        if self.tool is None:
            raise RuntimeError(f"no caption recorder; set {TOOLS_VARIABLE}")
        resources.track(self)
        self._output = open(self.path, "wb")
        self._process = subprocess.Popen([str(self.tool)], env=self.session.env(),
                                         stdout=self._output, stderr=subprocess.STDOUT,
                                         start_new_session=True)
        wait_until(lambda: self.path.read_bytes().startswith(b"ready") or self._process.poll(),
                   "the caption recorder to start")
        if self._process.poll() is not None:
            raise RuntimeError(f"the caption recorder ended: {self.path.read_text()}")
        return self

    def captions(self, window=None):
        """The captions set so far, of one window or of all."""
        self._read_new_lines()
        return [caption for caption in self._parsed
                if window is None or int(caption.window, 16) == int(window, 16)]

    def _read_new_lines(self):
        # Only what was added since the last look, up to its last whole line: a long caption
        # makes the file grow by megabytes a second.
        with open(self.path, "rb") as record:
            record.seek(self._read)
            data = record.read()
        whole = data[:data.rfind(b"\n") + 1]
        self._read += len(whole)
        self._parsed += parse_lines(whole.decode("ascii", "replace").splitlines())

    def texts(self, window, since=0.0):
        return without_repeats(c.text for c in self.captions(window) if c.time >= since)

    def wait_for(self, window, predicate, what, timeout=60, since=0.0):
        """Waits until predicate(texts) holds for the window's captions set since `since`."""
        def check():
            texts = self.texts(window, since)
            return texts if predicate(texts) else None
        return wait_until(check, lambda: f"{what}; the captions were {self._tail(window, since)}",
                          timeout=timeout)

    def _tail(self, window, since):
        texts = [text if len(text) <= 80 else text[:60] + f"... ({len(text)} characters)"
                 for text in self.texts(window, since)]
        return texts[-8:]

    def close(self):
        end_process(self._process)
        self._process = None
        if self._output is not None:
            self._output.close()
            self._output = None
