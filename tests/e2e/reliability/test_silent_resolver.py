"""A host-name target and a resolver that never answers: every lookup waits out its time-out.

The captions must cycle through the target, "Trying to Resolve Addr" and "Bad IP/Host", once per
pass; while a lookup waits, the window must still take typing, repaint and obey its buttons; and
Escape during a lookup must end the process promptly, with the typed target saved.

The resolver's address is routed through the test host, which drops the queries into a
blackhole route: no answer, not even an ICMP error, so each lookup lasts its full time-out."""


from harness.netns import TestNetwork
from harness.pixels import Region, read_region
from harness.program import TEMPLATE_SIZE
from harness.waiting import wait_until

from harness.capture import Udp, now
from harness.captions import BAD, RESOLVING, cycle_of, cycle_problems, lookup_durations
from harness.case import ReliabilityCase
from harness.rhythm import describe
from harness.topology import SILENT_RESOLVER, silence_resolver

NAME = "silent-name.tessaly.test"
TYPED = "typed-while-waiting.tessaly.test"
# Long enough that typing and a click fit inside one lookup on a slow machine.
LOOKUP_SECONDS = 8
CYCLES_TO_SEE = 2
# The target box of the main window's template, in dialog units: x, y, width, height.
TARGET_BOX = (57, 8, 112, 12)


class SilentResolver(ReliabilityCase):
    def test_captions_cycle_window_answers_while_a_lookup_waits_and_closes_during_one(self):
        session = self.x_session()
        network = self.network("s", with_host=True)
        silence_resolver(network, LOOKUP_SECONDS)
        queries = self.capture(network.host, network.host_link, "resolver-queries")
        recorder = self.recorder(session)
        app = self.tessaly(session, network, {"IPAddress": NAME, "Alert": 1011, "StartTray": 0,
                                               "Packets": 3})
        window = app.main_window()

        with self.subTest("the captions cycle, one round per pass"):
            texts = recorder.wait_for(
                window, lambda texts: texts.count(BAD) >= CYCLES_TO_SEE, "two failed lookups",
                timeout=CYCLES_TO_SEE * LOOKUP_SECONDS * 3)
            self.assertEqual(cycle_problems(texts, cycle_of(NAME)), [])
            self.assertEqual(texts[:texts.index(cycle_of(NAME)[0])][-1:], ["DovRel  Tessaly"])

        with self.subTest("the window answers while a lookup waits"):
            self.check_responsive_during_lookup(app, recorder, window)

        with self.subTest("the typed target takes effect"):
            typed_cycle = cycle_of(TYPED)
            texts = recorder.wait_for(window, lambda texts: texts[-1:] == [RESOLVING]
                                      and typed_cycle[0] in texts, "a lookup of the typed name",
                                      timeout=LOOKUP_SECONDS * 4)
            self.assertEqual(cycle_problems(texts, typed_cycle), [])

        with self.subTest("Escape during a lookup ends the program"):
            self.assertEqual(recorder.texts(window)[-1], RESOLVING)
            code, seconds = app.close_with_escape()
            self.assertEqual(code, 0)
            self.figure("Escape during a lookup to process exit", f"{seconds * 1000:.0f} ms")
            self.assertEqual(app.read_settings()["ipaddress"], TYPED)

        queries.close()
        self.check_resolver_was_silent(queries.packets())
        self.figure("lookup duration with a silent resolver",
                    describe(lookup_durations(recorder.captions(window))))

    def check_responsive_during_lookup(self, app, recorder, window):
        session = app.session
        recorder.wait_for(window, lambda texts: texts[-1:] == [RESOLVING], "a lookup to begin",
                          timeout=LOOKUP_SECONDS * 3)
        began = recorder.captions(window)[-1].time
        box = self.target_box(session.geometry(window))
        before = read_region(session.screenshot("before-typing"), box)
        typed_at = now()
        app.type_target(TYPED)
        after = read_region(session.screenshot("typed-during-lookup"), box)
        app.click_button("Hide Me")
        wait_until(lambda: not app.window_shown(), "Hide Me to hide the window during a lookup")
        hidden_at = now()
        # Nothing but the lookup's own caption since it began: it was still waiting throughout.
        self.assertEqual(recorder.texts(window, since=began), [RESOLVING],
                         "the lookup ended before the window had answered; lengthen it")
        self.assertNotEqual(before.rgb, after.rgb, "the target box did not repaint while typing")
        self.figure("typing and Hide Me during a lookup",
                    f"typed {TYPED!r} and hidden {hidden_at - typed_at:.2f}s after the first key, "
                    f"{hidden_at - began:.2f}s into an {LOOKUP_SECONDS}s lookup")
        app.click_tray(1)
        wait_until(app.window_shown, "a left click on the icon to show the window again")

    @staticmethod
    def target_box(window):
        x, y, width, height = TARGET_BOX
        scale_x = window.width / TEMPLATE_SIZE[0]
        scale_y = window.height / TEMPLATE_SIZE[1]
        return Region(window.x + int(x * scale_x), window.y + int(y * scale_y),
                      int(width * scale_x), int(height * scale_y))

    def check_resolver_was_silent(self, packets):
        dns = [p for p in packets if isinstance(p, Udp) and 53 in (p.source_port,
                                                                      p.destination_port)]
        asked = [p for p in dns if p.destination == SILENT_RESOLVER and p.destination_port == 53]
        self.assertTrue(asked, "no query reached the test network's resolver address")
        self.assertEqual([p for p in dns if p not in asked], [], "something answered a query")
        self.assertEqual({p.source for p in asked}, {TestNetwork.CLIENT_ADDRESS})
        self.figure("queries to the silent resolver", len(asked))
