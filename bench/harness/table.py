"""The result table, as Markdown, with the machine and its load."""

import os
import platform
import subprocess
import time


def machine_text():
    cpu = "unknown processor"
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    try:
        debian = open("/etc/debian_version").read().strip()
    except OSError:
        debian = "?"
    qt = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "qt6-base-dev"],
                        capture_output=True, text=True).stdout or "?"
    return (f"{os.cpu_count()} × {cpu}; Linux {platform.release()}; Debian {debian}; "
            f"Qt {qt}; Xvfb with trayer")


def markdown(rows, load_before, load_after, started):
    lines = [
        f"Run of {time.strftime('%Y-%m-%d %H:%M', time.localtime(started))}, "
        f"{(time.time() - started) / 60:.1f} min. Machine: {machine_text()}.",
        f"Load average (1, 5, 15 min) at the start: {load_before}; at the end: {load_after}.",
        "Figures: median [least–greatest] over the runs.",
        "",
        "| measure | Tessaly | beside it | ratio / difference | goal | outcome |",
        "|---|---|---|---|---|---|",
    ]
    for row in rows:
        lines.append(f"| {row.measure} | {row.ours} | {row.theirs} | {row.relation} | {row.goal} "
                     f"| {row.verdict} |")
    return "\n".join(lines) + "\n"
