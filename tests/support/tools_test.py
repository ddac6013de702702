#!/usr/bin/env python3
"""Checks of the pty pair and the device simulator, without Wine."""

import errno
import os
import select
import subprocess
import sys
import time
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
sys.path.insert(0, TOOLS)
import ptypair  # noqa: E402


def open_raw(path):
    return os.open(path, os.O_RDWR | os.O_NOCTTY)


def read_exactly(fd, n, timeout=10):
    got = bytearray()
    deadline = time.monotonic() + timeout
    while len(got) < n and time.monotonic() < deadline:
        r, _, _ = select.select([fd], [], [], 0.1)
        if r:
            got += os.read(fd, 65536)
    return bytes(got)


class PtyPairTest(unittest.TestCase):
    def test_every_byte_value_passes_both_ways_unchanged(self):
        data = bytes(range(256)) * 64
        with ptypair.open_pair() as pair:
            a, b = open_raw(pair.path_a), open_raw(pair.path_b)
            os.write(a, data)
            self.assertEqual(read_exactly(b, len(data)), data)
            os.write(b, b"\r\n\x03\x11\x13\x7f")
            self.assertEqual(read_exactly(a, 6), b"\r\n\x03\x11\x13\x7f")
            os.close(a)
            os.close(b)

    def test_hung_up_end_reads_end_of_file(self):
        with ptypair.open_pair() as pair:
            b = open_raw(pair.path_b)
            os.set_blocking(b, False)
            pair.hang_up("b")
            select.select([b], [], [], 5)
            try:
                self.assertEqual(os.read(b, 10), b"")
            except BlockingIOError:
                self.fail("no hang-up seen")
            except OSError as e:
                self.assertEqual(e.errno, errno.EIO)  # the other way a pty reports it
            os.close(b)


class DevSimTest(unittest.TestCase):
    def run_host(self, pair, seconds, *extra):
        return subprocess.run([sys.executable, os.path.join(TOOLS, "devsim.py"), "--port", pair.path_a,
                               "--role", "host", "--seconds", str(seconds), "--verify", *extra],
                              capture_output=True, text=True, timeout=60)

    def test_host_and_instrument_agree_on_every_exchange(self):
        with ptypair.open_pair() as pair:
            inst = subprocess.Popen([sys.executable, os.path.join(TOOLS, "devsim.py"), "--port", pair.path_b,
                                     "--role", "instrument", "--verify"], stderr=subprocess.PIPE, text=True)
            host = self.run_host(pair, 4, "--seed", "5")
            inst.terminate()
            _, inst_err = inst.communicate(timeout=10)
        self.assertEqual(host.returncode, 0, host.stderr)
        self.assertIn(" 0 errors", host.stderr)
        self.assertEqual(inst.returncode, 0, inst_err)
        self.assertRegex(inst_err, r"instrument: [1-9]\d* exchanges")

    def test_host_without_instrument_reports_failure(self):
        with ptypair.open_pair() as pair:
            host = self.run_host(pair, 1, "--reply-timeout", "0.2")
        self.assertEqual(host.returncode, 1)
        self.assertIn("expected 1 messages, got 0", host.stderr)


if __name__ == "__main__":
    unittest.main()
