#!/usr/bin/python3
"""Runs the reliability tests against a built program (the run script beside this file builds the
tools they need and calls this).

    run_reliability.py --program build/tessaly --artifacts build/e2e-artifacts/reliability
                       --tools DIR [-k PATTERN]

Each test starts its own Xvfb with a tray host, its own network namespaces and the program with
settings of its own, and removes all of it afterwards.  Screenshots, captures, caption records and
logs stay in the artifacts directory, one folder per test; the measured figures are printed at the
end and kept in figures.txt there."""

import argparse
import os
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent))  # the end-to-end harness
sys.path.insert(0, str(HERE))  # the tests themselves
sys.dont_write_bytecode = True  # leave no caches in the source tree

from harness import resources  # noqa: E402
from harness.report import load_folder, summary  # noqa: E402
from harness.captions import TOOLS_VARIABLE  # noqa: E402
from harness.case import figures_path  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, type=Path)
    parser.add_argument("--artifacts", required=True, type=Path)
    parser.add_argument("--tools", required=True, type=Path)
    parser.add_argument("-k", dest="patterns", action="append", default=[],
                        help="run only tests whose name contains this (may repeat)")
    args = parser.parse_args()

    os.environ["TESSALY_PROGRAM"] = str(args.program.resolve())
    os.environ["TESSALY_E2E_ARTIFACTS"] = str(args.artifacts.resolve())
    os.environ[TOOLS_VARIABLE] = str(args.tools.resolve())
    args.artifacts.mkdir(parents=True, exist_ok=True)
    figures_path().write_text("")
    resources.install_handlers()

    suite = load_folder(HERE, args.patterns)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    resources.release_all()
    figures = figures_path().read_text(encoding="utf-8")
    if figures:
        print("\nmeasured figures:\n" + figures, end="")
    return summary(result, "reliability")


if __name__ == "__main__":
    sys.exit(main())
