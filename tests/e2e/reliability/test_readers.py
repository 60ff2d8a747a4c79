"""The readers and fixtures that the reliability tests rely on, tested alone: a reader that
misreads a capture or a caption record, or a path of routers that lets the time-to-live last
longer than it should, would make every test built on it wrong."""

import os
import shutil
import struct
import subprocess
import unittest

from harness import resources

from harness import rhythm
from harness.capture import (ECHO_REPLY, ECHO_REQUEST, TIME_EXCEEDED, Icmp, Udp, answered,
                             decode)
from harness.captions import (BAD, RESOLVING, Caption, cycle_of, cycle_problems,
                              lookup_durations, parse_lines, without_repeats)
from harness.settings import stored_text, unescape
from harness.topology import Chain

CLIENT, HOST, ROUTER = "10.200.1.1", "10.200.1.2", "10.200.6.2"


def ip_packet(source, destination, ttl, payload, protocol=1):
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(payload), 0, 0, ttl, protocol, 0,
                         bytes(map(int, source.split("."))),
                         bytes(map(int, destination.split("."))))
    return header + payload


def echo(kind, identifier, sequence, data=b""):
    return struct.pack("!BBHHH", kind, 0, 0, identifier, sequence) + data


def pcap(frames, link_type=1, magic=0xA1B2C3D4):
    """A pcap file of (seconds, frame bytes), little-endian, stamped in microseconds."""
    out = struct.pack("<IHHiIII", magic, 2, 4, 0, 0, 65535, link_type)
    for seconds, frame in frames:
        whole, fraction = divmod(round(seconds * 1e6), 1_000_000)
        out += struct.pack("<IIII", whole, fraction, len(frame), len(frame)) + frame
    return out


def ethernet(ip):
    return b"\x00" * 12 + b"\x08\x00" + ip


class CaptureDecoding(unittest.TestCase):
    def test_echo_and_error_messages_are_read_with_their_fields(self):
        request = ip_packet(CLIENT, HOST, 6, echo(ECHO_REQUEST, 0x1234, 7))
        reply = ip_packet(HOST, CLIENT, 64, echo(ECHO_REPLY, 0x1234, 7, b"abc"))
        refusal = ip_packet(ROUTER, CLIENT, 64, struct.pack("!BBHI", TIME_EXCEEDED, 0, 0, 0)
                            + ip_packet(CLIENT, HOST, 1, echo(ECHO_REQUEST, 0x1234, 8))[:28])
        query = ip_packet(CLIENT, "10.200.53.53", 64, struct.pack("!HHHH", 40000, 53, 8, 0), 17)
        packets = decode(pcap([(10.5, ethernet(request)), (10.75, ethernet(reply)),
                               (11.0, ethernet(refusal)), (12.0, ethernet(query))]))
        self.assertEqual(packets, [
            Icmp(10.5, CLIENT, HOST, 6, ECHO_REQUEST, 0, 0x1234, 7, 0),
            Icmp(10.75, HOST, CLIENT, 64, ECHO_REPLY, 0, 0x1234, 7, 3),
            Icmp(11.0, ROUTER, CLIENT, 64, TIME_EXCEEDED, 0, 0x1234, 8, 0, HOST),
            Udp(12.0, CLIENT, "10.200.53.53", 40000, 53),
        ])

    def test_other_frames_and_a_cut_last_record_are_left_out(self):
        request = ethernet(ip_packet(CLIENT, HOST, 6, echo(ECHO_REQUEST, 1, 1)))
        arp = b"\x00" * 12 + b"\x08\x06" + b"\x00" * 28
        data = pcap([(1.0, arp), (2.0, request), (3.0, request)])
        packets = decode(data[:-5])
        self.assertEqual([p.time for p in packets], [2.0])

    def test_nanosecond_stamps_and_cooked_frames(self):
        frame = b"\x00" * 14 + b"\x08\x00" + ip_packet(CLIENT, HOST, 6, echo(ECHO_REQUEST, 1, 1))
        data = bytearray(pcap([(2.0, frame)], link_type=113, magic=0xA1B23C4D))
        data[24 + 4:24 + 8] = struct.pack("<I", 250_000_000)  # the fraction in nanoseconds
        packet = decode(bytes(data))[0]
        self.assertEqual((packet.time, packet.destination), (2.25, HOST))

    def test_a_reply_answers_only_its_own_request(self):
        def message(kind, source, destination, sequence, time):
            return Icmp(time, source, destination, 64, kind, 0, 9, sequence)
        request = message(ECHO_REQUEST, CLIENT, HOST, 5, 1.0)
        cases = [
            ("its reply", message(ECHO_REPLY, HOST, CLIENT, 5, 1.1), True),
            ("another sequence", message(ECHO_REPLY, HOST, CLIENT, 6, 1.1), False),
            ("another source", message(ECHO_REPLY, ROUTER, CLIENT, 5, 1.1), False),
            ("a reply before it", message(ECHO_REPLY, HOST, CLIENT, 5, 0.9), False),
        ]
        for name, reply, expected in cases:
            with self.subTest(name):
                self.assertEqual(answered(request, [request, reply]), expected)


