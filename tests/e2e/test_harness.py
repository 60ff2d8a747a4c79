"""The helpers the end-to-end tests rely on, tested alone: a helper that misreads an icon or
leaves a namespace behind would make every other test wrong."""

import contextlib
import io
import os
import shutil
import subprocess
import tempfile
import unittest
import unittest.mock
from pathlib import Path

from harness import resources
from harness.report import summary
from harness.netns import NETNS_ETC, TestNetwork, namespace_exists
from harness.pixels import CONVERT, Region, icon_colours, parse_ppm, read_region
from harness.settings import Unparsed, parse_settings, settings_text
from harness.xsession import XSession, parse_tree

# The state icons' colours: background, bar, cross.
UP = ("#FFFFFF", "#006400", "#00FF00")
DOWN = ("#C0C0C0", "#008000", "#FF0000")


def draw_icon(path, size, colours, cross=True, offset=(0, 0), canvas=64):
    """Draws a state icon at `size` pixels at `offset` on a dark canvas, as a tray shows it."""
    background, bar, cross_colour = colours
    x0, y0 = offset

    def box(left, top, right, bottom):
        return (f"{x0 + int(left * size)},{y0 + int(top * size)} "
                f"{x0 + int(right * size) - 1},{y0 + int(bottom * size) - 1}")

    draw = ["-fill", background, "-draw", f"rectangle {box(0, 0, 1, 1)}",
            "-fill", bar, "-draw", f"rectangle {box(0.04, 0.78, 0.96, 0.94)}"]
    if cross:
        draw += ["-fill", cross_colour, "-draw", f"rectangle {box(0.14, 0.30, 0.86, 0.50)}",
                 "-draw", f"rectangle {box(0.40, 0.06, 0.60, 0.74)}"]
    subprocess.run([CONVERT, "-size", f"{canvas}x{canvas}", "xc:#303030", *draw, str(path)],
                   check=True)


@unittest.skipUnless(os.access(CONVERT, os.X_OK), "needs ImageMagick's convert")
class IconPixels(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="tessaly-e2e-pixels-"))
        self.addCleanup(shutil.rmtree, self.folder)

    def test_states_read_off_drawn_icons(self):
        cases = [
            ("up at 16 pixels", UP, True, 16, "up"),
            ("down at 16 pixels", DOWN, True, 16, "down"),
            ("up scaled to 22", UP, True, 22, "up"),
            ("down scaled to 22", DOWN, True, 22, "down"),
            # The down icon's green bar must not pass for the up icon's cross.
            ("down icon without its cross", DOWN, False, 22, "none"),
            ("up icon without its cross", UP, False, 22, "none"),
        ]
        for name, colours, cross, size, expected in cases:
            with self.subTest(name):
                path = self.folder / f"{name}.png"
                draw_icon(path, size, colours, cross=cross, offset=(10, 12))
                image = read_region(path, Region(8, 8, 30, 30))
                self.assertEqual(icon_colours(image).state, expected)

    def test_region_outside_the_icon_shows_none(self):
        path = self.folder / "corner.png"
        draw_icon(path, 16, UP, offset=(40, 40))
        self.assertEqual(icon_colours(read_region(path, Region(0, 0, 30, 30))).state, "none")

    def test_region_is_cropped_where_asked(self):
        path = self.folder / "crop.png"
        draw_icon(path, 16, DOWN, offset=(0, 0))
        image = read_region(path, Region(3, 5, 7, 4))
        self.assertEqual((image.width, image.height), (7, 4))
        self.assertEqual(len(image.rgb), 7 * 4 * 3)


