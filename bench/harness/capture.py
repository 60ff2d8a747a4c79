"""Echo requests, echo replies and name queries as the test host sees them on its end of the link,
stamped by the kernel when they cross it (tcpdump inside the host namespace)."""

import queue
import re
import subprocess
import threading
import time
from dataclasses import dataclass

from .common import stop_process
from .network import HOST_LINK

_ADDRESS = r"\d+\.\d+\.\d+\.\d+"
_LINE = re.compile(rf"^(?P<time>\d+\.\d+) IP (?P<source>{_ADDRESS})(?:\.\d+)? > "
                   rf"(?P<destination>{_ADDRESS})(?:\.(?P<port>\d+))?: (?P<rest>.*)$")


@dataclass
class Packet:
    time: float  # wall clock, seconds
    kind: str  # "request", "reply" or "query"
    source: str
    destination: str
    text: str


def parse_packet(line):
    match = _LINE.match(line.strip())
    if not match:
        return None
    rest = match["rest"]
    if "ICMP echo request" in rest:
        kind = "request"
    elif "ICMP echo reply" in rest:
        kind = "reply"
    elif match["port"] == "53":
        kind = "query"
    else:
        return None
    return Packet(float(match["time"]), kind, match["source"], match["destination"], rest)


class PacketCapture:
    def __init__(self, network, undo, log_path):
        self._network = network
        self._undo = undo
        self._log_path = log_path
        self._process = None
        self._queue = queue.Queue()
        self.packets = []

    def start(self):
        log = open(self._log_path, "w")
        self._undo.add(log.close)
        self._process = subprocess.Popen(
            self._network.host_prefix() + [
                "tcpdump", "-i", HOST_LINK, "-n", "-tt", "-l", "-p", "--immediate-mode",
                "icmp or udp port 53"],
            stdout=subprocess.PIPE, stderr=log, text=True, start_new_session=True)
        self._undo.add(stop_process, self._process)
        threading.Thread(target=self._read, daemon=True).start()
        self._wait_until_listening()
        return self

    def _wait_until_listening(self):
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if self._process.poll() is not None:
                raise RuntimeError(f"tcpdump ended at once; see {self._log_path}")
            with open(self._log_path) as log:
                if "listening on" in log.read():
                    return
            time.sleep(0.05)
        raise RuntimeError("tcpdump did not start listening")

    def _read(self):
        for line in self._process.stdout:
            packet = parse_packet(line)
            if packet is not None:
                self.packets.append(packet)
                self._queue.put(packet)

    def clear(self):
        """Forgets what was seen so far (between runs that share the capture)."""
        while not self._queue.empty():
            self._queue.get_nowait()
        self.packets = []

    def wait_for(self, kind, timeout):
        """The next packet of that kind, or None after `timeout` seconds."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            try:
                packet = self._queue.get(timeout=left)
            except queue.Empty:
                return None
            if packet.kind == kind:
                return packet

    def stop(self):
        stop_process(self._process)
