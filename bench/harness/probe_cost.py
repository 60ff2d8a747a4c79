"""Probe cost: CPU time for 1,000 echoes to 127.0.0.1 through the echo module (echo-driver, which
calls it as the probe worker does), beside Debian's fping sending the same echoes in the same run:
one target, the same period, no payload, time-to-live 6, a 5000 ms wait for each reply, quiet.

Both run inside the client namespace, entered by the benchmark itself just before each program
starts, so that the time `ip netns exec` spends setting up is in neither figure, and so that no
other program's echoes on this machine reach their raw sockets."""

import ctypes
import os
import subprocess
import time

from .common import Summary, say
from .context import Row, verdict

GOAL_RATIO = 1.0
CLONE_NEWNET = 0x40000000


def _enter_namespace(path):
    libc = ctypes.CDLL(None, use_errno=True)
    descriptor = os.open(path, os.O_RDONLY)

    def enter():
        if libc.setns(descriptor, CLONE_NEWNET) != 0:
            os._exit(126)
    return enter, descriptor


def _cpu_ms(command, namespace_path):
    """utime + stime of the finished command, in ms, and its exit code."""
    enter, descriptor = _enter_namespace(namespace_path)
    try:
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   preexec_fn=enter, pass_fds=(descriptor,))
        _, status, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(status)
        error = process.stderr.read().decode(errors="replace").strip()
        process.stderr.close()
    finally:
        os.close(descriptor)
    return (usage.ru_utime + usage.ru_stime) * 1000.0, process.returncode, error


def commands(ctx, count, period):
    fping = ["fping", "-c", str(count), "-p", str(period), "-t", "5000", "-H", "6", "-b", "0",
             "-q", "127.0.0.1"]
    driver = [ctx.paths["echo_driver"], str(count), str(period), "127.0.0.1"]
    return {"module": driver, "fping": fping,
            "module+lookup": driver + ["--lookup"]}


def measure(ctx, count=1000, period=10):
    namespace = f"/run/netns/{ctx.network.client}"
    programs = commands(ctx, count, period)
    starts = commands(ctx, 1, period)  # one echo: what starting the program costs
    totals = {name: [] for name in programs}
    start_costs = {name: [] for name in programs}
    for number in range(ctx.runs):
        order = list(programs) if number % 2 == 0 else list(reversed(list(programs)))
        for name in order:
            cost, code, error = _cpu_ms(programs[name], namespace)
            if code != 0:
                raise RuntimeError(f"{name} did not get every echo answered (exit {code}): {error}")
            totals[name].append(cost)
            start_costs[name].append(_cpu_ms(starts[name], namespace)[0])
            time.sleep(0.2)
        say(f"probe cost run {number + 1}/{ctx.runs}: " +
            ", ".join(f"{name} {totals[name][-1]:.1f} ms" for name in programs))

    module, fping = Summary(totals["module"]), Summary(totals["fping"])
    lookup = Summary(totals["module+lookup"])
    ratio = module.median / fping.median
    per_echo = {name: Summary([(total - start) / (count - 1) * 1000 for total, start in
                               zip(totals[name], start_costs[name])]) for name in programs}
    return [
        Row(f"{count} echoes to 127.0.0.1, one per {period} ms: CPU (ms), echo module vs fping",
            module.text(1), fping.text(1), f"ratio {ratio:.2f}", f"ratio ≤ {GOAL_RATIO:.1f}",
            verdict(ratio <= GOAL_RATIO)),
        Row("  the same, each echo's source also looked up, as a pass does (ms)", lookup.text(1),
            fping.text(1), f"ratio {lookup.median / fping.median:.2f}"),
        Row("  CPU per echo, start-up taken off (µs)", per_echo["module"].text(1),
            per_echo["fping"].text(1),
            f"with lookup: {per_echo['module+lookup'].text(1)} µs"),
        Row("  CPU to start and send one echo (ms)", Summary(start_costs["module"]).text(2),
            Summary(start_costs["fping"]).text(2)),
    ]
