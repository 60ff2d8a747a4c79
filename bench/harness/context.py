"""What every benchmark works with: the programs, the display, the test network and its capture,
and how to launch a program inside the client namespace."""

import os
from dataclasses import dataclass, field

from .common import Undo
from .launch import Launch, program_env

TESSALY_CLASS = "tessaly"
PEER_CLASS = "tessaly-peer"


@dataclass
class Row:
    """One line of the result table."""
    measure: str
    ours: str
    theirs: str = ""
    relation: str = ""
    goal: str = ""
    verdict: str = ""  # "met", "missed" or a remark; figures only, never a failure


@dataclass
class Context:
    paths: dict
    display: object
    network: object
    capture: object
    undo: Undo
    scratch: str
    runs: int
    notes: list = field(default_factory=list)

    def has(self, name):
        return name in self.paths and os.path.exists(self.paths[name])

    def launch(self, which, local_undo, settings=None, label=None):
        """Starts the monitor ("tessaly") or the bare peer ("peer") under xlaunch in the client
        namespace, with a fresh settings folder."""
        env = program_env(self.display, local_undo, self.scratch, settings)
        program_class = TESSALY_CLASS if which == "tessaly" else PEER_CLASS
        log = os.path.join(self.scratch, f"{label or which}.log")
        return Launch(self.paths["xlaunch"], [self.paths[which]], program_class, env,
                      self.network.client_prefix(), log, local_undo).start()


def verdict(met):
    return "met" if met else "missed"
