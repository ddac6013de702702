#!/usr/bin/env python3
"""The modem lines of a virtual null-modem cable between the two ends of pty pairs.

Pseudo-terminals have no modem lines. For the project's own demo and tests a small
shared file (named by TAPLINAR_NULL_MODEM) holds, for each registered pty pair, the
RTS and DTR outputs of both ends; the library built from tools/nullmodem.c, preloaded
into Wine, answers Wine's modem ioctls from it, and devices written in Python set and
read their lines here. The wiring is a null-modem cable: an end's RTS is the other
end's CTS, its DTR the other end's DSR and DCD. Every end starts with its outputs off.
The cable carries breaks and line errors too: an end that sends a break or
injects an error raises the far end's count of it (TIOCGICOUNT, which Wine reads
to report EV_BREAK and EV_ERR); a break sends no byte. A break also notes how
many bytes its end had written by then, so the far device knows its place.
Real serial devices have lines of their own and never need any of this.

Command line:
    nullmodem.py connect STATE PATH_A PATH_B    register a pair (creates STATE)
    nullmodem.py env BUILD STATE A:B [C:D ...]  register pairs, print the export line
                                                that gives Wine processes their lines

As a module:
    lines = nullmodem.Lines(state_path, "/dev/pts/7")
    lines.set_rts(True); lines.cts(); lines.dsr()
    lines.send_break(0.02); lines.inject("frame"); lines.far_break()
"""

import fcntl
import os
import struct
import sys
import time

ENV = "TAPLINAR_NULL_MODEM"
MAGIC = 0x324D4E54
SLOTS = 16
HEADER = 32
END = 64
SIZE = HEADER + SLOTS * 2 * END
# Offsets within one end: device number, outputs, RTS and DTR change counts, then
# the far receiver's counts this end caused, the bytes it wrote, where its last
# break started (in those bytes), how long it lasted (us) and when it began.
RDEV, OUT, RTS_FLIPS, DTR_FLIPS = 0, 8, 12, 16
ERRORS = {"brk": 20, "frame": 24, "parity": 28, "overrun": 32, "buf_overrun": 36}
TX, BRK_TX, BRK_US, BRK_START = 40, 44, 48, 52
TX_BREAK = 0x10000
TIOCM_DTR, TIOCM_RTS, TIOCM_CTS, TIOCM_CAR, TIOCM_DSR = 0x002, 0x004, 0x020, 0x040, 0x100
LIBRARY = "libtapnullmodem.so"


def _open_state(path):
    """The state file, created empty when missing; answers (fd, mmap)."""
    import mmap
    fd = os.open(path, os.O_RDWR | os.O_CREAT, 0o644)
    fcntl.flock(fd, fcntl.LOCK_EX)
    try:
        if os.fstat(fd).st_size < SIZE:
            os.ftruncate(fd, SIZE)
            os.pwrite(fd, struct.pack("<II", MAGIC, SLOTS), 0)
    finally:
        fcntl.flock(fd, fcntl.LOCK_UN)
    return fd, mmap.mmap(fd, SIZE)


def _end_offset(slot, end):
    return HEADER + (slot * 2 + end) * END


def _rdev(path):
    return os.stat(path).st_rdev


def connect(state_path, path_a, path_b=None):
    """Registers the pty ends path_a and path_b as the two ends of one cable, with
    every output off; a slot that held either end before is taken over. Without
    path_b the far end is a device that only this module reaches (Lines with
    far=True), as when a test plays the device on the pty's master side."""
    fd, mem = _open_state(state_path)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX)
        chosen = None
        rdev_a = _rdev(path_a)
        rdev_b = _rdev(path_b) if path_b else None
        for slot in range(SLOTS):
            held = [struct.unpack_from("<Q", mem, _end_offset(slot, e))[0] for e in (0, 1)]
            if rdev_a in held or (rdev_b is not None and rdev_b in held):
                chosen = slot
                break
            if chosen is None and held == [0, 0]:
                chosen = slot
        if chosen is None:
            raise RuntimeError("no free slot in %s" % state_path)
        # A stand-in number no character device has.
        rdevs = (rdev_a, rdev_b if rdev_b is not None else 0xFFFFFFFF00000000 | chosen)
        for e in (0, 1):
            off = _end_offset(chosen, e)
            mem[off:off + END] = bytes(END)
            struct.pack_into("<Q", mem, off + RDEV, rdevs[e])
        return chosen
    finally:
        fcntl.flock(fd, fcntl.LOCK_UN)
        mem.close()
        os.close(fd)


