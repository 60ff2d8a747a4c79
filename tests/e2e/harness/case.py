"""The base of the end-to-end tests: the program's path, a folder of artifacts per test, and the
fixtures, each released when the test ends, passed or failed."""

import os
import re
import shutil
import tempfile
import time
import unittest
from pathlib import Path

from . import resources
from .captions import CaptionRecorder, recorder_path
from .capture import Capture
from .netns import TestNetwork
from .pixels import icon_colours, read_region
from .program import Tessaly
from .rhythm import Sample
from .topology import Chain
from .xsession import XSession

FIGURES_FILE = "figures.txt"


class EndToEndCase(unittest.TestCase):
    def setUp(self):
        self._fixtures = []
        self.addCleanup(self.release_fixtures)
        if os.geteuid() != 0:
            self.skipTest("needs root for network namespaces")
        program = os.environ.get("TESSALY_PROGRAM")
        if not program or not os.access(program, os.X_OK):
            self.skipTest(f"no program to test at {program!r}")
        self.program = Path(program)
        folder = re.sub(r"[^A-Za-z0-9_.-]+", "_", self.id().split(".", 1)[-1])
        self.artifacts = Path(os.environ["TESSALY_E2E_ARTIFACTS"]) / folder

    def keep(self, resource):
        """Starts a fixture and has it released when the test ends (or release_fixtures runs)."""
        resource.start()
        self._fixtures.append(resource)
        return resource

    def release_fixtures(self):
        """Releases this test's fixtures, the last started first: between cases of a table."""
        while self._fixtures:
            resources.release(self._fixtures.pop())

    def x_session(self):
        return self.keep(XSession(self.artifacts))

    def network(self, tag, with_host=False, hosts=()):
        return self.keep(TestNetwork(tag, with_host=with_host, hosts=hosts))

    def tessaly(self, session, network, settings=None, label="tessaly", **options):
        """The program, started; `options` as Tessaly takes them."""
        return self.keep(Tessaly(self.program, session, network, settings, label, **options))


class ScratchFolder:
    """A temporary folder, removed with the fixtures: after the programs that use it."""

    def __init__(self, prefix, owner=None):
        self.prefix = prefix
        self.owner = owner
        self.path = None

    def start(self):
        self.path = Path(tempfile.mkdtemp(prefix=self.prefix))
        if self.owner is not None:
            os.chown(self.path, self.owner, self.owner)
        return self

    def close(self):
        if self.path is not None:
            shutil.rmtree(self.path, ignore_errors=True)
            self.path = None


def figures_path():
    return Path(os.environ["TESSALY_E2E_ARTIFACTS"]) / FIGURES_FILE


class ReliabilityCase(EndToEndCase):
    """The end-to-end case with the fixtures of the reliability tests: captures, caption
    records, router paths, scratch folders, tray samples stamped with their times, and figures
    for the report."""

    # Tools that a test of this class cannot do without, beside the program.
    needs = ("tcpdump", "xclip", "xdotool", "xprop", "setpriv")

    def setUp(self):
        super().setUp()
        missing = [tool for tool in self.needs if shutil.which(tool) is None]
        if missing:
            self.skipTest(f"missing tools: {', '.join(missing)}")
        if recorder_path() is None:
            self.skipTest("the caption recorder was not built (run tests/e2e/reliability/run)")

    def scratch_folder(self, prefix="tessaly-rel-", owner=None):
        return self.keep(ScratchFolder(prefix, owner)).path

    def recorder(self, session, name="captions"):
        return self.keep(CaptionRecorder(session, self.artifacts / f"{name}.txt"))

    def capture(self, namespace, interface, name):
        return self.keep(Capture(namespace, interface, self.artifacts / f"{name}.pcap"))

    def chain(self, tag, routers, names=None):
        return self.keep(Chain(tag, routers, names))

    def sample_tray(self, app, shot_name):
        """A screenshot of the tray icon, read, with the times between which it was taken."""
        icon = app.tray_icon()
        start = time.time()
        shot = app.session.screenshot(shot_name)
        end = time.time()
        return Sample(start, end, icon_colours(read_region(shot, icon.region)).state)

    def figure(self, name, value):
        """A measured figure for the report: printed, and kept beside the artefacts."""
        line = f"{self.id().split('.', 1)[-1]}: {name}: {value}"
        print(f"\n    figure {line}", flush=True)
        with open(figures_path(), "a", encoding="utf-8") as figures:
            figures.write(line + "\n")