class PpmParsing(unittest.TestCase):
    def test_header_with_comment(self):
        image = parse_ppm(b"P6\n# made by hand\n2 1\n255\n" + bytes([255, 0, 0, 0, 255, 0]))
        self.assertEqual(list(image.pixels()), [(255, 0, 0), (0, 255, 0)])

    def test_rejects_bad_input(self):
        cases = [
            ("text PPM", b"P3\n1 1\n255\n255 0 0\n"),
            ("16-bit samples", b"P6\n1 1\n65535\n" + bytes(6)),
            ("truncated pixels", b"P6\n2 2\n255\n" + bytes(5)),
        ]
        for name, data in cases:
            with self.subTest(name), self.assertRaises(ValueError):
                parse_ppm(data)


# What `xwininfo -root -tree` printed with the tray host and one docked icon.
TREE = """
xwininfo: Window id: 0x50d (the root window) (has no name)

  Root window id: 0x50d (the root window) (has no name)
  Parent window id: 0x0 (none)
     5 children:
     0x40000e "DovRel's Tessaly : 10.200.41.2": ("tessaly" "tessaly")  300x150+352+269  +352+269
     0x400004 "Qt Selection Owner for tessaly": ()  3x3+0+0  +0+0
     0x200003 "panel": ("panel" "trayer")  160x32+864+736  +864+736
        2 children:
        0x20002a (has no name): ()  22x30+97+1  +961+737
           1 child:
           0x400006 "tessaly": ("tessaly" "tessaly")  22x30+0+0  +961+737
        0x200004 (has no name): ()  1x1+-1+-1  +863+735
     0x200001 "trayer": ("trayer" "Trayer")  10x10+10+10  +10+10
"""


class WindowTree(unittest.TestCase):
    def test_structure_and_root_coordinates(self):
        tops = parse_tree(TREE)
        self.assertEqual([top.id for top in tops], ["0x40000e", "0x400004", "0x200003", "0x200001"])
        main, _, panel, _ = tops
        self.assertEqual(main.name, "DovRel's Tessaly : 10.200.41.2")
        self.assertEqual(main.classes, ("tessaly", "tessaly"))
        self.assertEqual(panel.classes, ("panel", "trayer"))
        docked = [window for window in panel.descendants() if "tessaly" in window.classes]
        self.assertEqual(len(docked), 1)
        self.assertEqual(docked[0].region, Region(961, 737, 22, 30))
        self.assertEqual(docked[0].depth, 2)
        unnamed = panel.children[1]
        self.assertEqual((unnamed.name, unnamed.region), ("", Region(863, 735, 1, 1)))


class TreeReads(unittest.TestCase):
    """A window that goes away while xwininfo walks the tree makes it fail; the next read holds."""

    TREE = ("xwininfo: Window id: 0x1 (the root window) (has no name)\n"
            '  0x400001 "DovRel Tessaly -127.0.0.1": ("tessaly" "tessaly")  200x80+0+0  +5+6\n')

    def read_with(self, outcomes):
        calls = []

        def fake_run(args, **_):
            calls.append(args)
            code, stderr = outcomes[min(len(calls), len(outcomes)) - 1]
            return subprocess.CompletedProcess(args, code, self.TREE if code == 0 else "", stderr)

        session = XSession("/nonexistent")
        session.display = ":1999"
        with unittest.mock.patch("harness.xsession.subprocess.run", fake_run):
            return session.tree(), calls

    def test_a_failed_walk_is_read_again(self):
        windows, calls = self.read_with([(1, "X Error: BadWindow"), (1, "BadWindow"), (0, "")])
        self.assertEqual([(w.id, w.name, w.region) for w in windows],
                         [("0x400001", "DovRel Tessaly -127.0.0.1", Region(5, 6, 200, 80))])
        self.assertEqual(len(calls), 3)

    def test_a_tree_that_never_reads_fails_with_what_xwininfo_said(self):
        with self.assertRaisesRegex(RuntimeError, "unable to open display"):
            self.read_with([(1, "unable to open display")])


