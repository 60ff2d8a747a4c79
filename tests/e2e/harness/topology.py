"""Test networks beyond the harness's client and host: a path through router namespaces, a
resolver that swallows every query, and the choice between the two kinds of echo socket.

Everything lives in namespaces that the test makes, in 10.200.0.0/16; the client namespace starts
with `unreachable 10.200.0.0/16`, so a probe to any address that the test did not route fails
inside the client instead of leaving it."""

import os
import shutil
import subprocess
from pathlib import Path

from . import resources
from .netns import NETNS_ETC

COMMAND_TIMEOUT = 30
# Lets every group open ICMP datagram ("ping") sockets in one namespace; the default, "1 0",
# lets none, and the program then takes a raw socket.
ALL_GROUPS = "0 2147483647"


def _run(*args):
    subprocess.run(list(args), check=True, capture_output=True, timeout=COMMAND_TIMEOUT)


def _ip(*args):
    _run("ip", *args)


def in_namespace(namespace, *args):
    _run("ip", "netns", "exec", namespace, *args)


def allow_ping_sockets(namespace):
    in_namespace(namespace, "sysctl", "-q", "-w", f"net.ipv4.ping_group_range={ALL_GROUPS}")


def echo_socket_kind(pid):
    """"datagram" or "raw" for the ICMP socket that the process holds, seen through its own
    namespace's socket tables; None when it holds neither."""
    def entries(table):
        try:
            lines = Path(f"/proc/{pid}/net/{table}").read_text().splitlines()[1:]
        except OSError:
            return []
        return [line.split() for line in lines if line.strip()]

    inodes = _socket_inodes(pid)
    # Columns: sl local rem st tx:rx tr:when retrnsmt uid timeout inode ...
    if any(fields[9] in inodes for fields in entries("icmp")):
        return "datagram"
    # A raw socket's "port" is its protocol: 1 for ICMP.
    if any(fields[1].endswith(":0001") and fields[9] in inodes for fields in entries("raw")):
        return "raw"
    return None


def _socket_inodes(pid):
    inodes = set()
    folder = Path(f"/proc/{pid}/fd")
    for entry in folder.iterdir() if folder.exists() else ():
        try:
            target = os.readlink(entry)
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[len("socket:["):-1])
    return inodes


