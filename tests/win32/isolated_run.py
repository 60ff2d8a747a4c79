#!/usr/bin/env python3
"""Runs one command (a Windows test program under wine-run.sh) in a network of its own.

The command runs in a client namespace whose only interface is loopback, with a hosts file that
knows localhost and this machine's name (127.0.0.1) and tessaly-second (127.0.0.2). Names not in
it go to a resolver
address inside the test network:

  --resolver failing   10.200.255.53, which no route leads to: lookups fail at once (default)
  --resolver silent    10.200.0.53, a test host in a namespace of its own, joined by a veth
                       pair, that reads every query and answers none: lookups hang
  --echo silent        loopback ignores echo requests: an echo to 127.0.0.1 waits out its timeout
  --display            an Xvfb of its own, for programs that make windows

The Wine server of the prefix (TESSALY_WINEPREFIX) is started inside the namespace, so Wine's own
services (which send the echo requests) live there too, and is ended afterwards. Everything made
here is removed again, also on failure; what a run that was killed left behind (its namespaces,
its Wine server) is removed by the next. The command sees TESSALY_ISOLATED=1. Exit code: the
command's, or 77 when the namespace cannot be made.
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

SKIP = 77
CLIENT_ADDRESS = "10.200.0.1/24"
SILENT_RESOLVER = "10.200.0.53"
FAILING_RESOLVER = "10.200.255.53"
WINESERVER = os.path.join(os.path.dirname(os.environ.get("TESSALY_WINE64", "/usr/lib/wine/wine64")),
                          "wineserver")
SINK = ("import socket\n"
        "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
        "s.bind(('%s', 53))\n"
        "while True:\n"
        "    s.recv(4096)\n" % SILENT_RESOLVER)


def ip(*args, check=True):
    return subprocess.run(["ip"] + list(args), check=check, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)


def in_namespace(name, command):
    return ["ip", "netns", "exec", name] + command


NAMESPACE_PREFIXES = ("tsy-c", "tsy-h")


def remove_namespace(name):
    # Whatever still runs in one of our namespaces was started by a run of this script.
    pids = subprocess.run(["ip", "netns", "pids", name], capture_output=True, text=True)
    for pid in pids.stdout.split():
        try:
            os.kill(int(pid), signal.SIGKILL)
        except (ProcessLookupError, ValueError):
            pass
    ip("netns", "del", name, check=False)
    shutil.rmtree("/etc/netns/" + name, ignore_errors=True)


def remove_stale_namespaces():
    """Removes the namespaces of runs of this script that were killed before they cleaned up."""
    listed = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    for line in listed.splitlines():
        name = line.split()[0] if line.split() else ""
        for prefix in NAMESPACE_PREFIXES:
            tag = name[len(prefix):]
            if name.startswith(prefix) and tag.isdigit() and not os.path.exists("/proc/" + tag):
                remove_namespace(name)


class TestNetwork:
    def __init__(self, resolver, echo):
        tag = os.getpid()
        self.client = NAMESPACE_PREFIXES[0] + str(tag)
        self.host = NAMESPACE_PREFIXES[1] + str(tag) if resolver == "silent" else None
        self.resolver = resolver
        self.echo = echo
        self.made = []
        self.children = []

    def make(self):
        if ip("netns", "add", self.client, check=False).returncode != 0:
            return False
        self.made.append(self.client)
        etc = "/etc/netns/" + self.client
        os.makedirs(etc, exist_ok=True)
        with open(os.path.join(etc, "hosts"), "w") as hosts:
            # Wine looks up this machine's own name as it starts.
            hosts.write("127.0.0.1 localhost %s\n127.0.0.2 tessaly-second\n::1 localhost %s\n"
                        % (socket.gethostname(), socket.gethostname()))
        with open(os.path.join(etc, "resolv.conf"), "w") as conf:
            if self.resolver == "silent":
                conf.write("nameserver %s\noptions timeout:30 attempts:5\n" % SILENT_RESOLVER)
            else:
                conf.write("nameserver %s\n" % FAILING_RESOLVER)
        ip("netns", "exec", self.client, "ip", "link", "set", "lo", "up")
        if self.echo == "silent":
            subprocess.run(in_namespace(self.client, ["sysctl", "-q", "-w",
                                                      "net.ipv4.icmp_echo_ignore_all=1"]),
                           check=True)
        if self.host is not None:
            self._make_silent_resolver()
        return True

    def _make_silent_resolver(self):
        ip("netns", "add", self.host)
        self.made.append(self.host)
        client_link, host_link = "tsyc%d" % os.getpid(), "tsyh%d" % os.getpid()
        ip("link", "add", client_link, "type", "veth", "peer", "name", host_link)
        ip("link", "set", client_link, "netns", self.client)
        ip("link", "set", host_link, "netns", self.host)
        ip("netns", "exec", self.client, "ip", "addr", "add", CLIENT_ADDRESS, "dev", client_link)
        ip("netns", "exec", self.client, "ip", "link", "set", client_link, "up")
        ip("netns", "exec", self.host, "ip", "addr", "add", SILENT_RESOLVER + "/24", "dev",
           host_link)
        ip("netns", "exec", self.host, "ip", "link", "set", host_link, "up")
        ip("netns", "exec", self.host, "ip", "link", "set", "lo", "up")
        sink = subprocess.Popen(in_namespace(self.host, [sys.executable, "-c", SINK]),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.children.append(sink)

    def remove(self):
        for child in self.children:
            child.kill()
            child.wait()
        for name in self.made:
            remove_namespace(name)


def end_wine_server(prefix):
    """Ends the prefix's Wine server and its programs, wherever they were started."""
    if os.path.isdir(prefix):
        subprocess.run([WINESERVER, "-k"], env=dict(os.environ, WINEPREFIX=prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def free_display():
    for number in range(400, 700):
        if not os.path.exists("/tmp/.X%d-lock" % number) and \
                not os.path.exists("/tmp/.X11-unix/X%d" % number):
            return number
    return None


def lock_holder(number):
    try:
        with open("/tmp/.X%d-lock" % number) as lock:
            return int(lock.read().strip())
    except (OSError, ValueError):
        return None


def start_xvfb(network):
    # Another suite may take the same free number in the same instant; then our Xvfb exits and
    # the socket that appears is the other server's. Only a lock file naming our own server (ip
    # netns exec becomes Xvfb, so the pid is the same) makes the display ours.
    for _ in range(5):
        number = free_display()
        if number is None:
            return None
        xvfb = subprocess.Popen(in_namespace(network.client, ["Xvfb", ":%d" % number, "-screen",
                                                              "0", "1024x768x24", "-nolisten",
                                                              "tcp"]),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        network.children.append(xvfb)
        deadline = time.monotonic() + 30
        while xvfb.poll() is None and time.monotonic() < deadline:
            if lock_holder(number) == xvfb.pid and os.path.exists("/tmp/.X11-unix/X%d" % number):
                return ":%d" % number
            time.sleep(0.1)
        if xvfb.poll() is None:
            return None
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--resolver", choices=["failing", "silent"], default="failing")
    parser.add_argument("--echo", choices=["answering", "silent"], default="answering")
    parser.add_argument("--display", action="store_true")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command")
    if os.geteuid() != 0:
        print("SKIP: root is needed for the test's network namespace")
        return SKIP
    if args.display and shutil.which("Xvfb") is None:
        print("SKIP: no Xvfb")
        return SKIP

    # A stop by signal cleans up like any other end.
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, lambda _number, _frame, code=128 + number: sys.exit(code))
    remove_stale_namespaces()
    prefix = os.environ.get("TESSALY_WINEPREFIX")
    if prefix:
        end_wine_server(prefix)
    network = TestNetwork(args.resolver, args.echo)
    try:
        if not network.make():
            print("SKIP: cannot make a network namespace")
            return SKIP
        env = dict(os.environ, TESSALY_ISOLATED="1")
        if args.display:
            display = start_xvfb(network)
            if display is None:
                print("SKIP: Xvfb did not start")
                return SKIP
            env["DISPLAY"] = display
        else:
            env.pop("DISPLAY", None)
        return subprocess.run(in_namespace(network.client, command), env=env).returncode
    finally:
        if prefix:
            end_wine_server(prefix)
        network.remove()


if __name__ == "__main__":
    sys.exit(main())
