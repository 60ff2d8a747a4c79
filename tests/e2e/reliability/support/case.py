"""The base of the reliability tests: the harness's end-to-end case with the fixtures of this
folder, tray samples stamped with their times, and figures for the report."""

import os
import shutil
import tempfile
import time
from pathlib import Path

from harness.case import EndToEndCase
from harness.pixels import icon_colours, read_region

from .capture import Capture
from .captions import CaptionRecorder, recorder_path
from .instance import Instance
from .rhythm import Sample
from .topology import Chain

FIGURES_FILE = "figures.txt"


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
    # Tools that a test of this class cannot do without, beside the program.
    needs = ("tcpdump", "xclip", "xdotool", "xprop", "setpriv")

    def setUp(self):
        super().setUp()
        missing = [tool for tool in self.needs if shutil.which(tool) is None]
        if missing:
            self.skipTest(f"missing tools: {', '.join(missing)}")
        if recorder_path() is None:
            self.skipTest("the caption recorder was not built (run this folder's run script)")

    def instance(self, session, network, settings=None, label="tessaly", **options):
        return self.keep(Instance(self.program, session, network, settings, label, **options))

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
