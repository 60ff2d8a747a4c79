"""Packet captures on a test link (tcpdump inside a namespace) and the ICMP and DNS packets they
hold, decoded from the pcap file: what really went over the wire, with the capture's times."""

import ipaddress
import signal
import struct
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from . import resources
from .waiting import end_process, wait_until

ECHO_REPLY = 0
ECHO_REQUEST = 8
TIME_EXCEEDED = 11

_ETHERNET = 1
_LINUX_COOKED = 113
_IPV4 = 0x0800
_ICMP = 1
_UDP = 17
_STOP_TIMEOUT = 10


@dataclass(frozen=True)
class Icmp:
    time: float  # seconds since the epoch, as the capture stamped it
    source: str
    destination: str
    ttl: int  # of the IPv4 header that carried the message
    type: int
    code: int
    identifier: int | None = None  # echo messages, and the echo request inside an error
    sequence: int | None = None
    payload: int = 0  # bytes after the 8-byte ICMP header of an echo message
    quoted_destination: str | None = None  # errors: where the request they quote was going


@dataclass(frozen=True)
class Udp:
    time: float
    source: str
    destination: str
    source_port: int
    destination_port: int


def _address(raw):
    return str(ipaddress.IPv4Address(raw))


def _ipv4(frame, link_type):
    if link_type == _ETHERNET:
        if len(frame) < 14 or struct.unpack("!H", frame[12:14])[0] != _IPV4:
            return None
        return frame[14:]
    if link_type == _LINUX_COOKED:
        if len(frame) < 16 or struct.unpack("!H", frame[14:16])[0] != _IPV4:
            return None
        return frame[16:]
    raise ValueError(f"unsupported link type {link_type}")


def _icmp(stamp, ip, header_length):
    body = ip[header_length:]
    if len(body) < 8:
        return None
    kind, code = body[0], body[1]
    fields = dict(time=stamp, source=_address(ip[12:16]), destination=_address(ip[16:20]),
                  ttl=ip[8], type=kind, code=code)
    if kind in (ECHO_REQUEST, ECHO_REPLY):
        identifier, sequence = struct.unpack("!HH", body[4:8])
        return Icmp(**fields, identifier=identifier, sequence=sequence, payload=len(body) - 8)
    quoted = body[8:]
    if len(quoted) >= 20 and quoted[0] >> 4 == 4:
        inner_length = (quoted[0] & 0x0F) * 4
        fields["quoted_destination"] = _address(quoted[16:20])
        inner = quoted[inner_length:]
        if quoted[9] == _ICMP and len(inner) >= 8:
            fields["identifier"], fields["sequence"] = struct.unpack("!HH", inner[4:8])
    return Icmp(**fields)


def decode(data):
    """The ICMP and UDP packets of a pcap file's bytes, in capture order."""
    if len(data) < 24:
        return []
    magic = data[:4]
    orders = {b"\xd4\xc3\xb2\xa1": ("<", 1e-6), b"\xa1\xb2\xc3\xd4": (">", 1e-6),
              b"\x4d\x3c\xb2\xa1": ("<", 1e-9), b"\xa1\xb2\x3c\x4d": (">", 1e-9)}
    if magic not in orders:
        raise ValueError(f"not a pcap file (magic {magic.hex()})")
    order, fraction = orders[magic]
    link_type = struct.unpack(order + "I", data[20:24])[0]
    packets = []
    position = 24
    while position + 16 <= len(data):
        seconds, parts, captured, _ = struct.unpack(order + "IIII", data[position:position + 16])
        frame = data[position + 16:position + 16 + captured]
        position += 16 + captured
        if len(frame) < captured:
            break  # the capture was cut off inside its last record
        ip = _ipv4(frame, link_type)
        if ip is None or len(ip) < 20 or ip[0] >> 4 != 4:
            continue
        header_length = (ip[0] & 0x0F) * 4
        stamp = seconds + parts * fraction
        if ip[9] == _ICMP:
            packet = _icmp(stamp, ip, header_length)
        elif ip[9] == _UDP and len(ip) >= header_length + 8:
            ports = struct.unpack("!HH", ip[header_length:header_length + 4])
            packet = Udp(stamp, _address(ip[12:16]), _address(ip[16:20]), *ports)
        else:
            packet = None
        if packet is not None:
            packets.append(packet)
    return packets


class Capture:
    """tcpdump on one interface of one namespace, writing a pcap file among the artefacts."""

    def __init__(self, namespace, interface, path, expression="icmp or udp"):
        self.namespace = namespace
        self.interface = interface
        self.path = Path(path)
        self.expression = expression
        self._process = None
        self._log = None

    def __repr__(self):
        return f"Capture({self.namespace}:{self.interface})"

    def start(self):
        resources.track(self)
        log_path = self.path.with_suffix(".tcpdump.log")
        self._log = open(log_path, "wb")
        # --immediate-mode and -U: every packet reaches the file at once, not in blocks up to a
        # second late; -Z root: keep the right to write it.
        self._process = subprocess.Popen(
            ["ip", "netns", "exec", self.namespace, "tcpdump", "-i", self.interface, "-n",
             "--immediate-mode", "-U",
             "-Z", "root", "-w", str(self.path), self.expression],
            stdout=subprocess.DEVNULL, stderr=self._log, start_new_session=True)
        wait_until(lambda: b"listening on" in log_path.read_bytes() or self._process.poll(),
                   f"tcpdump to listen on {self.interface}")
        if self._process.poll() is not None:
            raise RuntimeError(f"tcpdump ended: {log_path.read_text(errors='replace')}")
        return self

    def packets(self):
        """What was captured so far."""
        return decode(self.path.read_bytes()) if self.path.exists() else []

    def close(self):
        end_process(self._process, signal.SIGINT, _STOP_TIMEOUT)
        self._process = None
        if self._log is not None:
            self._log.close()
            self._log = None


def echo_requests(packets, destination=None):
    return [p for p in packets if isinstance(p, Icmp) and p.type == ECHO_REQUEST
            and (destination is None or p.destination == destination)]


def echo_replies(packets, source=None):
    return [p for p in packets if isinstance(p, Icmp) and p.type == ECHO_REPLY
            and (source is None or p.source == source)]


def answered(request, packets):
    """Whether a reply with the request's identifier and sequence came back from its target."""
    return any(reply.identifier == request.identifier and reply.sequence == request.sequence
               and reply.source == request.destination and reply.time >= request.time
               for reply in echo_replies(packets))


def wait_for_packets(capture, predicate, what, timeout):
    """Waits until predicate(packets) holds for the capture's packets; returns them."""
    def check():
        packets = capture.packets()
        return packets if predicate(packets) else None
    return wait_until(check, what, timeout=timeout, interval=0.3)


def now():
    """The clock that the capture's stamps use."""
    return time.time()