class ThresholdReading(unittest.TestCase):
    """Requests every 5 s from t=100, the first two answered; red samples as given."""

    def run_with_red_at(self, red_start, red_end, threshold=2):
        requests = [Icmp(100.0 + 5 * n, CLIENT, HOST, 6, ECHO_REQUEST, 0, 1, n) for n in range(9)]
        replies = [Icmp(r.time + 0.001, HOST, CLIENT, 64, ECHO_REPLY, 0, 1, r.sequence)
                   for r in requests[:2]]
        packets = requests + replies
        run = rhythm.outage(requests, packets, began=106.0)
        samples = [rhythm.Sample(106.0, 106.3, "up"), rhythm.Sample(red_start, red_end, "down")]
        return run, rhythm.threshold_problems(run, samples, threshold)

    def test_the_outage_is_the_run_of_unanswered_requests(self):
        run, _ = self.run_with_red_at(126.0, 126.3)
        self.assertEqual([r.sequence for r in run.unanswered], list(range(2, 9)))
        self.assertIsNone(run.recovered_by)

    def test_red_is_judged_by_the_requests_sent_around_it(self):
        # Unanswered requests go out at 110, 115, 120, 125, 130 ...; threshold 2.
        cases = [
            ("after the third failure, before the fourth probe", 124.9, 125.2, True),
            ("seen just after the fourth probe went out", 125.1, 125.4, True),
            ("after only two failures", 119.0, 119.3, False),
            ("a whole pass late", 130.1, 130.4, False),
        ]
        for name, start, end, good in cases:
            with self.subTest(name):
                _, problems = self.run_with_red_at(start, end)
                self.assertEqual(problems == [], good, problems)

    def test_no_red_at_all_is_a_problem(self):
        run, _ = self.run_with_red_at(126.0, 126.3)
        self.assertEqual(rhythm.threshold_problems(run, [rhythm.Sample(1, 2, "up")], 2),
                         ["the icon never showed red"])

    def test_sequence_gaps_and_identifier_changes_are_named(self):
        def request(identifier, sequence):
            return Icmp(0, CLIENT, HOST, 6, ECHO_REQUEST, 0, identifier, sequence)
        self.assertEqual(rhythm.sequence_problems([request(1, 65535), request(1, 0)]), [])
        self.assertEqual(len(rhythm.sequence_problems([request(1, 1), request(1, 3)])), 1)
        self.assertEqual(len(rhythm.sequence_problems([request(1, 1), request(2, 2)])), 1)
        self.assertEqual(len(rhythm.sequence_problems([request(1, 1), request(2, 5)])), 2)


