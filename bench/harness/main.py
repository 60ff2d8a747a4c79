"""Runs the benchmarks and prints their table. Started by bench/run, which builds first."""

import argparse
import os
import sys
import shutil
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from harness import footprint, probe_cost, schedule, shutdown, sizes, startup  # noqa: E402
from harness.capture import PacketCapture  # noqa: E402
from harness.common import Undo, exit_on_signals, load_text, say, wait_for_quiet, warn  # noqa: E402
from harness.context import Context, Row  # noqa: E402
from harness.display import XDisplay  # noqa: E402
from harness.network import TestNetwork  # noqa: E402
from harness.table import markdown  # noqa: E402

BENCHMARKS = ("startup", "footprint", "probe", "shutdown", "schedule", "sizes")


def run_benchmark(name, ctx, options):
    """The rows of one benchmark."""
    if name == "startup":
        return startup.measure(ctx)
    if name == "footprint":
        return footprint.measure(ctx)
    if name == "probe":
        if not ctx.has("echo_driver"):
            say("no echo driver built: skipping the probe cost")
            return []
        return probe_cost.measure(ctx)
    if name == "shutdown":
        return shutdown.measure(ctx)
    if name == "schedule":
        return schedule.measure(ctx)
    return sizes.measure(options.root)


def read_paths(build):
    paths = {}
    with open(os.path.join(build, "bench-paths.txt")) as listing:
        for line in listing:
            name, _, path = line.strip().partition("=")
            if name:
                paths[name] = path
    return paths


def arguments():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the benchmarks' build directory")
    parser.add_argument("--root", required=True, help="the repository")
    parser.add_argument("--only", default=",".join(BENCHMARKS),
                        help=f"comma-separated, of {', '.join(BENCHMARKS)}")
    parser.add_argument("--runs", type=int, default=5, help="runs of each measurement")
    parser.add_argument("--tag", default=f"tsybench{os.getpid()}",
                        help="prefix of the namespaces made (unique to this run)")
    parser.add_argument("--quiet-load", type=float, default=None,
                        help="wait (up to 10 min) for the 1-minute load to fall this low first")
    parser.add_argument("--results", help="also write the table to this file")
    return parser.parse_args()


def main():
    options = arguments()
    wanted = [name.strip() for name in options.only.split(",") if name.strip()]
    unknown = set(wanted) - set(BENCHMARKS)
    if unknown:
        sys.exit(f"unknown benchmarks: {', '.join(sorted(unknown))}")
    exit_on_signals()
    paths = read_paths(options.build)
    if "tessaly" not in paths or not os.path.exists(paths["tessaly"]):
        sys.exit("the program was not built (no `tessaly` target in the tree yet?)")

    undo = Undo()
    started = time.time()
    rows = []
    try:
        if options.quiet_load is not None:
            say(f"waiting for the load to fall to {options.quiet_load}; now {load_text()}")
            wait_for_quiet(options.quiet_load, 600)
        load_before = load_text()
        scratch = os.path.join(options.build, "bench-logs")
        shutil.rmtree(scratch, ignore_errors=True)
        os.makedirs(scratch)
        say(f"logs and scratch files in {scratch}")
        network = TestNetwork(options.tag, undo).create()
        capture = PacketCapture(network, undo, os.path.join(scratch, "capture.log")).start()
        display = XDisplay(undo, scratch).start()
        ctx = Context(paths, display, network, capture, undo, scratch, options.runs)
        for name in wanted:
            say(f"{name}: load {load_text()}")
            try:
                rows += run_benchmark(name, ctx, options)
            except (TimeoutError, RuntimeError, OSError) as error:
                warn(f"{name} could not be measured: {error}")
                rows.append(Row(f"{name}: not measured", str(error)))
        table = markdown(rows, load_before, load_text(), started)
        print(table)
        if ctx.notes:
            print("Details:\n" + "\n".join(ctx.notes))
        if options.results:
            with open(options.results, "w") as results:
                results.write(table)
                if ctx.notes:
                    results.write("\nDetails:\n\n```\n" + "\n".join(ctx.notes) + "\n```\n")
    finally:
        undo.run_all()


if __name__ == "__main__":
    main()
