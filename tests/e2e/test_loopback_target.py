"""The real program with a loopback target, as a person uses it: window, caption, tray icon,
clicks on the icon, the target box, Escape, and the settings file it leaves.

The program runs inside a client namespace that has nothing but its loopback interface, so
whatever it is told to probe, nothing leaves the namespace."""

import re

from harness.case import EndToEndCase
from harness.settings import settings_text
from harness.waiting import wait_until

LOOPBACK_HOSTS = [("127.0.0.2", "loopback-two.tessaly.test")]
DEFAULTS = {"ipaddress": "127.0.0.1", "alert": 1011, "starttray": 0, "packets": 3}

# The two ways a person hides the window.
HIDE_ACTIONS = {
    "Hide Me": lambda app: app.click_button("Hide Me"),
    "right click": lambda app: app.click_tray(3),
}


class LoopbackTarget(EndToEndCase):
    def start_program(self, settings=None, label="tessaly"):
        session = self.x_session()
        network = self.network("l", hosts=LOOPBACK_HOSTS)
        return self.tessaly(session, network, settings, label=label)

    def close_with_escape(self, app):
        app.session.press_key(app.main_window(), "Escape")
        code = app.wait_exit()
        self.assertGreaterEqual(code, 0, "the program was killed by a signal on its way out")
        return app.read_settings()

    def wait_hidden(self, app, how):
        app.session.screenshot(f"before-{how}")
        self.assertTrue(app.window_shown(), f"window should be shown before {how}")
        HIDE_ACTIONS[how](app)
        wait_until(lambda: not app.window_shown(), f"the window to hide after {how}")
        app.session.screenshot(f"hidden-by-{how}")

    def test_fresh_start_shows_window_turns_green_follows_clicks_and_saves_defaults(self):
        app = self.start_program()
        window = app.main_window()
        wait_until(lambda: app.session.is_viewable(window), "the main window to show")
        app.wait_for_caption("DovRel Tessaly -127.0.0.1")
        app.wait_for_tray("up", "window-and-green-tray")
        self.assertEqual(app.checked_radios("default-alert"), {"None"})

        for how in HIDE_ACTIONS:
            with self.subTest(hidden_by=how):
                self.wait_hidden(app, how)
                app.click_tray(1)
                wait_until(app.window_shown, f"a left click on the icon to show the window "
                                             f"hidden by {how}")
                app.session.screenshot(f"shown-after-{how}")

        self.assertEqual(self.close_with_escape(app), DEFAULTS)

    def test_stored_settings_are_used_and_written_back_unchanged(self):
        cases = [
            # name, file text, caption it leads to, starts hidden, tray state, checked radio
            # buttons, values written
            ("start in the tray with the beep alert",
             settings_text({"IPAddress": "127.0.0.2", "Alert": 1008, "StartTray": 1, "Packets": 7}),
             "DovRel Tessaly -127.0.0.2", True, "up", {"Beep"},
             {"ipaddress": "127.0.0.2", "alert": 1008, "starttray": 1, "packets": 7}),
            ("values outside the dialog's ranges are taken as stored",
             settings_text({"IPAddress": "127.0.0.1", "Alert": 5, "StartTray": 2, "Packets": 40}),
             "DovRel Tessaly -127.0.0.1", False, "up", set(),
             {"ipaddress": "127.0.0.1", "alert": 5, "starttray": 2, "packets": 40}),
            ("section and names in other letter case",
             '[DOVREL]\nipaddress="127.0.0.2"\nALERT=1011\nstarttray=0\nPACKETS=12\n',
             "DovRel Tessaly -127.0.0.2", False, "up", {"None"},
             {"ipaddress": "127.0.0.2", "alert": 1011, "starttray": 0, "packets": 12}),
            # An empty target is no address and no name; it stays empty rather than the default.
            ("an empty target",
             settings_text({"IPAddress": "", "Alert": 1011, "StartTray": 0, "Packets": 3}),
             "DovRel Tessaly - Bad IP/Host", False, None, {"None"},
             {"ipaddress": "", "alert": 1011, "starttray": 0, "packets": 3}),
        ]
        for name, text, caption, hidden, tray, radios, written in cases:
            with self.subTest(name):
                app = self.start_program(text, label=re.sub(r"\W+", "-", name))
                # The worker hides the window before it sets its first caption, so once the
                # caption is there the window shows as it is going to.
                app.wait_for_caption(caption)
                self.assertEqual(app.window_shown(), not hidden)
                if tray:
                    app.wait_for_tray(tray, f"{name} tray")
                if hidden:
                    app.click_tray(1)
                    wait_until(app.window_shown, "a left click on the icon to show the window")
                self.assertEqual(app.checked_radios(f"{name} radios"), radios)
                self.assertEqual(self.close_with_escape(app), written)
                self.release_fixtures()

    def test_message_alert_restores_a_window_started_in_the_tray(self):
        app = self.start_program({"Alert": 1009, "StartTray": 1})

        def restored_box():
            boxes = [window for window in app.session.tree()
                     if app.session.window_name(window.id) == "Dovrel's Tessaly"
                     and app.session.is_viewable(window.id)]
            return boxes[0] if boxes else None

        box = wait_until(restored_box, 'the "Connection restored" box')
        app.session.screenshot("connection-restored")
        self.assertTrue(app.window_shown(), "the message alert restores the main window")
        app.wait_for_tray("up", "green-behind-the-box")
        app.session.press_key(box.id, "Return")
        wait_until(lambda: restored_box() is None, "the box to go away after Return")
        self.assertEqual(self.close_with_escape(app),
                         {**DEFAULTS, "alert": 1009, "starttray": 1})

    def test_edits_of_the_target_box_reach_the_worker_and_the_settings(self):
        app = self.start_program()
        app.wait_for_tray("up", "green-before-edits")
        cases = [
            # typed text, caption it leads to, tray state it leads to
            ("no-such-host.tessaly.test", "DovRel Tessaly - Bad IP/Host", "down"),
            ("127.0.0.1", "DovRel Tessaly -127.0.0.1", "up"),
            ("loopback-two.tessaly.test", "DovRel's Tessaly : 127.0.0.2", "up"),
        ]
        for text, caption, state in cases:
            with self.subTest(typed=text):
                app.type_target(text)
                app.wait_for_caption(caption)
                app.wait_for_tray(state, f"after-typing-{text}")
        # The icon is green now and stays so: a new alert choice waits for the next return of
        # the connection, and is saved at the close.
        app.click_radio("Beep")
        wait_until(lambda: app.checked_radios("beep-chosen") == {"Beep"}, "Beep to be checked")
        self.assertEqual(self.close_with_escape(app),
                         {**DEFAULTS, "ipaddress": "loopback-two.tessaly.test", "alert": 1008})