class Chain:
    """client - r1 - ... - rN - host.  Link k (1-based, from the client) is 10.200.k.0/24, its
    left end .1 and its right end .2; every node routes each link that it does not touch through
    its neighbour on that side, and the routers forward.  The client's hosts file names every
    address of the path, so that a reply from any node of it has a reverse name."""

    def __init__(self, tag, routers, names=None):
        self.tag = f"tsr{tag}{os.getpid()}"
        if len(self.tag) > 12:  # interface names end in a digit and a letter, and hold 15
            raise ValueError(f"tag {tag!r} is too long")
        self.routers = routers
        self.nodes = ([f"{self.tag}c"] + [f"{self.tag}r{k}" for k in range(1, routers + 1)]
                      + [f"{self.tag}h"])
        self.names = names
        self._made = []

    def __repr__(self):
        return f"Chain({self.tag}, {self.routers} routers)"

    @property
    def client(self):
        return self.nodes[0]

    @property
    def host(self):
        return self.nodes[-1]

    @property
    def links(self):
        return len(self.nodes) - 1

    @property
    def host_address(self):
        return f"10.200.{self.links}.2"

    def router_addresses(self, router):
        """The addresses of router k (1-based): toward the client, then toward the host."""
        return f"10.200.{router}.2", f"10.200.{router + 1}.1"

    def interface(self, link, side):
        """The interface of link k at its left ("a") or right ("b") end."""
        return f"{self.tag}{link}{side}"

    @property
    def client_interface(self):
        return self.interface(1, "a")

    @property
    def host_interface(self):
        return self.interface(self.links, "b")

    def all_names(self):
        names = {self.host_address: "far-host.tessaly.test"}
        for router in range(1, self.routers + 1):
            left, right = self.router_addresses(router)
            names[left] = f"router{router}-near.tessaly.test"
            names[right] = f"router{router}-far.tessaly.test"
        return names

    def start(self):
        resources.track(self)
        for node in self.nodes:
            _ip("netns", "add", node)
            self._made.append(node)
            _ip("-n", node, "link", "set", "lo", "up")
        _ip("-n", self.client, "route", "add", "unreachable", "10.200.0.0/16")
        for link in range(1, self.links + 1):
            self._link(link)
        for position, node in enumerate(self.nodes):
            self._route(position, node)
        self._write_client_files()
        return self

    def _link(self, link):
        left, right = self.nodes[link - 1], self.nodes[link]
        a, b = self.interface(link, "a"), self.interface(link, "b")
        _ip("link", "add", a, "type", "veth", "peer", "name", b)
        _ip("link", "set", a, "netns", left)
        _ip("link", "set", b, "netns", right)
        _ip("-n", left, "addr", "add", f"10.200.{link}.1/24", "dev", a)
        _ip("-n", right, "addr", "add", f"10.200.{link}.2/24", "dev", b)
        _ip("-n", left, "link", "set", a, "up")
        _ip("-n", right, "link", "set", b, "up")

    def _route(self, position, node):
        # Node p touches links p (on its left) and p + 1 (on its right).
        for link in range(1, self.links + 1):
            if link > position + 1:
                _ip("-n", node, "route", "add", f"10.200.{link}.0/24",
                    "via", f"10.200.{position + 1}.2")
            elif link < position:
                _ip("-n", node, "route", "add", f"10.200.{link}.0/24", "via", f"10.200.{position}.1")
        if 0 < position < len(self.nodes) - 1:
            in_namespace(node, "sysctl", "-q", "-w", "net.ipv4.ip_forward=1")

    def _write_client_files(self):
        etc = NETNS_ETC / self.client
        etc.mkdir(parents=True, exist_ok=True)
        names = self.all_names() if self.names is None else self.names
        lines = ["127.0.0.1 localhost"] + [f"{address} {name}" for address, name in names.items()]
        (etc / "hosts").write_text("\n".join(lines) + "\n")
        # A resolver on no route: a lookup that misses the hosts file fails at once.
        (etc / "resolv.conf").write_text("nameserver 10.200.254.53\noptions timeout:1 attempts:1\n")

    def exec_prefix(self):
        return ["ip", "netns", "exec", self.client]

    def host_drops_echoes(self, drop):
        in_namespace(self.host, "sysctl", "-q", "-w",
                     f"net.ipv4.icmp_echo_ignore_all={1 if drop else 0}")

    def close(self):
        while self._made:
            subprocess.run(["ip", "netns", "del", self._made.pop()], capture_output=True,
                           timeout=COMMAND_TIMEOUT)
        shutil.rmtree(NETNS_ETC / self.client, ignore_errors=True)


SILENT_RESOLVER = "10.200.53.53"


def silence_resolver(network, timeout_seconds):
    """Points the client of a harness network (client and host) at a resolver that never
    answers: queries go to SILENT_RESOLVER through the host, which forwards them into a
    blackhole route, so they vanish without even an ICMP error.  Each lookup that misses the
    hosts file then waits out its full time-out."""
    in_namespace(network.host, "sysctl", "-q", "-w", "net.ipv4.ip_forward=1")
    _ip("-n", network.host, "route", "add", "blackhole", f"{SILENT_RESOLVER}/32")
    _ip("-n", network.client, "route", "add", f"{SILENT_RESOLVER}/32", "via", network.HOST_ADDRESS)
    (NETNS_ETC / network.client / "resolv.conf").write_text(
        f"nameserver {SILENT_RESOLVER}\noptions timeout:{timeout_seconds} attempts:1\n")
