"""Polling with generous limits: they only keep a broken run from hanging, they measure nothing."""

import signal
import subprocess
import time

# Long enough for a slow, loaded machine; a healthy run needs a small part of it.
PATIENCE = 60.0


class WaitTimeout(AssertionError):
    pass


def wait_until(predicate, what, timeout=PATIENCE, interval=0.2):
    """Returns the first true result of predicate(); fails with `what` when none comes in time.
    `what` is a text, or a function that tells what was awaited and what was seen instead."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = predicate()
        if last:
            return last
        if time.monotonic() >= deadline:
            description = what() if callable(what) else what
            raise WaitTimeout(f"gave up after {timeout:.0f}s waiting for {description}")
        time.sleep(interval)


def end_process(process, stop_signal=signal.SIGTERM, timeout=10):
    """Asks a child to end with `stop_signal`, kills it when it does not within `timeout`, and
    reaps it either way. Nothing to do for no process or one that has ended."""
    if process is None or process.poll() is not None:
        return
    process.send_signal(stop_signal)
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
