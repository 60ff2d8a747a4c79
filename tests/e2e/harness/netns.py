"""Network namespaces for the program under test.

A client namespace whose only routes lead to the test hosts that the test makes: loopback always,
and optionally one test host namespace behind a veth pair in 10.200.0.0/16.  Names resolve only
from the client's own hosts file; its resolver is an address in the test network where nothing
answers, so no query can reach the machine's resolver.  Outages are made on the far side only."""

import os
import shutil
import subprocess
from pathlib import Path

from . import resources

NETNS_ETC = Path("/etc/netns")
COMMAND_TIMEOUT = 30


def _ip(*args):
    subprocess.run(["ip", *args], check=True, capture_output=True, timeout=COMMAND_TIMEOUT)


def namespace_exists(name):
    listing = subprocess.run(["ip", "netns", "list"], check=True, capture_output=True, text=True,
                             timeout=COMMAND_TIMEOUT).stdout
    return any(line.split()[0] == name for line in listing.splitlines() if line.strip())


class TestNetwork:
    """Client namespace `<tag>c`, and with a host, host namespace `<tag>h` at HOST_ADDRESS."""

    CLIENT_ADDRESS = "10.200.41.1"
    HOST_ADDRESS = "10.200.41.2"
    PREFIX = 24
    SILENT_RESOLVER = "10.200.41.53"  # inside the test network; nothing listens there

    def __init__(self, tag, with_host=True, hosts=()):
        # Unique among concurrent runs: names carry the process id.
        self.tag = f"tsy{tag}{os.getpid()}"
        if len(self.tag) > 13:  # interface names end in two more letters and hold 15
            raise ValueError(f"namespace tag {tag!r} is too long")
        self.client = f"{self.tag}c"
        self.host = f"{self.tag}h" if with_host else None
        self.hosts = [("127.0.0.1", "localhost"), *hosts]
        self._made = []

    def __repr__(self):
        return f"TestNetwork({self.client}, {self.host})"

    def start(self):
        resources.track(self)
        self._make_namespace(self.client)
        self._write_client_files()
        if self.host:
            self._make_namespace(self.host)
            self._link_host()
        # Should a route ever go, a probe into the test network fails here instead of leaking.
        _ip("-n", self.client, "route", "add", "unreachable", "10.200.0.0/16")
        return self

    def _make_namespace(self, name):
        _ip("netns", "add", name)
        self._made.append(name)
        _ip("-n", name, "link", "set", "lo", "up")

    def _write_client_files(self):
        etc = NETNS_ETC / self.client
        etc.mkdir(parents=True, exist_ok=True)
        (etc / "hosts").write_text("".join(f"{address} {names}\n" for address, names in self.hosts))
        (etc / "resolv.conf").write_text(
            f"nameserver {self.SILENT_RESOLVER}\noptions timeout:1 attempts:1\n")

    @property
    def client_link(self):
        return f"{self.tag}c0"

    @property
    def host_link(self):
        return f"{self.tag}h0"

    def _link_host(self):
        _ip("link", "add", self.client_link, "type", "veth", "peer", "name", self.host_link)
        _ip("link", "set", self.client_link, "netns", self.client)
        _ip("link", "set", self.host_link, "netns", self.host)
        _ip("-n", self.client, "addr", "add", f"{self.CLIENT_ADDRESS}/{self.PREFIX}",
            "dev", self.client_link)
        _ip("-n", self.host, "addr", "add", f"{self.HOST_ADDRESS}/{self.PREFIX}",
            "dev", self.host_link)
        _ip("-n", self.client, "link", "set", self.client_link, "up")
        _ip("-n", self.host, "link", "set", self.host_link, "up")

    def exec_prefix(self):
        """The words that run a command inside the client namespace."""
        return ["ip", "netns", "exec", self.client]

    def run_in_client(self, *args):
        return subprocess.run([*self.exec_prefix(), *args], capture_output=True, text=True,
                              timeout=COMMAND_TIMEOUT)

    # ---- outages, on the host's side only -------------------------------------------------

    def host_drops_echoes(self, drop):
        subprocess.run(["ip", "netns", "exec", self.host, "sysctl", "-q", "-w",
                        f"net.ipv4.icmp_echo_ignore_all={1 if drop else 0}"],
                       check=True, capture_output=True, timeout=COMMAND_TIMEOUT)

    def host_link_up(self, up):
        _ip("-n", self.host, "link", "set", self.host_link, "up" if up else "down")

    def close(self):
        # Deleting a namespace deletes the veth end inside it, and with it the pair.
        while self._made:
            name = self._made.pop()
            subprocess.run(["ip", "netns", "del", name], capture_output=True,
                           timeout=COMMAND_TIMEOUT)
        shutil.rmtree(NETNS_ETC / self.client, ignore_errors=True)
