"""Shutdown: from the close (Escape on the main window, or the window manager's close request) to
the process's end, with the probe worker caught in each of its waits. Each state is reached by
watching the test host's side of the link (or the screen) and closing a set time after:

    pause      the host answers; closed 2 s after the reply, inside the 10 s pause
    echo wait  the host drops echoes; closed 2 s after the request, inside the 5 s wait
    lookup     the target is a name that only the silent resolver could answer; closed 1 s
               after its query went out
    beeps      beep alert; closed 200 ms after the first reply, inside the 36-beep burst
    box        message alert; closed 300 ms after the "Connection restored" box appeared. The box
               is modal to the main window, which therefore refuses the close while it is open;
               the run records that, then takes the way a person has: Escape on the box, and
               at once the close of the main window, timed from that close to the exit."""

import time

from .common import Summary, Undo, say
from .context import Row, verdict
from .network import HOST_ADDRESS, SILENT_NAME

GOAL_MS = 100
EXIT_PATIENCE = 10  # seconds; a program still running then did not end on the close
REFUSAL_PATIENCE = 3  # seconds; with the box open, the close is taken as refused after this
ALERT_NONE, ALERT_BEEP, ALERT_MESSAGE = 1011, 1008, 1009


class State:
    def __init__(self, name, target, alert, answering, trigger, delay, methods):
        self.name = name
        self.settings = {"IPAddress": target, "alert": alert}
        self.answering = answering
        self.trigger = trigger  # a packet kind, or "box"
        self.delay = delay  # seconds after the trigger
        self.methods = methods


STATES = [
    State("pause", HOST_ADDRESS, ALERT_NONE, True, "reply", 2.0, ("escape", "wmclose")),
    State("echo wait", HOST_ADDRESS, ALERT_NONE, False, "request", 2.0, ("escape", "wmclose")),
    State("lookup", SILENT_NAME, ALERT_NONE, True, "query", 1.0, ("escape", "wmclose")),
    State("beeps", HOST_ADDRESS, ALERT_BEEP, True, "reply", 0.2, ("escape", "wmclose")),
    State("box", HOST_ADDRESS, ALERT_MESSAGE, True, "box", 0.3, ("wmclose", "escape")),
]


def _wait_for_trigger(ctx, launch, state, main_window):
    if state.trigger == "box":
        return launch.wait_for(
            lambda e: e.kind == "mapped" and e.window != main_window.window, 30,
            "the \"Connection restored\" box")
    packet = ctx.capture.wait_for(state.trigger, 30)
    if packet is None:
        raise TimeoutError(f"no {state.trigger} seen on the test host")
    return packet


def _one_close(ctx, state, method, number):
    """Close-to-exit in ms, or None when the program did not end; for the box, also the time
    from the close after the box was dismissed (or None)."""
    local = Undo()
    try:
        ctx.network.set_answering(state.answering)
        ctx.capture.clear()
        label = f"shutdown-{state.name.replace(' ', '')}-{method}-{number}"
        launch = ctx.launch("tessaly", local, state.settings, label=label)
        main_window, _ = launch.wait_until_shown()
        launch.prime_keyboard(main_window.window)
        trigger = _wait_for_trigger(ctx, launch, state, main_window)
        time.sleep(state.delay)
        closing = launch.close_window(method, main_window.window)
        ended = launch.wait_exit(REFUSAL_PATIENCE if state.trigger == "box" else EXIT_PATIENCE)
        if ended is not None:
            unmapped = launch.first(lambda e: e.kind == "unmapped" and e.window == main_window.window)
            if unmapped is not None:
                ctx.notes.append(f"shutdown {state.name}, {method}: close → window unmapped "
                                 f"{unmapped.ms - closing.ms:.1f} ms, → exit "
                                 f"{ended.ms - closing.ms:.1f} ms")
            return ended.ms - closing.ms, None
        after_dismissal = None
        if state.trigger == "box":
            after_dismissal = _close_after_dismissal(launch, trigger.window, main_window, method)
        launch.end()
        return None, after_dismissal
    finally:
        ctx.network.set_answering(True)
        local.run_all()


def _close_after_dismissal(launch, box, main_window, method):
    def box_closed():
        launch.wait_for(lambda e: e.kind == "unmapped" and e.window == box, 5, "the box to close")

    launch.close_window("escape", box)
    try:
        box_closed()
    except TimeoutError:
        # The box's own close request dismisses it as well.
        launch.close_window("wmclose", box)
        box_closed()
    closing = launch.close_window(method, main_window.window)
    ended = launch.wait_exit(EXIT_PATIENCE)
    return None if ended is None else ended.ms - closing.ms


def measure(ctx):
    rows = []
    for state in STATES:
        for method in state.methods:
            times, stuck, after_dismissal, failed = [], 0, [], 0
            for number in range(ctx.runs):
                try:
                    elapsed, dismissed = _one_close(ctx, state, method, number)
                except (TimeoutError, RuntimeError) as error:
                    ctx.notes.append(f"shutdown {state.name}, {method}, run {number + 1}: not "
                                     f"measured: {error}")
                    failed += 1
                    continue
                if elapsed is None:
                    stuck += 1
                else:
                    times.append(elapsed)
                if dismissed is not None:
                    after_dismissal.append(dismissed)
                time.sleep(0.3)
            say(f"shutdown in the {state.name}, {method}: {[round(t, 1) for t in times]}"
                f"{f', {stuck} did not end' if stuck else ''}")
            figures = Summary(times)
            patience = REFUSAL_PATIENCE if state.trigger == "box" else EXIT_PATIENCE
            remark = f"{stuck}/{ctx.runs} did not end within {patience} s" if stuck else ""
            if failed:
                remark += f"{'; ' if remark else ''}{failed} run(s) not measured (see details)"
            met = bool(times) and not stuck and figures.high < GOAL_MS
            outcome = verdict(met)
            if state.trigger == "box" and stuck:
                outcome = "refused: the box blocks its owner"
            rows.append(Row(f"shutdown, worker in its {state.name}, {method} → exit (ms)",
                            figures.text(1), "", remark, f"< {GOAL_MS} ms", outcome))
            if after_dismissal:
                dismissed = Summary(after_dismissal)
                rows.append(Row(f"  box dismissed with Escape, then {method} → exit (ms)",
                                dismissed.text(1), "", "", f"< {GOAL_MS} ms",
                                verdict(dismissed.high < GOAL_MS)))
    return rows
