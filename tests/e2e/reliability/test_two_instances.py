"""Two instances side by side on one settings file: each keeps its own tray icon and worker, the
one stays green while the other is red, closing one leaves the other working, and the instance
closed last leaves its values in the file."""

from harness.program import APPLICATION
from harness.settings import parse_settings, settings_text

from harness.case import ReliabilityCase

START = {"IPAddress": "127.0.0.1", "Alert": 1011, "StartTray": 0, "Packets": 3}
NAMED = ("127.0.0.2", "loopback-two.tessaly.test")
MISSING = "missing.tessaly.test"
BEEP = (97, 40)  # the Beep radio button's centre in the template's dialog units


class TwoInstances(ReliabilityCase):
    def test_each_keeps_its_own_icon_and_worker_and_the_last_closed_leaves_its_values(self):
        session = self.x_session()
        network = self.network("i", hosts=[NAMED])
        home = self.scratch_folder("tessaly-rel-shared-")
        settings = home / "Dovrel" / f"{APPLICATION}.conf"
        settings.parent.mkdir()
        settings.write_text(settings_text(START))

        first = self.tessaly(session, network, label="first", config_home=home)
        second = self.tessaly(session, network, label="second", config_home=home)
        for app, x in ((first, 40), (second, 520)):
            self.assertEqual(app.target_caption(), "DovRel Tessaly -127.0.0.1")
            # No window manager places them: both would open in one spot.
            session.run("xdotool", "windowmove", "--sync", app.main_window(), str(x), "40")
            app.wait_for_tray("up", f"{app.label}-green")
        icons = session.tray_icons(APPLICATION)
        self.assertEqual(sorted(first.window_pid(icon.id) for icon in icons),
                         sorted([first.pid, second.pid]), "not one icon for each instance")

        first.type_target(NAMED[0])
        second.type_target(MISSING)
        first.wait_for_caption(f"DovRel Tessaly -{NAMED[0]}")
        second.wait_for_tray("down", "second-red-with-a-missing-name")
        with self.subTest("each icon shows its own worker's state"):
            self.assertEqual(self.sample_tray(first, "first-green-beside-red").state, "up")
            self.assertEqual(self.sample_tray(second, "second-red-beside-green").state, "down")
            session.screenshot("two-instances-two-icons")

        code, _ = first.close_with_escape()
        self.assertEqual(code, 0)
        self.assertEqual(parse_settings(settings.read_text()),
                         {"ipaddress": NAMED[0], "alert": 1011, "starttray": 0, "packets": 3})

        with self.subTest("the other goes on after the first has closed"):
            self.assertEqual([second.window_pid(icon.id)
                              for icon in session.tray_icons(APPLICATION)], [second.pid])
            second.type_target(NAMED[1])
            second.wait_for_caption(f"DovRel's Tessaly : {NAMED[0]}")
            second.wait_for_tray("up", "second-green-alone")
            second.click_dialog_units(*BEEP)

        code, _ = second.close_with_escape()
        self.assertEqual(code, 0)
        self.assertEqual(parse_settings(settings.read_text()),
                         {"ipaddress": NAMED[1], "alert": 1008, "starttray": 0, "packets": 3})

