#!/usr/bin/env python3
"""Takes the README's pictures of the Windows program under wine64 (root, like the tests).

  tests/win32/take_screenshots.py --program build-win64/Tessaly.exe \\
      --probe build-win64/tests/win32/wine_probe.exe --out docs

Writes wine-main-window.png (a small Wine desktop: the main window probing 127.0.0.1 and the
taskbar with the green tray icon) and wine-options-dialog.png (the options dialog alone). The
program runs as in the end-to-end tests: a fresh prefix with Wine's own fonts, in a network
namespace whose only interface is loopback, on an Xvfb of its own (isolated_run.py).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_e2e as e2e  # noqa: E402  (beside this file)

# Room for the main window and the options dialog over it, and the taskbar.
SMALL_SCREEN = (400, 300)
TRAY_WIDTH, TASKBAR_HEIGHT = 120, 28


def wine_desktop_geometry(desktop):
    """Where the Wine desktop's X window sits on the X screen: x, y, width, height."""
    found = subprocess.run(["xdotool", "search", "--name", " - Wine desktop$"], env=desktop.env,
                           capture_output=True, text=True).stdout.split()
    e2e.check(found, "no Wine desktop window")
    shown = subprocess.run(["xdotool", "getwindowgeometry", "--shell", found[0]],
                           env=desktop.env, capture_output=True, text=True).stdout
    fields = dict(line.split("=", 1) for line in shown.split() if "=" in line)
    return tuple(int(fields[name]) for name in ("X", "Y", "WIDTH", "HEIGHT"))


def crop(source, region, target):
    x, y, width, height = region
    subprocess.run([e2e.CONVERT, source, "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                    "+repage", "-strip", target], check=True)


def window_region(desktop, caption, origin):
    code, texts = desktop.probe("rect", caption)
    e2e.check(code == 0 and len(texts) == 1, "no window %r" % caption)
    left, top, right, bottom = (int(value) for value in texts[0].split())
    return (origin[0] + left, origin[1] + top, right - left, bottom - top)


def take(desktop, program, out):
    desktop.forget_settings()
    desktop.start_program(program)
    desktop.wait_window(e2e.MAIN_CAPTION)
    # The window came up before the keyboard reached Wine's desktop, and Wine draws it as
    # inactive until it is activated again: the about box and back.
    desktop.keys(e2e.MAIN_CAPTION, "Return")
    desktop.wait_window(e2e.ABOUT_CAPTION)
    desktop.keys(e2e.ABOUT_CAPTION, "Escape")
    desktop.wait_gone(e2e.ABOUT_CAPTION)
    x, y, width, height = wine_desktop_geometry(desktop)
    tray = (x + width - TRAY_WIDTH, y + height - TASKBAR_HEIGHT, TRAY_WIDTH, TASKBAR_HEIGHT)
    shot = None
    for _ in range(120):
        shot = desktop.screenshot("docs-main-window")
        if desktop.count_colour(shot, e2e.GREEN, tray) > 0:
            break
        time.sleep(0.5)
    e2e.check(desktop.count_colour(shot, e2e.GREEN, tray) > 0, "the tray never turned green")
    crop(shot, (x, y, width, height), os.path.join(out, "wine-main-window.png"))

    e2e.open_options(desktop)
    shot = desktop.screenshot("docs-options")
    crop(shot, window_region(desktop, e2e.OPTIONS_CAPTION, (x, y)),
         os.path.join(out, "wine-options-dialog.png"))
    desktop.keys(e2e.OPTIONS_CAPTION, "Escape")
    desktop.wait_gone(e2e.OPTIONS_CAPTION)
    e2e.close_main_window(desktop)


def run(args):
    workdir = tempfile.mkdtemp(prefix="%s%d-" % (e2e.WORKDIR_PREFIX, os.getpid()))
    desktop = e2e.Desktop(workdir, workdir, args.probe, screen=SMALL_SCREEN)
    try:
        desktop.start()
        take(desktop, args.program, args.out)
    finally:
        desktop.stop()
        shutil.rmtree(workdir, ignore_errors=True)
    print("wrote %s" % ", ".join(os.path.join(args.out, name) for name in
                                 ("wine-main-window.png", "wine-options-dialog.png")))
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, help="Tessaly.exe, the x86_64 build")
    parser.add_argument("--probe", required=True, help="wine_probe.exe")
    parser.add_argument("--out", required=True, help="where the pictures go")
    args = parser.parse_args()
    if os.environ.get("TESSALY_ISOLATED") == "1":
        return run(args)
    missing = e2e.missing_tools()
    if missing:
        print("missing %s" % ", ".join(missing))
        return e2e.SKIP
    os.makedirs(args.out, exist_ok=True)
    isolated = os.path.join(os.path.dirname(os.path.abspath(__file__)), "isolated_run.py")
    return subprocess.run([sys.executable, isolated, "--display", "--", sys.executable,
                           os.path.abspath(__file__), "--program", os.path.abspath(args.program),
                           "--probe", os.path.abspath(args.probe), "--out",
                           os.path.abspath(args.out)]).returncode


if __name__ == "__main__":
    sys.exit(main())
