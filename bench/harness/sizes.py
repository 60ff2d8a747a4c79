"""The Windows programs' file sizes, when they have been built."""

import os

from .context import Row

BUILDS = (("i686", "build-win32/Tessaly.exe"), ("x86_64", "build-win64/Tessaly.exe"))


def measure(root):
    rows = []
    for architecture, relative in BUILDS:
        path = os.path.join(root, relative)
        if os.path.exists(path):
            size = os.path.getsize(path)
            rows.append(Row(f"Windows program, {architecture}: {relative} (bytes)",
                            f"{size:,} ({size / 1024:.0f} KiB)"))
        else:
            rows.append(Row(f"Windows program, {architecture}: {relative}", "not built"))
    return rows