class SettingsFiles(unittest.TestCase):
    def test_round_trip_and_case(self):
        values = {"IPAddress": "probe-host.tessaly.test", "Alert": 1009, "StartTray": 1,
                  "Packets": 7}
        text = settings_text(values)
        self.assertIn('IPAddress="probe-host.tessaly.test"\n', text)
        self.assertIn("Alert=1009\n", text)
        self.assertEqual(parse_settings(text),
                         {"ipaddress": "probe-host.tessaly.test", "alert": 1009,
                          "starttray": 1, "packets": 7})

    def test_typed_values_and_names_without_case(self):
        cases = [
            ("text", 'IPAddress="127.0.0.1"', {"ipaddress": "127.0.0.1"}),
            ("escaped text", r'IPAddress="a \"b\" \\c"', {"ipaddress": 'a "b" \\c'}),
            ("escapes of what a line cannot hold", r'IPAddress="a\nb\r\t\x01\x7f"',
             {"ipaddress": "a\nb\r\t\x01\x7f"}),
            ("an escape the file never writes", r'IPAddress="a\qb"',
             {"ipaddress": Unparsed(r'"a\qb"')}),
            ("negative integer", "Packets=-4", {"packets": -4}),
            # Text left bare is neither a text nor a number, so it matches neither.
            ("bare text", "IPAddress=127.0.0.1", {"ipaddress": Unparsed("127.0.0.1")}),
            ("quoted number is text", 'Alert="1011"', {"alert": "1011"}),
            ("other case", "ALERT=1011", {"alert": 1011}),
        ]
        for name, line, expected in cases:
            with self.subTest(name):
                self.assertEqual(parse_settings(f"[Dovrel]\n{line}\n[other]\nStartTray=9\n"),
                                 expected)

    def test_a_name_twice_is_a_fault_whatever_its_case(self):
        cases = [
            ("one section", "[dovrel]\nAlert=1011\nalert=1008\n"),
            ("two spellings of the section", "[dovrel]\nAlert=1011\n[Dovrel]\nALERT=1008\n"),
        ]
        for name, text in cases:
            with self.subTest(name), self.assertRaises(AssertionError):
                parse_settings(text)

    def test_other_sections_and_comments_are_ignored(self):
        text = "; kept by hand\n[other]\nAlert=1\n\n[DOVREL]\n# note\nPackets = 9\n"
        self.assertEqual(parse_settings(text), {"packets": 9})


class Summary(unittest.TestCase):
    """The runners' count: a test whose subtests fail counts once, and nothing goes negative."""

    def run_cases(self, case_class):
        result = unittest.TestResult()
        unittest.defaultTestLoader.loadTestsFromTestCase(case_class).run(result)
        printed = io.StringIO()
        with contextlib.redirect_stdout(printed), contextlib.redirect_stderr(io.StringIO()):
            code = summary(result, "suite")
        return code, printed.getvalue()

    def test_counts_each_test_once_whatever_its_subtests_did(self):
        class Cases(unittest.TestCase):
            def test_a_passes(self):
                pass

            def test_b_fails_three_subtests(self):
                for number in range(3):
                    with self.subTest(number=number):
                        self.fail("failed")

            def test_c_errs_in_a_subtest_and_fails_after(self):
                with self.subTest("first"):
                    raise RuntimeError("erred")
                self.fail("failed too")

            def test_d_skips(self):
                self.skipTest("not here")

            @unittest.expectedFailure
            def test_e_fails_as_expected(self):
                self.fail("known")

        code, printed = self.run_cases(Cases)
        self.assertEqual(code, 1)
        self.assertIn("suite: 1 passed, 2 failed, 1 skipped, 1 expected failures\n", printed)
        failed = [line.rsplit(".", 1)[-1] for line in printed.splitlines()
                  if line.startswith("FAILED ")]
        self.assertEqual(failed, ["test_b_fails_three_subtests",
                                  "test_c_errs_in_a_subtest_and_fails_after"])

    def test_all_passed_is_success_and_nothing_run_is_not(self):
        class Passing(unittest.TestCase):
            def test_passes_with_subtests(self):
                for number in range(2):
                    with self.subTest(number=number):
                        self.assertTrue(True)

        class Empty(unittest.TestCase):
            pass

        self.assertEqual(self.run_cases(Passing), (0, "suite: 1 passed, 0 failed, 0 skipped\n"))
        self.assertEqual(self.run_cases(Empty)[0], 1)


