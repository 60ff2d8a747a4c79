"""A test host that stops answering and answers again, with the program probing it across a real
link: the tray icon, the "Connection restored" box and what went over the wire must tell the
same story.

The host drops echoes on its own side (icmp_echo_ignore_all); the client's route is never
touched.  tcpdump on the host's end of the link sees every request and reply."""

import shutil
import time

from harness.netns import TestNetwork
from harness.waiting import wait_until

from harness import rhythm
from harness.capture import answered, echo_replies, echo_requests, now, wait_for_packets
from harness.case import ReliabilityCase

HOST = TestNetwork.HOST_ADDRESS
HOST_NAME = "echo-host.tessaly.test"
# Not the default of 3: the threshold must come from the settings file.
THRESHOLD = 2
BOX_CAPTION = "Dovrel's Tessaly"
# Longer than the 10-second pause after a success: a worker that went on while the box is open
# would send a request meanwhile.
BOX_HOLD = 12
PAUSE_AFTER_SUCCESS = 10.0
ECHO_TIMEOUT = 5.0
# One-sided: only a fault sends sooner; a slow machine only makes the gaps longer.
CLOCK_SLACK = 0.1
# Red needs THRESHOLD + 1 failures of up to 5 s after up to 10 s of pause: a generous limit.
OUTAGE_PATIENCE = 150
# Requests this close to a switch of the host may fall on either side of it.
SWITCH_MARGIN = 0.5


class OutageOnTheFarSide(ReliabilityCase):
    def wait_for_box(self, app, what, timeout=60):
        def box():
            boxes = [window for window, caption in app.message_boxes() if caption == BOX_CAPTION]
            return boxes[0] if boxes else None
        window = wait_until(box, what, timeout=timeout)
        return window, now()

    def dismiss(self, app, box):
        """Presses Return in the box; the time just before the key, and when it was seen gone."""
        app.session.run("xdotool", "windowfocus", "--sync", box)
        pressed = now()
        app.session.run("xdotool", "key", "--clearmodifiers", "Return")
        wait_until(lambda: all(window != box for window, _ in app.message_boxes()),
                   "the box to go away after Return")
        return pressed, now()

    def test_host_that_stops_answering_turns_red_after_the_threshold_and_back_with_the_box(self):
        session = self.x_session()
        network = self.network("o", with_host=True, hosts=[(HOST, HOST_NAME)])
        capture = self.capture(network.host, network.host_link, "host-link")
        app = self.tessaly(session, network, {"IPAddress": HOST, "Alert": 1009, "StartTray": 0,
                                               "Packets": THRESHOLD})

        # The icon starts red, so the first answer is a return of the connection.
        box, first_box_seen = self.wait_for_box(app, 'the first "Connection restored" box')
        session.screenshot("first-connection-restored")
        self.assertEqual(self.sample_tray(app, "green-behind-first-box").state, "up")
        time.sleep(BOX_HOLD)
        first_box_pressed, first_box_gone = self.dismiss(app, box)
        wait_for_packets(
            capture, lambda packets: any(answered(r, packets) for r in echo_requests(packets, HOST)
                                         if r.time > first_box_gone),
            "an answered request after the box", timeout=60)

        began = now()
        network.host_drops_echoes(True)
        samples = []
        try:
            deadline = time.monotonic() + OUTAGE_PATIENCE
            while not samples or samples[-1].state != "down":
                self.assertLess(time.monotonic(), deadline, "the icon never turned red")
                samples.append(self.sample_tray(app, "outage-sample"))
            shutil.copy(self.artifacts / "outage-sample.png", self.artifacts / "first-red.png")
        finally:
            network.host_drops_echoes(False)
        ended = now()

        box, second_box_seen = self.wait_for_box(app, 'the "Connection restored" box after the '
                                                      'outage', timeout=OUTAGE_PATIENCE)
        session.screenshot("second-connection-restored")
        self.assertEqual(self.sample_tray(app, "green-after-outage").state, "up")
        _, second_box_gone = self.dismiss(app, box)
        # Probes, failures and tray changes never touch the caption.
        self.assertEqual(app.caption(), f"DovRel Tessaly -{HOST}")
        code, _ = app.close_with_escape()
        self.assertEqual(code, 0)
        capture.close()

        packets = capture.packets()
        requests = echo_requests(packets, HOST)
        self.check_requests(requests, packets)
        with self.subTest("answers follow the host's switch"):
            for request in requests:
                if request.time < began - SWITCH_MARGIN:
                    self.assertTrue(answered(request, packets), f"unanswered before: {request}")
                elif began + SWITCH_MARGIN < request.time < ended - SWITCH_MARGIN:
                    self.assertFalse(answered(request, packets), f"answered during: {request}")
        with self.subTest("red after the threshold's failures, not sooner, not later"):
            self.assertNotIn("none", {s.state for s in samples}, "the icon went missing")
            run = rhythm.outage(requests, packets, began)
            self.assertEqual(rhythm.threshold_problems(run, samples, THRESHOLD), [])
            self.assertIsNotNone(run.recovered_by, "no answer after the outage")
            self.assertLess(run.recovered_by.time, second_box_seen,
                            "the box came before the answer that it reports")
        with self.subTest("no probe while a box is open"):
            for seen, gone in ((first_box_seen, first_box_gone), (second_box_seen, second_box_gone)):
                self.assertEqual(rhythm.requests_between(packets, HOST, seen, gone), [])
        self.check_rhythm(requests, packets, first_box_pressed)
        self.figure("requests", len(requests))
        self.figure("replies", len(echo_replies(packets, HOST)))
        self.figure("unanswered in the outage", len(run.unanswered))
        self.figure("tray samples until red", len(samples))

    def check_requests(self, requests, packets):
        with self.subTest("each request as the probe sends it"):
            self.assertGreater(len(requests), THRESHOLD + 3)
            self.assertEqual(rhythm.sequence_problems(requests), [])
            # Directly linked: the host sees the time-to-live as it was sent.
            self.assertEqual({r.ttl for r in requests}, {6})
            self.assertEqual({r.payload for r in requests}, {0})
        with self.subTest("every reply answers a request"):
            asked = {(r.identifier, r.sequence) for r in requests}
            for reply in echo_replies(packets, HOST):
                self.assertIn((reply.identifier, reply.sequence), asked)

    def check_rhythm(self, requests, packets, box_dismissed):
        gaps = rhythm.gaps(requests, packets)
        after_answer = [g.seconds for g in gaps if g.after_answer]
        after_failure = [g.seconds for g in gaps if not g.after_answer]
        after_box = [r.time - box_dismissed for r in requests if r.time > box_dismissed][:1]
        with self.subTest("never sooner than the rhythm allows"):
            self.assertTrue(after_answer and after_failure and after_box)
            self.assertGreaterEqual(min(after_answer), PAUSE_AFTER_SUCCESS - CLOCK_SLACK)
            self.assertGreaterEqual(min(after_failure), ECHO_TIMEOUT - CLOCK_SLACK)
            # The alert runs inside the pass: the pause after it begins when the box is gone.
            self.assertGreaterEqual(after_box[0], PAUSE_AFTER_SUCCESS - CLOCK_SLACK)
        self.figure("gap after an answered request", rhythm.describe(after_answer))
        self.figure("gap after an unanswered request", rhythm.describe(after_failure))
        self.figure("first request after Return in the box", rhythm.describe(after_box))
