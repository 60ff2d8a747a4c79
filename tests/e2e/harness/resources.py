"""Everything a test starts or makes is tracked here until it is released, so that an interrupted
or failed run still stops its processes and removes its namespaces and files."""

import atexit
import signal
import sys

_live = []


def track(resource):
    """Registers a resource with an idempotent close(); returns it."""
    _live.append(resource)
    return resource


def release(resource):
    if resource in _live:
        _live.remove(resource)
    resource.close()


def release_all():
    while _live:
        resource = _live.pop()
        try:
            resource.close()
        except Exception as error:  # one failed clean-up must not keep the others from running
            print(f"clean-up of {resource!r} failed: {error}", file=sys.stderr)


def _on_signal(number, _frame):
    release_all()
    sys.exit(128 + number)


def install_handlers():
    atexit.register(release_all)
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, _on_signal)
