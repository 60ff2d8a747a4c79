"""Messages, commands, the undo stack that runs however the run ends, and medians."""

import os
import signal
import statistics
import subprocess
import sys
import time

COMMAND_TIMEOUT = 60  # seconds; a set-up command that takes longer has hung


def say(message):
    print(f"==> {message}", file=sys.stderr, flush=True)


def warn(message):
    print(f"!!! {message}", file=sys.stderr, flush=True)


def run(command, check=True, **options):
    """Runs a short set-up command; its output as text."""
    result = subprocess.run(command, check=check, capture_output=True, text=True,
                            timeout=COMMAND_TIMEOUT, **options)
    return result.stdout


def load_average():
    with open("/proc/loadavg") as averages:
        return tuple(float(value) for value in averages.read().split()[:3])


def load_text():
    one, five, fifteen = load_average()
    return f"{one:.2f} {five:.2f} {fifteen:.2f}"


def wait_for_quiet(threshold, patience, poll=5.0):
    """Waits up to `patience` seconds for the one-minute load to fall to `threshold`; the load."""
    deadline = time.monotonic() + patience
    while load_average()[0] > threshold and time.monotonic() < deadline:
        time.sleep(poll)
    return load_average()[0]


class Summary:
    """Median, least and greatest of a set of figures."""

    def __init__(self, values):
        self.values = list(values)

    def __bool__(self):
        return bool(self.values)

    @property
    def median(self):
        return statistics.median(self.values)

    @property
    def low(self):
        return min(self.values)

    @property
    def high(self):
        return max(self.values)

    def text(self, digits=1, scale=1.0):
        if not self.values:
            return "n/a"
        form = f"{{:.{digits}f}}"
        median, low, high = (form.format(v * scale) for v in (self.median, self.low, self.high))
        return f"{median} [{low}–{high}]"


class Undo:
    """Undo steps, run last-in first-out when the run ends, however it ends."""

    def __init__(self):
        self._steps = []

    def add(self, step, *arguments):
        self._steps.append((step, arguments))

    def run_all(self):
        while self._steps:
            step, arguments = self._steps.pop()
            try:
                step(*arguments)
            except Exception as error:  # one failed step must not keep the others from running
                warn(f"clean-up step {step.__name__} failed: {error}")


def exit_on_signals():
    """Turns the signals that end a run into an exit, so that every `finally` and undo runs."""
    def leave(number, _frame):
        raise SystemExit(128 + number)
    for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(number, leave)


def stop_process(process, patience=5):
    """Ends a process that we started, by its id, and reaps it."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=patience)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def fresh_directory(undo, parent, prefix):
    import shutil
    import tempfile
    path = tempfile.mkdtemp(prefix=prefix, dir=parent)
    undo.add(shutil.rmtree, path, True)
    return path


def environment_without_session(**extra):
    """Our environment less what would lead an X program to another desktop or a session bus."""
    env = {key: value for key, value in os.environ.items()
           if key not in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY",
                          "SESSION_MANAGER")}
    env.update(extra)
    return env
