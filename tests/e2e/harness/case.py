"""The base of the end-to-end tests: the program's path, a folder of artifacts per test, and the
fixtures, each released when the test ends, passed or failed."""

import os
import re
import unittest
from pathlib import Path

from . import resources
from .netns import TestNetwork
from .program import Tessaly
from .xsession import XSession


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

    def tessaly(self, session, network, settings=None, label="tessaly"):
        return self.keep(Tessaly(self.program, session, network, settings, label))
