"""A host-name target across a real link: the program runs in a client namespace whose only route
leads to one test host; the name and the host's reverse name come from the client's hosts file.
Outages are made on the host's side, never by touching the client's route."""

from harness.case import EndToEndCase
from harness.netns import TestNetwork

HOST_NAME = "probe-host.tessaly.test"
# Four failures of up to five seconds each, after up to ten seconds of pause: a generous limit.
OUTAGE_PATIENCE = 150


class NamedTarget(EndToEndCase):
    def test_name_resolves_goes_green_and_follows_outages_on_the_far_side(self):
        session = self.x_session()
        network = self.network("n", with_host=True,
                               hosts=[(TestNetwork.HOST_ADDRESS, HOST_NAME)])
        app = self.tessaly(session, network,
                           {"IPAddress": HOST_NAME, "Alert": 1011, "StartTray": 0, "Packets": 3})

        app.wait_for_caption(f"DovRel's Tessaly : {TestNetwork.HOST_ADDRESS}")
        app.wait_for_tray("up", "named-target-green")

        outages = [
            ("host ignores echoes", network.host_drops_echoes, True),
            ("host link down", network.host_link_up, False),
        ]
        for name, switch, outage_value in outages:
            with self.subTest(outage=name):
                switch(outage_value)
                try:
                    app.wait_for_tray("down", f"red-while-{name}", timeout=OUTAGE_PATIENCE)
                finally:
                    switch(not outage_value)
                app.wait_for_tray("up", f"green-after-{name}", timeout=OUTAGE_PATIENCE)
                # Probes, failures and tray changes never touch the caption.
                self.assertEqual(app.caption(), f"DovRel's Tessaly : {TestNetwork.HOST_ADDRESS}")

        app.session.press_key(app.main_window(), "Escape")
        self.assertGreaterEqual(app.wait_exit(), 0)
        self.assertEqual(app.read_settings(),
                         {"ipaddress": HOST_NAME, "alert": 1011, "starttray": 0, "packets": 3})
