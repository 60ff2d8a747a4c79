"""What the kernel says about a running process: memory, CPU time and context switches, for the
process and for each of its threads."""

import os
from dataclasses import dataclass

TICKS = os.sysconf("SC_CLK_TCK")


def _fields(path):
    values = {}
    with open(path) as text:
        for line in text:
            name, _, value = line.partition(":")
            values[name.strip()] = value.strip()
    return values


def _kilobytes(value):
    return int(value.split()[0])


@dataclass
class Memory:
    resident_kb: int  # VmRSS
    private_kb: int  # Private_Clean + Private_Dirty
    proportional_kb: int  # Pss


def memory(pid):
    status = _fields(f"/proc/{pid}/status")
    rollup = _fields(f"/proc/{pid}/smaps_rollup")
    return Memory(_kilobytes(status["VmRSS"]),
                  _kilobytes(rollup["Private_Clean"]) + _kilobytes(rollup["Private_Dirty"]),
                  _kilobytes(rollup["Pss"]))


@dataclass
class ThreadFigures:
    name: str
    voluntary: int
    involuntary: int
    runtime_ns: int  # time on a CPU, from schedstat: finer than the clock ticks of utime/stime


def threads(pid):
    """Figures of every thread alive now, by thread id."""
    figures = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            status = _fields(f"/proc/{pid}/task/{tid}/status")
            with open(f"/proc/{pid}/task/{tid}/schedstat") as schedstat:
                runtime = int(schedstat.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            continue  # it ended while we looked
        figures[int(tid)] = ThreadFigures(status["Name"], int(status["voluntary_ctxt_switches"]),
                                          int(status["nonvoluntary_ctxt_switches"]), runtime)
    return figures


def cpu_ms(pid):
    """utime + stime of the whole process, ended threads included (clock ticks, in ms)."""
    with open(f"/proc/{pid}/stat") as stat:
        after_name = stat.read().rpartition(")")[2].split()
    utime, stime = int(after_name[11]), int(after_name[12])
    return (utime + stime) * 1000.0 / TICKS


@dataclass
class Sample:
    cpu_ms: float
    threads: dict


def sample(pid):
    return Sample(cpu_ms(pid), threads(pid))


@dataclass
class Interval:
    cpu_ms: float  # utime + stime, whole process
    runtime_ms: float  # schedstat, threads alive at both ends
    voluntary: int
    involuntary: int
    per_thread: list  # (name, tid, voluntary, involuntary, runtime_ms) of each thread
    threads_started: int  # threads alive at the end that were not at the start
    threads_ended: int


def interval(before, after):
    """What happened between two samples. Switches and run time of a thread that both began and
    ended between them are not seen here: `threads_started` and `threads_ended` say whether any
    came and went."""
    per_thread = []
    for tid, end in sorted(after.threads.items()):
        start = before.threads.get(tid, ThreadFigures(end.name, 0, 0, 0))
        per_thread.append((end.name, tid, end.voluntary - start.voluntary,
                           end.involuntary - start.involuntary,
                           (end.runtime_ns - start.runtime_ns) / 1e6))
    return Interval(
        after.cpu_ms - before.cpu_ms,
        sum(row[4] for row in per_thread),
        sum(row[2] for row in per_thread),
        sum(row[3] for row in per_thread),
        per_thread,
        len(set(after.threads) - set(before.threads)),
        len(set(before.threads) - set(after.threads)))


def private_by_mapping(pid):
    """Private kB (clean + dirty) of each kind of mapping: the file's base name, or the kernel's
    name for anonymous memory ([heap], [stack], or [anon] for the rest: thread stacks and
    malloc arenas among them)."""
    totals = {}
    current = None
    with open(f"/proc/{pid}/smaps") as smaps:
        for line in smaps:
            words = line.split()
            if not words:
                continue
            if "-" in words[0] and not words[0].endswith(":"):
                path = words[5] if len(words) > 5 else "[anon]"
                current = os.path.basename(path) if path.startswith("/") else path
                totals.setdefault(current, 0)
            elif words[0] in ("Private_Clean:", "Private_Dirty:") and current is not None:
                totals[current] += int(words[1])
    return totals


def mapping_difference_lines(ours, theirs, limit=12):
    """The mappings where the first process holds the most private memory beyond the second."""
    names = set(ours) | set(theirs)
    rows = sorted(((ours.get(n, 0) - theirs.get(n, 0), n) for n in names), reverse=True)
    lines = [f"    {name:<32} {ours.get(name, 0):>7} kB vs {theirs.get(name, 0):>7} kB "
             f"({extra:+} kB)" for extra, name in rows[:limit] if extra != 0]
    lines.append(f"    total private: {sum(ours.values())} kB vs {sum(theirs.values())} kB")
    return lines
