"""Schedule fidelity: when the probe passes begin, against the rhythm, seen from the test host's
side of the link. The host answers for a while, then drops echoes, then answers again.

A pass begins when its echo request crosses the link. Its due time follows from the pass before:
  after a success  10 s after the reply left the host (the reverse lookup is part of the lateness)
  after a failure  5000 ms (the echo wait) + 50 ms after the request that went unanswered
Lateness is the begin time less the due time. Drift is the trend of the lateness over the run
(least-squares slope), and the sum of all the lateness, i.e. how far the last pass lies from
where the rhythm alone would put it."""

import threading
import time

from .common import Summary, Undo, say
from .context import Row, verdict
from .network import HOST_ADDRESS

GOAL_MS = 5.0
AFTER_SUCCESS_MS = 10000.0
ECHO_WAIT_MS = 5000.0
AFTER_FAILURE_MS = 50.0
FIRST_PAUSE_MS = 100.0
# A trend smaller than this moves a pass by well under a millisecond over a run of minutes.
DRIFT_LIMIT = 0.5


def lateness(packets):
    """[(kind of the pass before, lateness in ms)] for every pass after the first."""
    requests = [p for p in packets if p.kind == "request"]
    replies = [p for p in packets if p.kind == "reply"]
    figures = []
    for previous, current in zip(requests, requests[1:]):
        answer = next((r for r in replies if previous.time <= r.time < current.time), None)
        if answer is not None:
            due = answer.time * 1000 + AFTER_SUCCESS_MS
            kind = "success"
        else:
            due = previous.time * 1000 + ECHO_WAIT_MS + AFTER_FAILURE_MS
            kind = "failure"
        figures.append((kind, current.time * 1000 - due))
    return figures


def slope_ms_per_minute(times_s, values):
    if len(values) < 2:
        return 0.0
    mean_t = sum(times_s) / len(times_s)
    mean_v = sum(values) / len(values)
    spread = sum((t - mean_t) ** 2 for t in times_s)
    if spread == 0:
        return 0.0
    return sum((t - mean_t) * (v - mean_v) for t, v in zip(times_s, values)) / spread * 60


class SleeperControl:
    """A plain thread that sleeps 1 s at a time beside the run and notes how late it wakes: the
    machine's own wake-up lateness under its present load, to set the program's beside."""

    def __init__(self, period=1.0):
        self._period = period
        self._stop = threading.Event()
        self.lateness_ms = []
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *_):
        self._stop.set()
        self._thread.join()

    def _run(self):
        while not self._stop.is_set():
            start = time.monotonic()
            time.sleep(self._period)
            self.lateness_ms.append((time.monotonic() - start - self._period) * 1000)


def _wait_for_requests(ctx, kind, count, timeout):
    for _ in range(count):
        if ctx.capture.wait_for(kind, timeout) is None:
            raise TimeoutError(f"the monitor stopped sending; no {kind} in {timeout} s")


def _one_run(ctx, number, answered, unanswered, answered_again):
    local = Undo()
    try:
        ctx.network.set_answering(True)
        ctx.capture.clear()
        launch = ctx.launch("tessaly", local, {"IPAddress": HOST_ADDRESS, "alert": 1011},
                            label=f"schedule{number}")
        main_window, _ = launch.wait_until_shown()
        say(f"schedule run {number + 1}: {answered} answered passes (10 s apart)")
        _wait_for_requests(ctx, "reply", answered, 30)
        ctx.network.set_answering(False)
        say(f"schedule run {number + 1}: {unanswered} unanswered passes (5.05 s apart)")
        _wait_for_requests(ctx, "request", unanswered, 30)
        ctx.network.set_answering(True)
        say(f"schedule run {number + 1}: {answered_again} answered passes again")
        _wait_for_requests(ctx, "reply", answered_again, 30)
        time.sleep(0.5)
        packets = list(ctx.capture.packets)
        launch.close_window("escape", main_window.window)
        if launch.wait_exit(10) is None:
            launch.end()
        launch_wall = next(e.wall for e in launch.events if e.kind == "launch")
        first_request = next(p.time for p in packets if p.kind == "request")
        shown_wall = max(main_window.wall, launch.tray_icon().wall)
        return packets, (first_request - launch_wall) * 1000, (first_request - shown_wall) * 1000
    finally:
        ctx.network.set_answering(True)
        local.run_all()


def measure(ctx, answered=6, unanswered=8, answered_again=3):
    after_success, after_failure, slopes, sums, firsts, since_shown = [], [], [], [], [], []
    runs = max(1, ctx.runs // 3)
    control = []
    for number in range(runs):
        with SleeperControl() as sleeper:
            packets, first, after_shown = _one_run(ctx, number, answered, unanswered,
                                                   answered_again)
        control += sleeper.lateness_ms
        figures = lateness(packets)
        requests = [p.time for p in packets if p.kind == "request"][1:]
        after_success += [late for kind, late in figures if kind == "success"]
        after_failure += [late for kind, late in figures if kind == "failure"]
        slopes.append(slope_ms_per_minute(requests, [late for _, late in figures]))
        sums.append(sum(late for _, late in figures))
        firsts.append(first)
        since_shown.append(after_shown)
        ctx.notes.append(f"schedule run {number + 1}: lateness of each pass (ms), by the outcome "
                         "of the pass before: " +
                         ", ".join(f"{kind[0]}{late:+.2f}" for kind, late in figures))

    trend = sum(slopes) / len(slopes)
    return [
        Row("schedule: pass begin − due time, after a success (ms)", Summary(after_success).text(2),
            "", f"{len(after_success)} passes", f"within ±{GOAL_MS:.0f} ms",
            verdict(all(abs(v) <= GOAL_MS for v in after_success))),
        Row("schedule: pass begin − due time, after a failure (ms)", Summary(after_failure).text(2),
            "", f"{len(after_failure)} passes", f"within ±{GOAL_MS:.0f} ms",
            verdict(all(abs(v) <= GOAL_MS for v in after_failure))),
        Row("schedule: drift, trend of the lateness (ms per minute)", Summary(slopes).text(3), "",
            f"summed lateness over the run {Summary(sums).text(1)} ms", f"trend within ±{DRIFT_LIMIT} ms/min",
            verdict(abs(trend) < DRIFT_LIMIT)),
        Row("  control: a plain 1 s sleeper's lateness during the same run (ms)",
            Summary(control).text(2), "", f"{len(control)} wake-ups",
            "the machine's own wake-up lateness"),
        Row("  launch → first echo request (ms; includes start-up)", Summary(firsts).text(1), "",
            f"window and icon shown → first request {Summary(since_shown).text(1)} ms",
            f"first pass {FIRST_PAUSE_MS:.0f} ms after the worker starts"),
    ]
