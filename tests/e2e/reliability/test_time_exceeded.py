"""Probes whose time-to-live runs out on the way: the router where it ends answers "time exceeded",
and that answer must never count as the target's reply.

The probe leaves with a time-to-live of 6.  Behind five routers it reaches the host with 1 left,
and the host answers; behind six, the sixth router answers "time exceeded" instead.  Every
address of the path has a reverse name in the client's hosts file, so only the kind of the reply
stands between such an answer and a green icon.  Both kinds of echo socket are tried: the raw
socket that root gets by default, and the datagram ("ping") socket that the namespace's
ping_group_range lets the program take instead."""

import subprocess
import time

from harness.capture import (TIME_EXCEEDED, Icmp, echo_replies, echo_requests,
                             wait_for_packets)
from harness.case import ReliabilityCase
from harness.rhythm import describe, gaps
from harness.topology import allow_ping_sockets, echo_socket_kind
from harness.waiting import wait_until

PROBE_TTL = 6
# Each refused probe waits out its 5 s; three of them show that none counted.
REFUSALS_TO_SEE = 3
PATIENCE = 90


def time_exceeded(packets):
    return [p for p in packets if isinstance(p, Icmp) and p.type == TIME_EXCEEDED]


class TimeToLiveRunsOut(ReliabilityCase):
    def test_time_exceeded_never_counts_as_a_reply(self):
        session = self.x_session()
        cases = [
            # routers on the path, echo socket, whether the host can be reached
            (PROBE_TTL - 1, "raw", True),
            (PROBE_TTL - 1, "datagram", True),
            (PROBE_TTL, "raw", False),
            (PROBE_TTL, "datagram", False),
        ]
        for number, (routers, socket, reachable) in enumerate(cases):
            with self.subTest(routers=routers, socket=socket):
                self.run_case(session, number, routers, socket, reachable)

    def run_case(self, session, number, routers, socket, reachable):
        label = f"{routers}-routers-{socket}"
        chain = self.chain(f"t{number}", routers)
        if socket == "datagram":
            allow_ping_sockets(chain.client)
        near = self.capture(chain.client, chain.client_interface, f"{label}-client-link")
        far = self.capture(chain.host, chain.host_interface, f"{label}-host-link")
        app = self.tessaly(session, chain, {"IPAddress": chain.host_address, "Alert": 1011,
                                             "StartTray": 0, "Packets": 3}, label)
        wait_until(lambda: echo_socket_kind(app.pid), f"{label}: the program's echo socket")
        self.assertEqual(echo_socket_kind(app.pid), socket)
        if reachable:
            app.wait_for_tray("up", f"{label}-green")
            arrived = echo_requests(wait_for_packets(
                far, lambda packets: echo_requests(packets, chain.host_address),
                f"{label}: the request at the host", timeout=30), chain.host_address)
            # Five routers took five off the six it left with.
            self.assertEqual({r.ttl for r in arrived}, {PROBE_TTL - routers})
        else:
            samples = self.watch_refusals(app, near, label)
            self.assertEqual({s.state for s in samples}, {"down"}, f"{label}: the icon went "
                             f"{[s.state for s in samples]}")
            self.check_refusals(chain, label, near.packets(), far.packets())
        code, seconds = app.close_with_escape()
        self.assertEqual(code, 0)
        # Behind six routers the worker spends nearly all its time in the 5 s echo wait.
        self.figure(f"{label}: Escape to exit", f"{seconds * 1000:.0f} ms")

    def watch_refusals(self, app, capture, label):
        """Samples the icon until REFUSALS_TO_SEE time-exceeded answers have come back, and a
        while after the last, so that its failed pass is over."""
        samples = []
        deadline = time.monotonic() + PATIENCE
        seen_enough_at = None
        while seen_enough_at is None or time.time() < seen_enough_at + 1.0:
            self.assertLess(time.monotonic(), deadline, f"{label}: too few time-exceeded answers")
            samples.append(self.sample_tray(app, f"{label}-sample"))
            refusals = time_exceeded(capture.packets())
            if seen_enough_at is None and len(refusals) >= REFUSALS_TO_SEE:
                seen_enough_at = refusals[REFUSALS_TO_SEE - 1].time
        return samples

    def check_refusals(self, chain, label, near_packets, far_packets):
        last_router = chain.router_addresses(chain.routers)[0]
        refusals = time_exceeded(near_packets)
        requests = echo_requests(near_packets, chain.host_address)
        self.assertEqual({r.source for r in refusals}, {last_router})
        self.assertEqual({r.quoted_destination for r in refusals}, {chain.host_address})
        # Each answer quotes one of our requests, by identifier and sequence.
        asked = {(r.identifier, r.sequence) for r in requests}
        self.assertTrue(all((r.identifier, r.sequence) in asked for r in refusals))
        self.assertEqual(echo_replies(near_packets), [])
        self.assertEqual(echo_requests(far_packets), [], "a probe got past the sixth router")
        # The answer's source has a reverse name: only its kind keeps it from counting.
        resolved = subprocess.run(["ip", "netns", "exec", chain.client, "getent", "hosts",
                                   last_router], capture_output=True, text=True, timeout=30)
        self.assertIn("tessaly.test", resolved.stdout)
        self.figure(f"{label}: gap between refused probes",
                    describe([g.seconds for g in gaps(requests, near_packets)]))
