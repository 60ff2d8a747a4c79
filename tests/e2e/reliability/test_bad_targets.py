"""Bad targets typed or pasted into the target box: a hundred kilobytes of text, control
characters, line breaks, non-ASCII UTF-8, format directives, a name longer than DNS allows, a
blank, nothing at all.  None may crash or hang the window: the worker must take the text (the
caption names it, and the failed lookup follows), Escape must still close the program with exit
code 0, the text must be saved as the box held it, and the next start must take it back.

Each case runs its own instance on a settings folder of its own, so that one crash cannot hide
the cases after it."""

from harness import resources
from harness.waiting import wait_until

from harness.capture import now
from harness.case import ReliabilityCase
from harness.settings import stored_text

PREFIX = "DovRel Tessaly -"
RESOLVING = "DovRel Tessaly - Trying to Resolve Addr"
BAD = "DovRel Tessaly - Bad IP/Host"
# A name that fails at once: the passes follow 50 ms apart, and an edit is taken at the next
# one instead of after the 10-second pause that follows a success.
START_TARGET = "start.tessaly.test"
HUNDRED_KB = ("tessaly-" * 12800)[:102400]
# An edit box without a limit of its own takes this many characters, on Windows as in Qt.
EDIT_BOX_LIMIT = 32767
LONG_NAME = ".".join(["a" * 63] * 5)  # 319 characters: over DNS's 253, labels at its 63
# An empty caption text, told apart from "no caption yet".
EMPTY = "\0empty"


def shorten(text):
    return repr(text) if len(text) <= 60 else f"{text[:40]!r}... ({len(text)} characters)"


class BadTargets(ReliabilityCase):
    def test_bad_targets_never_crash_or_hang_the_window(self):
        session = self.x_session()
        network = self.network("b")
        cases = [
            # name, how it goes into the box, the text, what the box must hold (None: whatever
            # it makes of it, reported, as long as it is saved and taken back as it was)
            ("100 KB of text", "paste", HUNDRED_KB, HUNDRED_KB[:EDIT_BOX_LIMIT]),
            ("control characters", "paste", "ctl\x01\x02\x07\x08\x1b\x7f-end", None),
            ("line breaks and tabs", "paste", "line\nbreak\ttab\rreturn", None),
            ("non-ASCII UTF-8 pasted", "paste", "ελληνικά-🛰-Ωmega-日本語.tessaly.test",
             "ελληνικά-🛰-Ωmega-日本語.tessaly.test"),
            # xdotool types characters off the keymap through a keycode that it remaps for
            # each one, and may lose one in the race: only what the box made of it counts.
            ("non-ASCII UTF-8 typed", "type", "café-ünïcödé.tessaly.test", None),
            ("format directives", "type", "%s%n%x%08x%p", "%s%n%x%08x%p"),
            ("a name longer than DNS allows", "paste", LONG_NAME, LONG_NAME),
            ("a blank", "type", " ", " "),
            ("nothing", "erase", "", ""),
        ]
        for number, (name, how, text, expected) in enumerate(cases):
            with self.subTest(name):
                recorder = self.recorder(session, f"captions-{number}")
                try:
                    self.run_case(session, network, recorder, number, name, how, text, expected)
                finally:
                    # A long caption, cycling, fills the record by megabytes a second.
                    resources.release(recorder)

    def run_case(self, session, network, recorder, number, name, how, text, expected):
        home = self.scratch_folder("tessaly-rel-bad-")
        app = self.tessaly(session, network, {"IPAddress": START_TARGET}, f"bad-{number}",
                            config_home=home)
        window = app.main_window()
        recorder.wait_for(window, lambda texts: BAD in texts, "the starting name to fail")
        entered = now()
        done = [entered]  # the worker may take a typed text half-way: what counts comes after

        def taken():
            """The text that the worker took from the box after the input, once it has."""
            for caption in recorder.texts(window, since=done[0]):
                if caption.startswith(PREFIX) and caption not in (PREFIX + START_TARGET,
                                                                  RESOLVING, BAD):
                    return caption[len(PREFIX):] or EMPTY
            return None

        if how == "paste":
            app.paste_target(text, taken, f"the pasted {name} to reach the worker")
        elif how == "type":
            app.type_target(text)
            done[0] = now()
        else:
            app.session.press_key(window, "ctrl+a")
            app.session.press_key(window, "BackSpace")
        held = wait_until(taken, f"the worker to take the {name}")
        held = "" if held == EMPTY else held
        reached = now() - entered
        session.screenshot(f"bad-{number}-taken")
        if expected is not None:
            self.assertEqual(held, expected, f"the box made {shorten(held)} of {shorten(text)}")
        # The pass goes on to the lookup and its failure: the worker lived through the text.
        recorder.wait_for(window, lambda texts: PREFIX + held in texts
                          and BAD in texts[texts.index(PREFIX + held):],
                          f"the lookup of the {name} to fail", since=entered)
        code, seconds = app.close_with_escape()
        self.assertEqual(code, 0)
        self.assertEqual(stored_text(app.settings_path.read_bytes(), "dovrel", "IPAddress"), held)
        self.figure(f"{name}: input to the worker's caption, Escape to exit",
                    f"{reached:.2f}s, {seconds * 1000:.0f} ms")
        if expected is None:
            self.figure(f"{name}: the box held", shorten(held))

        again = self.tessaly(session, network, label=f"bad-{number}-again", config_home=home)
        recorder.wait_for(again.main_window(), lambda texts: PREFIX + held in texts,
                          f"the next start to take the saved {name} back")
        self.assertEqual(again.close_with_escape()[0], 0)