class CaptionReading(unittest.TestCase):
    def test_recorder_lines_give_the_utf8_captions(self):
        lines = ["ready",
                 "1.5 0x400010 _NET_WM_NAME " + "Ωmega".encode().hex(),
                 "2.0 0x400010 _NET_WM_NAME -",
                 "2.5 0x400010 _NET_WM_NAME ff41",
                 "garbage"]
        self.assertEqual(parse_lines(lines), [Caption(1.5, "0x400010", "Ωmega"),
                                              Caption(2.0, "0x400010", ""),
                                              Caption(2.5, "0x400010", "\udcffA")])

    def test_repeats_fold_but_returns_stay(self):
        self.assertEqual(without_repeats(["a", "a", "b", "a"]), ["a", "b", "a"])

    def test_the_cycle_is_checked_from_its_first_caption(self):
        cycle = cycle_of("x.test")
        cases = [
            # name, captions, how many of them break the cycle
            ("two rounds and a start", ["DovRel  Tessaly"] + cycle * 2 + cycle[:1], 0),
            ("a round without its lookup", cycle + [cycle[0], BAD], 1),
            ("never the target", [RESOLVING, BAD], 1),
        ]
        for name, texts, expected in cases:
            with self.subTest(name):
                self.assertEqual(len(cycle_problems(texts, cycle)), expected)

    def test_lookup_durations_pair_each_wait_with_its_end(self):
        captions = [Caption(t, "0x1", text) for t, text in
                    [(1.0, "DovRel Tessaly -x"), (1.0, RESOLVING), (9.0, BAD), (9.1, RESOLVING),
                     (17.2, BAD), (17.3, RESOLVING)]]
        self.assertEqual([round(d, 3) for d in lookup_durations(captions)], [8.0, 8.1])


class StoredText(unittest.TestCase):
    def test_escapes_of_the_settings_file_are_undone(self):
        cases = [
            ('"plain"', "plain"),
            ('"a\\"b\\\\c"', 'a"b\\c'),
            ('"line\\nbreak\\ttab\\rret"', "line\nbreak\ttab\rret"),
            ('"ctl\\x01\\x1B\\x7f"', "ctl\x01\x1b\x7f"),
            ('""', ""),
            ("unquoted", None),
            ('"bad\\q"', None),
            ('"short\\x1"', None),
        ]
        for quoted, expected in cases:
            with self.subTest(quoted):
                self.assertEqual(unescape(quoted), expected)

    def test_the_value_is_found_in_its_section_in_any_letter_case(self):
        data = ('[other]\nIPAddress="no"\n[Dovrel]\r\nipaddress = "ελ\\x01"\r\n'.encode()
                + b"\xff\xfe\n")
        self.assertEqual(stored_text(data, "dovrel", "IPAddress"), "ελ\x01")
        self.assertIsNone(stored_text(data, "dovrel", "Alert"))


@unittest.skipUnless(os.geteuid() == 0 and shutil.which("fping"), "needs root and fping")
class RouterPath(unittest.TestCase):
    """The path of the time-to-live test: five routers let a time-to-live of 6 through, six
    answer it with time exceeded, and 7 gets through six."""

    def reaches(self, chain, ttl):
        result = subprocess.run(["ip", "netns", "exec", chain.client, "fping", "-c1", "-t2000",
                                 "-H", str(ttl), chain.host_address], capture_output=True,
                                text=True, timeout=30)
        return result.returncode == 0, result.stderr + result.stdout

    def test_time_to_live_runs_out_where_the_test_expects(self):
        cases = [(5, 6, True), (6, 6, False), (6, 7, True)]
        for routers, ttl, expected in cases:
            with self.subTest(routers=routers, ttl=ttl):
                chain = Chain(f"p{routers}{ttl}", routers).start()
                try:
                    reached, output = self.reaches(chain, ttl)
                    self.assertEqual(reached, expected, output)
                    if not expected:
                        self.assertIn(f"Time Exceeded from {chain.router_addresses(routers)[0]}",
                                      output)
                finally:
                    resources.release(chain)
