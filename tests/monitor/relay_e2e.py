#!/usr/bin/env python3
"""End to end: two Wine COM ports on pty pairs, a relaying pair between them,
the two devices played from here. 1 MiB goes each way at the same time and
must arrive complete, in order and without duplicates; every byte must also
have been reported to the listener.

usage: relay_e2e.py BUILD HOST_EXE [SIZE]
"""
import os
import random
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "host"))
import relay_rig  # noqa: E402

SIZE = 1 << 20
# One byte per pass costs about 68 us of device calls under Wine, and both
# directions share two busy cores: allow well under 1 KB/s.
DEADLINE = 1000
# Once everything arrived, a further byte (a duplicate) is waited for this long.
QUIET = 5


def pattern(seed, size):
    # Every byte value, also XON/XOFF and NUL, in a sequence whose every
    # position is recognisable: reordering or duplication shows as a mismatch.
    rnd = random.Random(seed)
    return rnd.randbytes(size)


def first_difference(sent, got):
    for i, (a, b) in enumerate(zip(sent, got)):
        if a != b:
            return i
    return min(len(sent), len(got))


def main():
    build, host_exe = sys.argv[1], sys.argv[2]
    size = int(sys.argv[3]) if len(sys.argv) > 3 else SIZE
    pair = relay_rig.WinePair(build, host_exe)
    failures = []
    try:
        pair.map_ports()
        pair.start()
        dev1, dev2 = pair.devices
        data = {0: pattern(1, size), 1: pattern(2, size)}
        received = {}
        written = {}
        deadline = time.monotonic() + DEADLINE

        def send(i, dev):
            written[i] = relay_rig.write_all(dev.master, data[i], deadline)

        def receive(i, dev):
            # A little more than was sent, so that duplicates are seen too.
            received[i] = relay_rig.read_count(dev.master, size + 1, deadline, quiet=QUIET)

        threads = [threading.Thread(target=send, args=(0, dev1)),
                   threading.Thread(target=send, args=(1, dev2)),
                   threading.Thread(target=receive, args=(0, dev2)),
                   threading.Thread(target=receive, args=(1, dev1))]
        start = time.monotonic()
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        elapsed = time.monotonic() - start
        out = pair.stop()

        for i, name in ((0, "port1 -> port2"), (1, "port2 -> port1")):
            got = received.get(i, b"")
            print("%s: wrote %d, received %d in %.1f s" % (name, written.get(i, 0), len(got), elapsed))
            if written.get(i) != size:
                failures.append("%s: only %d bytes could be written" % (name, written.get(i, 0)))
            if got != data[i]:
                failures.append("%s: %d bytes received, first difference at %d"
                                % (name, len(got), first_difference(data[i], got)))
        print(out.strip())
        reported = [line for line in out.splitlines() if line.startswith("reported ")]
        if reported != ["reported %d %d" % (size, size)]:
            failures.append("listener saw %r, expected %d bytes per port" % (reported, size))
        if "closed" not in out.split():
            failures.append("relay host did not shut down cleanly")
    finally:
        pair.close()
        pair.unmap_ports()

    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
