"""The settings file under stress: a folder that cannot be written, files of damaged bytes, and a
program killed with SIGKILL, idle or in the middle of writing its values at close.

What must hold: the program starts with the defaults where it cannot use the file, shows no
message about it and still closes; it never destroys bytes that it did not write; and a kill
leaves a file that is whole and readable, as the last orderly close (or the close that the kill
cut short) wrote it."""

import os
import random
import subprocess
import time
from pathlib import Path

from harness.program import APPLICATION
from harness.settings import parse_settings, settings_text
from harness.waiting import wait_until

from harness.case import ReliabilityCase
from harness.program import NOBODY
from harness.topology import allow_ping_sockets

DEFAULTS = {"ipaddress": "127.0.0.1", "alert": 1011, "starttray": 0, "packets": 3}
DEFAULT_CAPTION = "DovRel Tessaly -127.0.0.1"
STORED = {"IPAddress": "127.0.0.2", "Alert": 1008, "StartTray": 2, "Packets": 7}
SEED = 20240611
# A message box, if one came, comes within the first passes: look this long after green.
WATCH_FOR_BOXES = 2.0
# The radio buttons' centres in the main window's template, in dialog units.
# The settings file's temporaries, as the program names them, and a file of the user's own.
TEMPORARY = rf"^\.{APPLICATION}\.conf\.[A-Za-z0-9]{{6}}$"
NOTE = "notes.txt"
RADIO_CENTRES = {"None": (47, 40), "Beep": (97, 40), "Message": (147, 40)}


def lowered(values):
    return {name.lower(): value for name, value in values.items()}


def folder_state(folder):
    """Every entry below a folder with its mode and bytes, to see that nothing changed."""
    state = {}
    for path in sorted(Path(folder).rglob("*")):
        data = path.read_bytes() if path.is_file() else None
        state[str(path.relative_to(folder))] = (oct(path.stat().st_mode), data)
    return state


