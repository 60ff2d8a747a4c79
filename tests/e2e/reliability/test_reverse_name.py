"""A host that answers every echo but whose address has no reverse name: each pass fails at the
reverse lookup, so the icon never turns green, though the wire shows a reply to every request.
Once the same process finds the name in the client's hosts file, the next answer counts.

The client's resolver is an address on no route, so a name missing from the hosts file fails at
once and the passes follow each other at the 50 ms pause after a failure."""

import time

from harness.netns import NETNS_ETC, TestNetwork

from harness.capture import answered, echo_requests
from harness.case import ReliabilityCase
from harness.rhythm import describe, gaps

HOST = TestNetwork.HOST_ADDRESS
HOST_NAME = "named-late.tessaly.test"
UNROUTED_RESOLVER = "10.200.254.53"
# Answered requests to see before the name is added: well past the threshold of 3.
ANSWERS_TO_SEE = 20
SAMPLES_TO_TAKE = 5
PAUSE_AFTER_FAILURE = 0.05
CLOCK_SLACK = 0.005
PATIENCE = 60


class ReplyWithoutReverseName(ReliabilityCase):
    def test_answers_without_a_reverse_name_never_count_until_the_name_is_there(self):
        session = self.x_session()
        network = self.network("r", with_host=True)
        (NETNS_ETC / network.client / "resolv.conf").write_text(
            f"nameserver {UNROUTED_RESOLVER}\noptions timeout:1 attempts:1\n")
        capture = self.capture(network.host, network.host_link, "host-link")
        app = self.tessaly(session, network, {"IPAddress": HOST, "Alert": 1011, "StartTray": 0,
                                               "Packets": 3})
        app.wait_for_caption(f"DovRel Tessaly -{HOST}")

        samples = []
        deadline = time.monotonic() + PATIENCE
        while True:
            samples.append(self.sample_tray(app, "unnamed-sample"))
            packets = capture.packets()
            count = sum(answered(r, packets) for r in echo_requests(packets, HOST))
            if count >= ANSWERS_TO_SEE and len(samples) >= SAMPLES_TO_TAKE:
                break
            self.assertLess(time.monotonic(), deadline, f"only {count} answered requests")
        unnamed_until = time.time()
        self.assertEqual({s.state for s in samples}, {"down"},
                         f"the icon went {[s.state for s in samples]} without a reverse name")

        # Written in place: the namespace's /etc/hosts is this very file, bind-mounted.
        with open(NETNS_ETC / network.client / "hosts", "a") as hosts:
            hosts.write(f"{HOST} {HOST_NAME}\n")
        app.wait_for_tray("up", "green-once-named")
        code, _ = app.close_with_escape()
        self.assertEqual(code, 0)
        capture.close()

        packets = capture.packets()
        unnamed = [r for r in echo_requests(packets, HOST) if r.time < unnamed_until]
        self.assertTrue(all(answered(r, packets) for r in unnamed),
                        "the host left requests unanswered: the failures were not the name's")
        spacing = [g.seconds for g in gaps(unnamed, packets)]
        self.assertGreaterEqual(min(spacing), PAUSE_AFTER_FAILURE - CLOCK_SLACK)
        self.figure("answered requests while unnamed", len(unnamed))
        self.figure("gap between passes that failed at the reverse lookup", describe(spacing))
