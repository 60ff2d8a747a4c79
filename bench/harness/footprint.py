"""Memory after 30 s idle with a green icon, then the idle cost over the next 60 s: CPU time and
context switches, for the monitor and the bare Qt tray program running side by side. The monitor
probes the test host, which answers, so its icon is green and it makes one pass every 10 s; the
passes are counted on the host's side of the link."""

import os
import shutil
import subprocess
import time

from . import procstats
from .common import Summary, Undo, say, stop_process
from .context import Row, verdict
from .network import HOST_ADDRESS

GOAL_RESIDENT_MB = 3.0
GOAL_PRIVATE_MB = 2.0
GOAL_CPU_PERCENT = 0.05
GOAL_WAKEUPS_PER_PASS = 1.0
SETTINGS = {"IPAddress": HOST_ADDRESS, "alert": 1011}


class _PerfCounter:
    """perf stat on one process for the interval: it follows threads that start inside it, which
    /proc cannot show once they have ended. Optional: absent or refused perf gives None."""

    def __init__(self, pid, seconds, log_path):
        self._log_path = log_path
        self._process = None
        if shutil.which("perf") is None:
            return
        self._process = subprocess.Popen(
            ["perf", "stat", "-x", ",", "-e", "context-switches,task-clock", "-p", str(pid),
             "-o", log_path, "--", "sleep", str(seconds)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)

    def result(self):
        """(context switches, task clock in ms), or None."""
        if self._process is None:
            return None
        try:
            self._process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            stop_process(self._process)
            return None
        figures = {}
        with open(self._log_path) as log:
            for line in log:
                parts = line.strip().split(",")
                if len(parts) >= 3 and parts[0].replace(".", "", 1).isdigit():
                    figures[parts[2]] = float(parts[0])
        if "context-switches" not in figures or "task-clock" not in figures:
            return None
        return figures["context-switches"], figures["task-clock"]


def _one_run(ctx, number, idle_before, seconds):
    local = Undo()
    try:
        ctx.capture.clear()
        ours = ctx.launch("tessaly", local, SETTINGS, label=f"footprint{number}-tessaly")
        theirs = ctx.launch("peer", local, label=f"footprint{number}-peer")
        ours.wait_until_shown()
        theirs.wait_until_shown()
        if ctx.capture.wait_for("reply", 30) is None:
            raise RuntimeError("the test host never answered: the icon would not turn green")
        time.sleep(idle_before)
        memory = {"tessaly": procstats.memory(ours.pid), "peer": procstats.memory(theirs.pid)}
        mappings = procstats.mapping_difference_lines(procstats.private_by_mapping(ours.pid),
                                                      procstats.private_by_mapping(theirs.pid))

        perf = {name: _PerfCounter(launch.pid, seconds,
                                   os.path.join(ctx.scratch, f"perf{number}-{name}.txt"))
                for name, launch in (("tessaly", ours), ("peer", theirs))}
        wall_start = time.time()
        before = {"tessaly": procstats.sample(ours.pid), "peer": procstats.sample(theirs.pid)}
        time.sleep(seconds)
        after = {"tessaly": procstats.sample(ours.pid), "peer": procstats.sample(theirs.pid)}
        wall_end = time.time()
        intervals = {name: procstats.interval(before[name], after[name]) for name in before}
        passes = sum(1 for packet in ctx.capture.packets
                     if packet.kind == "request" and wall_start <= packet.time <= wall_end)
        counted = {name: counter.result() for name, counter in perf.items()}

        for launch in (ours, theirs):
            launch.close_window("wmclose", launch.main_window().window)
            if launch.wait_exit(10) is None:
                launch.end()
        worker = _worker_figures(intervals["tessaly"], ours.pid)
        return Figures(memory, mappings, intervals, passes, counted, worker)
    finally:
        local.run_all()


class Figures:
    def __init__(self, memory, mappings, intervals, passes, counted, worker):
        self.memory = memory
        self.mappings = mappings
        self.intervals = intervals
        self.passes = passes
        self.counted = counted
        self.worker = worker  # (voluntary, involuntary, cpu ms) of the probe worker, or None


def _worker_figures(interval, pid):
    """The probe worker: the program's one long-lived thread of its own name besides the main
    thread (the name-lookup helpers carry a name of their own)."""
    main_name = next((row[0] for row in interval.per_thread if row[1] == pid), None)
    others = [row for row in interval.per_thread if row[0] == main_name and row[1] != pid]
    if len(others) != 1:
        return None
    _, _, voluntary, involuntary, runtime = others[0]
    return voluntary, involuntary, runtime


def _thread_lines(interval, seconds):
    lines = []
    for name, tid, voluntary, involuntary, runtime in interval.per_thread:
        lines.append(f"    {name:<16} tid {tid:<7} switches {voluntary:>4} voluntary "
                     f"{involuntary:>4} involuntary, cpu {runtime:8.3f} ms "
                     f"({runtime / (seconds * 10):.4f} %)")
    lines.append(f"    threads started during the interval and still alive: "
                 f"{interval.threads_started}; ended: {interval.threads_ended}")
    return lines


def measure(ctx, idle_before=30, seconds=60):
    runs = []
    for number in range(ctx.runs):
        say(f"footprint run {number + 1}/{ctx.runs}: {idle_before} s idle, then {seconds} s "
            f"measured")
        figures = _one_run(ctx, number, idle_before, seconds)
        runs.append(figures)
        ctx.notes.append(f"footprint run {number + 1}: private memory by mapping, tessaly vs "
                         "the bare program, largest differences:")
        ctx.notes.extend(figures.mappings)
        for name in ("tessaly", "peer"):
            ctx.notes.append(f"footprint run {number + 1}, {name}, threads over {seconds} s "
                             f"({figures.passes} passes):")
            ctx.notes.extend(_thread_lines(figures.intervals[name], seconds))
    return _rows(runs, seconds)


def _percent(ms, seconds):
    return ms / (seconds * 10)


def _rows(runs, seconds):
    def both(value):
        return (Summary([value(run, "tessaly") for run in runs]),
                Summary([value(run, "peer") for run in runs]))

    def own_per_pass(value):
        return Summary([(value(run, "tessaly") - value(run, "peer")) / run.passes
                        for run in runs if run.passes])

    rows = []
    for label, field, goal in (("resident", "resident_kb", GOAL_RESIDENT_MB),
                               ("private", "private_kb", GOAL_PRIVATE_MB)):
        ours, theirs = both(lambda run, name: getattr(run.memory[name], field) / 1024)
        extra = ours.median - theirs.median
        rows.append(Row(f"memory after 30 s idle, green: {label} (MiB)", ours.text(2),
                        theirs.text(2), f"{extra:+.2f} MiB", f"≤ +{goal:.0f} MiB",
                        verdict(extra <= goal)))

    for label, field in (("utime+stime", "cpu_ms"), ("schedstat run time", "runtime_ms")):
        ours, theirs = both(lambda run, name: getattr(run.intervals[name], field))
        extra = Summary([getattr(run.intervals["tessaly"], field) -
                         getattr(run.intervals["peer"], field) for run in runs])
        rows.append(Row(f"idle {seconds} s, up: CPU, {label} (ms)", ours.text(1), theirs.text(1),
                        f"ours {_percent(ours.median, seconds):.4f} %, beyond the bare program "
                        f"{_percent(extra.median, seconds):+.4f} %",
                        f"< {GOAL_CPU_PERCENT} % beyond it",
                        verdict(_percent(extra.median, seconds) < GOAL_CPU_PERCENT)))

    ours, theirs = both(lambda run, name: run.intervals[name].voluntary +
                        run.intervals[name].involuntary)
    rows.append(Row(f"idle {seconds} s, up: context switches (voluntary + involuntary, "
                    "live threads)", ours.text(0), theirs.text(0)))
    own = own_per_pass(lambda run, name: run.intervals[name].voluntary)
    rows.append(Row("  wake-ups of our own per pass: voluntary switches beyond the bare program",
                    own.text(2), "", "", f"≤ {GOAL_WAKEUPS_PER_PASS:.0f} per pass",
                    verdict(bool(own) and own.median <= GOAL_WAKEUPS_PER_PASS)))
    workers = [run for run in runs if run.worker is not None and run.passes]
    if workers:
        rows.append(Row("  the probe worker thread alone, per pass: voluntary switches; CPU (ms)",
                        Summary([run.worker[0] / run.passes for run in workers]).text(2), "",
                        f"CPU {Summary([run.worker[2] / run.passes for run in workers]).text(3)}"
                        " ms per pass"))
    counted = [run for run in runs if run.counted["tessaly"] and run.counted["peer"] and run.passes]
    if counted:
        ours = Summary([run.counted["tessaly"][0] for run in counted])
        theirs = Summary([run.counted["peer"][0] for run in counted])
        own = Summary([(run.counted["tessaly"][0] - run.counted["peer"][0]) / run.passes
                       for run in counted])
        rows.append(Row("  context switches of all threads, short-lived ones too (perf)",
                        ours.text(0), theirs.text(0), f"{own.text(2)} beyond it per pass"))
        ours = Summary([run.counted["tessaly"][1] for run in counted])
        theirs = Summary([run.counted["peer"][1] for run in counted])
        rows.append(Row("  CPU of all threads, short-lived ones too (perf task clock, ms)",
                        ours.text(1), theirs.text(1)))
    rows.append(Row(f"  probe passes in the {seconds} s (seen on the host)",
                    Summary([run.passes for run in runs]).text(0)))
    return rows
