"""Start-up: from the launch until the main window is mapped and the tray icon embedded, for the
monitor and for the bare Qt tray program, taken in turns in the same run. The monitor's usual
start finds the settings file that its last run wrote; its very first start finds none and makes
it, which is shown on a line of its own."""

import time

from .common import Summary, Undo, say
from .context import Row, verdict

GOAL_RATIO = 1.10
# What the monitor writes back when it closes with its defaults.
SAVED_SETTINGS = {"IPAddress": "127.0.0.1", "Alert": 1011, "StartTray": 0, "Packets": 3}
VARIANTS = {
    "tessaly": ("tessaly", SAVED_SETTINGS),
    "peer": ("peer", None),
    "first start": ("tessaly", None),
}


def _one_start(ctx, which, settings):
    local = Undo()
    try:
        launch = ctx.launch(which, local, settings)
        window, tray = launch.wait_until_shown()
        shown = max(window.ms, tray.ms)
        launch.close_window("wmclose", window.window)
        if launch.wait_exit(10) is None:
            launch.end()
        return shown, window.ms, tray.ms
    finally:
        local.run_all()


def measure(ctx, warmup=1):
    names = tuple(VARIANTS)
    shown = {name: [] for name in names}
    mapped = {name: [] for name in names}
    embedded = {name: [] for name in names}
    for round_number in range(warmup + ctx.runs):
        order = names if round_number % 2 == 0 else tuple(reversed(names))
        for name in order:
            total, window, tray = _one_start(ctx, *VARIANTS[name])
            if round_number >= warmup:
                shown[name].append(total)
                mapped[name].append(window)
                embedded[name].append(tray)
            time.sleep(0.5)  # let the display and the tray host settle between launches
        say(f"start-up round {round_number + 1}/{warmup + ctx.runs}: " +
            (", ".join(f"{name} {shown[name][-1]:.0f} ms" for name in names)
             if round_number >= warmup else "warm-up"))

    ours, theirs = Summary(shown["tessaly"]), Summary(shown["peer"])
    first = Summary(shown["first start"])
    ratio = ours.median / theirs.median
    return [
        Row("start-up: launch → window mapped and icon embedded (ms)", ours.text(),
            theirs.text(), f"ratio {ratio:.2f}", f"ratio ≤ {GOAL_RATIO:.2f}",
            verdict(ratio <= GOAL_RATIO)),
        Row("  of which: window mapped (ms)", Summary(mapped["tessaly"]).text(),
            Summary(mapped["peer"]).text()),
        Row("  of which: tray icon embedded (ms)", Summary(embedded["tessaly"]).text(),
            Summary(embedded["peer"]).text()),
        Row("  first start, no settings file yet (ms)", first.text(), theirs.text(),
            f"ratio {first.median / theirs.median:.2f}"),
    ]