def preload(build):
    """LD_PRELOAD value that gives each Wine process (32- or 64-bit) its library."""
    return os.path.join(os.path.abspath(build), "tools", "nullmodem", "$LIB", LIBRARY)


class Lines:
    """The lines of one registered pty end, as the device on it sees them (with
    far, those of the device at the other end of its cable)."""

    def __init__(self, state_path, tty_path, far=False):
        fd, self._mem = _open_state(state_path)
        os.close(fd)
        rdev = _rdev(tty_path)
        for slot in range(SLOTS):
            for e in (0, 1):
                if struct.unpack_from("<Q", self._mem, _end_offset(slot, e))[0] == rdev:
                    own = 1 - e if far else e
                    self._own = _end_offset(slot, own)
                    self._far = _end_offset(slot, 1 - own)
                    return
        raise LookupError("%s is not connected in %s" % (tty_path, state_path))

    def close(self):
        self._mem.close()

    def _word(self, off):
        return struct.unpack_from("<I", self._mem, off)[0]

    def _set(self, bit, flips, on):
        out = self._word(self._own + OUT)
        want = out | bit if on else out & ~bit
        if want == out:
            return
        struct.pack_into("<I", self._mem, self._own + OUT, want)
        struct.pack_into("<I", self._mem, self._own + flips, (self._word(self._own + flips) + 1) & 0xFFFFFFFF)

    def set_rts(self, on):
        self._set(TIOCM_RTS, RTS_FLIPS, on)

    def set_dtr(self, on):
        self._set(TIOCM_DTR, DTR_FLIPS, on)

    def rts(self):
        return bool(self._word(self._own + OUT) & TIOCM_RTS)

    def dtr(self):
        return bool(self._word(self._own + OUT) & TIOCM_DTR)

    def cts(self):
        return bool(self._word(self._far + OUT) & TIOCM_RTS)

    def dsr(self):
        return bool(self._word(self._far + OUT) & TIOCM_DTR)

    dcd = dsr

    def _bump(self, off, by=1):
        struct.pack_into("<I", self._mem, self._own + off, (self._word(self._own + off) + by) & 0xFFFFFFFF)

    def inject(self, kind):
        """The far receiver sees one error of kind: frame, parity, overrun or
        buf_overrun (its input buffer overflowed)."""
        self._bump(ERRORS[kind])

    def send_break(self, seconds):
        """Holds the transmit line in a break for seconds (no byte is sent)."""
        start = time.monotonic()
        struct.pack_into("<I", self._mem, self._own + BRK_TX, self._word(self._own + TX))
        struct.pack_into("<I", self._mem, self._own + OUT, self._word(self._own + OUT) | TX_BREAK)
        self._bump(ERRORS["brk"])
        time.sleep(seconds)
        struct.pack_into("<I", self._mem, self._own + OUT, self._word(self._own + OUT) & ~TX_BREAK)
        struct.pack_into("<I", self._mem, self._own + BRK_US, int((time.monotonic() - start) * 1e6))

    def note_sent(self, count):
        """Counts bytes the device wrote itself, for the place of its next break."""
        self._bump(TX, count)

    def far_break(self):
        """The far end's breaks as this device received them: (count, bytes the
        far end had written when the last one started, whether one is held now,
        length of the last one that ended in seconds)."""
        return (self._word(self._far + ERRORS["brk"]), self._word(self._far + BRK_TX),
                bool(self._word(self._far + OUT) & TX_BREAK), self._word(self._far + BRK_US) / 1e6)

    def wait(self, line, state, timeout):
        """Waits until line() (for example lines.cts) reads state; answers whether
        it did within timeout seconds. Looks every 0.1 ms, as a UART would."""
        deadline = time.monotonic() + timeout
        while line() != state:
            if time.monotonic() >= deadline:
                return False
            time.sleep(0.0001)
        return True


def main(argv):
    if len(argv) == 4 and argv[0] == "connect":
        print(connect(argv[1], argv[2], argv[3]))
        return 0
    if len(argv) >= 4 and argv[0] == "env" and all(":" in p for p in argv[3:]):
        for pair in argv[3:]:
            connect(argv[2], *pair.split(":", 1))
        # The loader puts its own folder name for $LIB, so it stays unexpanded here.
        print("export %s='%s' LD_PRELOAD='%s'" % (ENV, os.path.abspath(argv[2]), preload(argv[1])))
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
