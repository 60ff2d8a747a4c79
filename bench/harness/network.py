"""The test network: a client namespace whose only way out is one veth pair to a test host
namespace, both in 10.200.0.0/16. The program under test runs in the client namespace.

    client  10.200.1.1 --- 10.200.1.2  host ("far.tessaly.test"; answers echoes unless told not to)
            10.200.2.0/24 routed to the host, which drops it without a word: 10.200.2.53 is the
            client's name server, a resolver that never answers.

Names come only from the client's own hosts file; any other name goes to that silent resolver."""

import ipaddress
import os
import shutil

from .common import run

HOST_ADDRESS = "10.200.1.2"
HOST_NAME = "far.tessaly.test"
CLIENT_ADDRESS = "10.200.1.1"
SILENT_RESOLVER = "10.200.2.53"
SILENT_NAME = "silent.tessaly.test"  # in no hosts file: its lookup waits on the silent resolver
TEST_RANGE = ipaddress.ip_network("10.200.0.0/16")
CLIENT_LINK = "vc0"
HOST_LINK = "vh0"


class TestNetwork:
    def __init__(self, tag, undo):
        self.client = f"{tag}c"
        self.host = f"{tag}h"
        self._undo = undo

    def create(self):
        for name in (self.client, self.host):
            run(["ip", "netns", "add", name])
            self._undo.add(self._remove_namespace, name)
        self._write_client_files()
        self._ip(self.client, "link", "set", "lo", "up")
        self._ip(self.host, "link", "set", "lo", "up")
        # Both ends are made inside the namespaces: the link never exists in ours.
        self._ip(self.client, "link", "add", CLIENT_LINK, "type", "veth", "peer", "name",
                 HOST_LINK, "netns", self.host)
        self._ip(self.client, "addr", "add", f"{CLIENT_ADDRESS}/24", "dev", CLIENT_LINK)
        self._ip(self.host, "addr", "add", f"{HOST_ADDRESS}/24", "dev", HOST_LINK)
        self._ip(self.client, "link", "set", CLIENT_LINK, "up")
        self._ip(self.host, "link", "set", HOST_LINK, "up")
        for name in (self.client, self.host):
            self._ip(name, "route", "add", "unreachable", str(TEST_RANGE))
        self._ip(self.client, "route", "add", "10.200.2.0/24", "via", HOST_ADDRESS)
        # The host takes the resolver's packets in and drops them silently: no port or host
        # unreachable comes back, so a lookup waits out its whole time-out.
        self._ip(self.host, "route", "add", "blackhole", "10.200.2.0/24")
        self.in_host(["sysctl", "-qw", "net.ipv4.ip_forward=1"])
        self.set_answering(True)
        self.check_isolated()
        return self

    def _write_client_files(self):
        folder = f"/etc/netns/{self.client}"
        os.makedirs(folder)
        self._undo.add(shutil.rmtree, folder, True)
        with open(f"{folder}/hosts", "w") as hosts:
            hosts.write(f"127.0.0.1 localhost\n{HOST_ADDRESS} {HOST_NAME}\n")
        with open(f"{folder}/resolv.conf", "w") as resolver:
            resolver.write(f"nameserver {SILENT_RESOLVER}\noptions timeout:30 attempts:1\n")

    def check_isolated(self):
        """Refuses to go on when the client could reach anything outside the test range."""
        routes = run(["ip", "-n", self.client, "-4", "route", "show", "table", "all"])
        for line in routes.splitlines():
            words = line.split()
            if not words or words[0] in ("local", "broadcast", "unreachable", "blackhole"):
                continue
            destination = words[0]
            if destination == "default" or not ipaddress.ip_network(destination).subnet_of(
                    TEST_RANGE):
                raise RuntimeError(f"the client namespace has a route out: {line}")

    def set_answering(self, answering):
        """Outages are made on the far side: the host stops answering echoes."""
        value = 0 if answering else 1
        self.in_host(["sysctl", "-qw", f"net.ipv4.icmp_echo_ignore_all={value}"])

    def client_prefix(self):
        return ["ip", "netns", "exec", self.client]

    def host_prefix(self):
        return ["ip", "netns", "exec", self.host]

    def in_host(self, command):
        return run(self.host_prefix() + command)

    @staticmethod
    def _ip(namespace, *arguments):
        run(["ip", "-n", namespace, *arguments])

    @staticmethod
    def _remove_namespace(name):
        run(["ip", "netns", "del", name], check=False)
