"""What a suite's run comes to: the tests that ran, counted once each whatever their subtests
did, and a line for the log that says it."""

import sys
import unittest
from pathlib import Path

from .xsession import TRAY_HOST_LOSSES


def load_folder(folder, patterns=()):
    """The tests of the test_*.py modules right in `folder`, not in any folder below it: each
    suite names its own folder, and the reliability tests have a runner of their own."""
    loader = unittest.TestLoader()
    if patterns:
        loader.testNamePatterns = [f"*{pattern}*" for pattern in patterns]
    names = sorted(path.stem for path in Path(folder).glob("test_*.py"))
    return loader.loadTestsFromNames(names)


def _test_of(test):
    # A failed subtest reports itself, not its test.
    return getattr(test, "test_case", test).id()


def summary(result, suite_name):
    """Prints what ran and returns the exit code: 0 when tests ran and none failed.

    A test with failed subtests counts once as failed; an expected failure (a known fault, still
    unfixed) is neither a pass nor a failure and is named as such."""
    failed = {_test_of(test) for test, _ in result.failures + result.errors}
    failed |= {_test_of(test) for test in result.unexpectedSuccesses}
    skipped = {_test_of(test) for test, _ in result.skipped} - failed
    expected = {_test_of(test) for test, _ in result.expectedFailures} - failed
    passed = result.testsRun - len(failed | skipped | expected)
    for test, reason in result.skipped:
        print(f"skipped {test.id()}: {reason}")
    for folder, ending in TRAY_HOST_LOSSES:
        print(f"TRAY HOST RESTARTED during {folder}: {ending} (see its trayer*.log)")
    for test in sorted(expected):
        print(f"EXPECTED FAILURE (a known fault of the program, still unfixed): {test}")
    print(f"{suite_name}: {passed} passed, {len(failed)} failed, {len(skipped)} skipped"
          + (f", {len(expected)} expected failures" if expected else ""))
    for test in sorted(failed):
        print(f"FAILED {test}")
    if result.testsRun == 0:
        print(f"no {suite_name} test ran", file=sys.stderr)
        return 1
    return 1 if failed else 0
