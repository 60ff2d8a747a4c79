"""What a capture of the probes says about the program's rhythm and its failure threshold.

The threshold is checked by counting, not by clocks: the icon may only turn red once more
requests have gone unanswered than the threshold allows, and it must have turned red before the
request after the one that tipped it over (the down check runs at the top of the pass after
the failure that exceeds the threshold, before that pass's probe)."""

import statistics
from dataclasses import dataclass

from .capture import answered, echo_requests


@dataclass(frozen=True)
class Sample:
    """One look at the tray icon: the screenshot was taken between start and end."""

    start: float
    end: float
    state: str  # "up", "down" or "none"


@dataclass(frozen=True)
class Outage:
    unanswered: list  # the requests between the last answer before it and the first after it
    recovered_by: object  # the first answered request after them, or None


def outage(requests, packets, began):
    """The run of unanswered requests that an outage starting at `began` caused."""
    before = [r for r in requests if r.time < began and answered(r, packets)]
    start = requests.index(before[-1]) + 1 if before else 0
    unanswered = []
    for request in requests[start:]:
        if answered(request, packets):
            return Outage(unanswered, request)
        unanswered.append(request)
    return Outage(unanswered, None)


def threshold_problems(run, samples, threshold):
    """What is wrong with the moment the icon turned red, as a list of texts (empty: nothing).

    With threshold T, failures must exceed T: the (T+1)-th unanswered request must have been
    sent before the red icon shows.  The down check of the pass after that failure comes before
    the (T+2)-th request; so the first red screenshot ends before the (T+3)-th is sent, and at
    most T+2 requests can have gone out by then."""
    problems = []
    first_down = next((s for s in samples if s.state == "down"), None)
    if first_down is None:
        return ["the icon never showed red"]
    sent_before = sum(1 for r in run.unanswered if r.time < first_down.start)
    sent_by_end = sum(1 for r in run.unanswered if r.time < first_down.end)
    if sent_before < threshold + 1:
        problems.append(f"red after only {sent_before} unanswered requests; the threshold "
                        f"{threshold} allows red after {threshold + 1}")
    if sent_by_end > threshold + 2:
        problems.append(f"still not red after {sent_by_end} unanswered requests; with the "
                        f"threshold {threshold} it turns red before request {threshold + 2}")
    return problems


@dataclass(frozen=True)
class Gap:
    seconds: float
    after_answer: bool  # whether the request before the gap was answered


def gaps(requests, packets):
    return [Gap(later.time - earlier.time, answered(earlier, packets))
            for earlier, later in zip(requests, requests[1:])]


def sequence_problems(requests):
    """Each pass sends one request and the echo handle counts its sequence up by one."""
    problems = []
    identifiers = {r.identifier for r in requests}
    if len(identifiers) > 1:
        problems.append(f"requests under {len(identifiers)} identifiers: {sorted(identifiers)}")
    for earlier, later in zip(requests, requests[1:]):
        if (later.sequence - earlier.sequence) % 65536 != 1:
            problems.append(f"sequence {earlier.sequence} followed by {later.sequence}")
    return problems


def describe(values, unit="s"):
    """A figure for the report: count, minimum, mean and maximum."""
    if not values:
        return "none"
    return (f"n={len(values)} min={min(values):.3f}{unit} mean={statistics.fmean(values):.3f}{unit}"
            f" max={max(values):.3f}{unit}")


def requests_between(packets, destination, start, end):
    return [r for r in echo_requests(packets, destination) if start < r.time < end]
