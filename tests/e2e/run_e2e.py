#!/usr/bin/python3
"""Runs the end-to-end tests against a built program.

    run_e2e.py --program build/tessaly --artifacts build/e2e-artifacts [-k PATTERN]

Each test starts its own Xvfb with a tray host, its own network namespaces and the program with
a fresh settings directory, and removes all of it afterwards.  Screenshots and logs stay in the
artifacts directory, one folder per test."""

import argparse
import os
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.dont_write_bytecode = True  # leave no caches in the source tree

from harness import resources  # noqa: E402
from harness.report import load_folder, summary  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, type=Path)
    parser.add_argument("--artifacts", required=True, type=Path)
    parser.add_argument("-k", dest="patterns", action="append", default=[],
                        help="run only tests whose name contains this (may repeat)")
    args = parser.parse_args()

    os.environ["TESSALY_PROGRAM"] = str(args.program.resolve())
    os.environ["TESSALY_E2E_ARTIFACTS"] = str(args.artifacts.resolve())
    args.artifacts.mkdir(parents=True, exist_ok=True)
    resources.install_handlers()

    # Only this folder's tests: reliability/ is a suite of its own with its own runner.
    suite = load_folder(HERE, args.patterns)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    resources.release_all()
    return summary(result, "e2e")


if __name__ == "__main__":
    sys.exit(main())