class SettingsStore(ReliabilityCase):
    def config_home(self, owner=None):
        return self.scratch_folder("tessaly-rel-store-", owner)

    # ---- a folder that cannot be written ----------------------------------------------------

    def run_unwritable(self, cases, shot_prefix):
        """Runs the program as nobody on each prepared settings folder: it must come up with
        the defaults, probe, show no message box, close, and leave the folder as it was."""
        session = self.x_session()
        network = self.network("u")
        # nobody takes a ping socket, where the namespace allows it, to probe at all.
        allow_ping_sockets(network.client)
        for number, (name, prepare) in enumerate(cases):
            with self.subTest(name):
                home = self.config_home(owner=NOBODY)
                prepare(home)
                before = folder_state(home)
                app = self.tessaly(session, network, label=f"{shot_prefix}-{number}",
                                    config_home=home, user=NOBODY)
                self.assertEqual(app.target_caption(), DEFAULT_CAPTION)
                app.wait_for_tray("up", f"{shot_prefix}-{number}-green")
                deadline = time.monotonic() + WATCH_FOR_BOXES
                while time.monotonic() < deadline:
                    self.assertEqual(app.message_boxes(), [])
                    time.sleep(0.2)
                code, seconds = app.close_with_escape()
                self.assertEqual(code, 0)
                self.assertEqual(folder_state(home), before, "the program changed the folder")
                self.figure(f"{name}: Escape to exit", f"{seconds * 1000:.0f} ms")

    def test_unwritable_settings_give_the_defaults_without_a_message_and_close(self):
        def read_only_folder(home):
            folder = home / "Dovrel"
            folder.mkdir(mode=0o555)
            os.chown(folder, NOBODY, NOBODY)

        def read_only_home(home):
            home.chmod(0o555)

        self.run_unwritable([
            ("settings folder read-only, no file", read_only_folder),
            ("configuration home read-only, no settings folder", read_only_home),
        ], "unwritable")

    # A store that cannot be opened for writing counts as unreachable: the stored values (the
    # caption would show 127.0.0.2) must not be used, and the file must stay as it is.
    def test_unwritable_folder_holding_a_stored_file_gives_the_defaults(self):
        stored = settings_text(STORED).encode()

        def read_only_folder_holding_a_file(home):
            folder = home / "Dovrel"
            folder.mkdir()
            (folder / f"{APPLICATION}.conf").write_bytes(stored)
            os.chown(folder / f"{APPLICATION}.conf", NOBODY, NOBODY)
            folder.chmod(0o555)
            os.chown(folder, NOBODY, NOBODY)

        self.run_unwritable([("settings folder read-only, a stored file in it",
                              read_only_folder_holding_a_file)], "unwritable-stored")

    # ---- damaged files ------------------------------------------------------------------------

    def test_damaged_files_give_the_defaults_and_keep_the_bytes_they_had(self):
        session = self.x_session()
        network = self.network("d")
        generator = random.Random(SEED)
        noise = generator.randbytes(4096)
        lines_free = bytes(b if b not in (10, 13) else 32 for b in generator.randbytes(2048))
        cases = [
            # name, the file's bytes, the values it gives, the bytes that must still begin the
            # file after the close, and the leading bytes that are no text
            ("random bytes", noise, DEFAULTS, noise, noise),
            ("random bytes without line breaks", lines_free, DEFAULTS, lines_free, lines_free),
            ("values of the wrong form",
             b'[dovrel]\nIPAddress=127.0.0.2\nalert=1009.5\nStartTray=\nPackets=seven\n',
             DEFAULTS, b"[dovrel]\n", b""),
            ("cut short inside a value", b'[dovrel]\nPackets=7\nIPAddress="127.0.0.2',
             {**DEFAULTS, "packets": 7}, b"[dovrel]\nPackets=7\n", b""),
            ("random bytes before a good section", noise + b"\n[Dovrel]\nPackets=9\n",
             {**DEFAULTS, "packets": 9}, noise + b"\n[Dovrel]\nPackets=9\n", noise),
        ]
        # Side by side, each with a folder of its own: the cases take the time of one.
        apps = [self.tessaly(session, network, label=f"damaged-{number}", settings_bytes=data)
                for number, (_, data, _, _, _) in enumerate(cases)]
        for (name, _, values, kept, binary), app in zip(cases, apps):
            with self.subTest(name):
                self.assertEqual(app.target_caption(), f"DovRel Tessaly -{values['ipaddress']}")
                settings_path = app.settings_path
                code, _ = app.close_with_escape()
                self.assertEqual(code, 0)
                written = settings_path.read_bytes()
                self.assertTrue(written.startswith(kept),
                                f"the file lost bytes it had: it now begins {written[:64]!r}")
                text = written[len(binary):].decode("utf-8", "replace")
                self.assertEqual(parse_settings(text), values)

    # ---- SIGKILL ----------------------------------------------------------------------------

    def test_sigkill_leaves_the_file_of_the_last_orderly_close(self):
        session = self.x_session()
        network = self.network("k")
        home = self.config_home()
        settings = home / "Dovrel" / f"{APPLICATION}.conf"

        first = self.tessaly(session, network, label="orderly", config_home=home)
        first.wait_for_caption(DEFAULT_CAPTION)
        first.type_target("127.0.0.3")
        first.wait_for_caption("DovRel Tessaly -127.0.0.3")
        self.assertEqual(first.close_with_escape()[0], 0)
        orderly = settings.read_bytes()
        self.assertEqual(parse_settings(orderly.decode()), {**DEFAULTS, "ipaddress": "127.0.0.3"})

        killed = self.tessaly(session, network, label="killed", config_home=home)
        killed.wait_for_caption("DovRel Tessaly -127.0.0.3")
        killed.type_target("127.0.0.4")
        killed.wait_for_caption("DovRel Tessaly -127.0.0.4")
        pid = killed.pid
        self.assertEqual(killed.kill(), -9)
        self.assertEqual(settings.read_bytes(), orderly)
        self.assertEqual(sorted(p.name for p in settings.parent.iterdir()), [settings.name])
        wait_until(lambda: not [icon for icon in session.tray_icons(APPLICATION)
                                if killed.window_pid(icon.id) == pid],
                   "the killed program's icon to leave the tray")

        again = self.tessaly(session, network, label="after-kill", config_home=home)
        again.wait_for_caption("DovRel Tessaly -127.0.0.3")
        self.assertEqual(again.close_with_escape()[0], 0)

    def test_sigkill_while_closing_leaves_a_whole_file_of_old_or_new_values(self):
        session = self.x_session()
        network = self.network("w")
        home = self.config_home()
        settings = home / "Dovrel" / f"{APPLICATION}.conf"
        old = {"IPAddress": "127.0.0.5", "Alert": 1011, "StartTray": 0, "Packets": 3}
        new = {"ipaddress": "127.0.0.6", "alert": 1008}
        # From the moment the key is sent: the close takes some tens of milliseconds, and the
        # four writes lie somewhere inside.
        delays = [step * 0.005 for step in range(12)]
        outcomes = []
        for number, delay in enumerate(delays):
            with self.subTest(delay=f"{delay * 1000:.0f} ms"):
                settings.parent.mkdir(exist_ok=True)
                # What earlier kills left beside the file stays: the next write must clear it.
                before = {p.name for p in settings.parent.iterdir()}
                settings.write_text(settings_text(old))
                app = self.tessaly(session, network, label=f"kill-at-close-{number}",
                                    config_home=home)
                app.wait_for_caption("DovRel Tessaly -127.0.0.5")
                app.type_target(new["ipaddress"])
                app.click_dialog_units(*RADIO_CENTRES["Beep"])
                app.wait_for_caption(f"DovRel Tessaly -{new['ipaddress']}")
                session.run("xdotool", "windowfocus", "--sync", app.main_window())
                key = subprocess.Popen(["xdotool", "key", "--clearmodifiers", "Escape"],
                                       env=session.env())
                time.sleep(delay)
                app.process.kill()
                app.process.wait(timeout=30)
                key.wait(timeout=30)
                values = parse_settings(settings.read_text())
                self.assertEqual(set(values), set(DEFAULTS), f"values missing: {values}")
                changed = [name for name in ("ipaddress", "alert") if values[name] == new[name]]
                for name, value in values.items():
                    self.assertIn(value, (lowered(old)[name], new.get(name)), name)
                # The close writes the target first: the alert cannot be new without it.
                self.assertIn(changed, ([], ["ipaddress"], ["ipaddress", "alert"]))
                left = {p.name for p in settings.parent.iterdir()}
                for name in left - {settings.name, NOTE}:
                    self.assertRegex(name, TEMPORARY, "not the program's own temporary")
                outcomes.append((len(changed), sorted(left - before - {settings.name})))
        self.figure("values new in the file after a kill during the close (0, 1 or 2 of 2)",
                    [count for count, _ in outcomes])
        self.figure("temporaries new beside the settings file after each kill",
                    [names for _, names in outcomes])

        # An orderly close that writes removes what the kills left, and nothing else.
        (settings.parent / NOTE).write_text("the user's own")
        last = self.tessaly(session, network, label="after-kills", config_home=home)
        last.wait_for_caption(f"DovRel Tessaly -{new['ipaddress']}")
        last.type_target("127.0.0.7")
        last.wait_for_caption("DovRel Tessaly -127.0.0.7")
        self.assertEqual(last.close_with_escape()[0], 0)
        self.assertEqual(sorted(p.name for p in settings.parent.iterdir()),
                         sorted([settings.name, NOTE]))
        self.assertEqual(parse_settings(settings.read_text())["ipaddress"], "127.0.0.7")
        self.assertEqual((settings.parent / NOTE).read_text(), "the user's own")