def needs_root(case):
    return unittest.skipUnless(os.geteuid() == 0, "needs root for namespaces")(case)


@needs_root
class Namespaces(unittest.TestCase):
    def fping(self, network, address):
        return network.run_in_client("fping", "-c1", "-t500", address).returncode

    def test_client_reaches_the_host_names_resolve_and_outages_work(self):
        network = TestNetwork("hn", with_host=True,
                              hosts=[(TestNetwork.HOST_ADDRESS, "probe-host.tessaly.test")])
        network.start()
        self.addCleanup(resources.release, network)

        lookup = network.run_in_client("getent", "hosts", "probe-host.tessaly.test")
        self.assertEqual(lookup.stdout.split(), [TestNetwork.HOST_ADDRESS, "probe-host.tessaly.test"])
        reverse = network.run_in_client("getent", "hosts", TestNetwork.HOST_ADDRESS)
        self.assertIn("probe-host.tessaly.test", reverse.stdout.split())

        routes = network.run_in_client("ip", "route", "show").stdout
        self.assertNotIn("default", routes)
        self.assertIn("unreachable 10.200.0.0/16", routes)

        self.assertEqual(self.fping(network, TestNetwork.HOST_ADDRESS), 0)
        self.assertEqual(self.fping(network, "127.0.0.1"), 0)
        network.host_drops_echoes(True)
        self.assertNotEqual(self.fping(network, TestNetwork.HOST_ADDRESS), 0)
        network.host_drops_echoes(False)
        self.assertEqual(self.fping(network, TestNetwork.HOST_ADDRESS), 0)
        network.host_link_up(False)
        self.assertNotEqual(self.fping(network, TestNetwork.HOST_ADDRESS), 0)
        network.host_link_up(True)

    def test_close_removes_namespaces_links_and_files(self):
        network = TestNetwork("hc", with_host=True)
        network.start()
        self.assertTrue(namespace_exists(network.client) and namespace_exists(network.host))
        resources.release(network)
        self.assertFalse(namespace_exists(network.client))
        self.assertFalse(namespace_exists(network.host))
        self.assertFalse((NETNS_ETC / network.client).exists())
        links = subprocess.run(["ip", "link", "show"], capture_output=True, text=True).stdout
        self.assertNotIn(network.client_link, links)


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("trayer"), "needs Xvfb and trayer")
class Display(unittest.TestCase):
    def test_tray_host_comes_up_and_everything_goes_away(self):
        folder = Path(tempfile.mkdtemp(prefix="tessaly-e2e-display-"))
        self.addCleanup(shutil.rmtree, folder)
        session = XSession(folder)
        session.start()
        self.addCleanup(resources.release, session)
        socket = Path(f"/tmp/.X11-unix/X{session.display[1:]}")
        self.assertTrue(socket.exists())
        self.assertIsNotNone(session.tray_panel())
        shot = session.screenshot("empty")
        self.assertEqual(icon_colours(read_region(shot, Region(0, 0, 64, 64))).state, "none")
        resources.release(session)
        self.assertFalse(socket.exists())

    @needs_root
    def test_display_is_reachable_from_inside_a_namespace(self):
        folder = Path(tempfile.mkdtemp(prefix="tessaly-e2e-display-"))
        self.addCleanup(shutil.rmtree, folder)
        session = XSession(folder).start()
        self.addCleanup(resources.release, session)
        network = TestNetwork("hx", with_host=False).start()
        self.addCleanup(resources.release, network)
        answer = subprocess.run([*network.exec_prefix(), "xdpyinfo"], env=session.env(),
                                capture_output=True, text=True, timeout=30)
        self.assertEqual(answer.returncode, 0, answer.stderr)
        self.assertIn(f"name of display:    {session.display}", answer.stdout)
