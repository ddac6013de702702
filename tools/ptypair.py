#!/usr/bin/env python3
"""Two linked pseudo-terminals in raw mode, relayed both ways.

Each end is the slave side of its own pty; whatever one end is given comes out
of the other, byte for byte, like a null-modem cable. A Wine COM port mapped to
one end and a test talking on the other end form a serial line without
hardware. Ptys have no modem lines; only data passes.

Command line (relays until SIGTERM or SIGINT):
    ptypair.py [--link-a PATH] [--link-b PATH] [--paths-file FILE] [--trace]
prints {"a": "/dev/pts/N", "b": "/dev/pts/M"} on stdout (or writes it to FILE,
atomically, once both ends are ready).

As a module:
    with ptypair.open_pair() as pair:
        open(pair.path_a, ...) ...
        pair.hang_up("b")   # the device on end b goes away
"""

import argparse
import errno
import json
import os
import pty
import select
import signal
import sys
import termios
import threading
import tty

END_NAMES = ("a", "b")
# Bytes held for an end that nobody reads before its input is no longer taken.
MAX_PENDING = 1 << 20


def _make_raw(fd):
    """Raw, no echo, 8 data bits, reads return as soon as one byte is there."""
    tty.setraw(fd, termios.TCSANOW)
    attrs = termios.tcgetattr(fd)
    attrs[3] &= ~(termios.ECHO | termios.ECHONL | termios.ICANON | termios.ISIG | termios.IEXTEN)
    attrs[6][termios.VMIN] = 1
    attrs[6][termios.VTIME] = 0
    termios.tcsetattr(fd, termios.TCSANOW, attrs)


class _End:
    def __init__(self, name):
        self.name = name
        self.master, self.slave = pty.openpty()
        # Keeping our own slave descriptor open stops the master from seeing a
        # hang-up each time the program on this end closes and reopens it.
        _make_raw(self.slave)
        os.set_blocking(self.master, False)
        self.path = os.ttyname(self.slave)
        self.pending = bytearray()  # bytes still to be written into this end
        self.alive = True

    def close(self):
        if not self.alive:
            return
        self.alive = False
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass
        self.pending.clear()


class PtyPair:
    """Two raw ptys relayed to each other on a background thread."""

    def __init__(self, trace=None):
        self._ends = {n: _End(n) for n in END_NAMES}
        self._lock = threading.Lock()
        self._wake_r, self._wake_w = os.pipe()
        self._stopping = False
        self._trace = trace
        self.counts = {"a->b": 0, "b->a": 0}
        self._thread = threading.Thread(target=self._run, name="ptypair", daemon=True)
        self._thread.start()

    @property
    def path_a(self):
        return self._ends["a"].path

    @property
    def path_b(self):
        return self._ends["b"].path

    def paths(self):
        return {n: self._ends[n].path for n in END_NAMES}

    def hang_up(self, name):
        """Close one end for good: the program on it sees a hang-up, and what
        the other end sends from now on is dropped."""
        with self._lock:
            self._ends[name].close()
        self._wake()

    def close(self):
        with self._lock:
            self._stopping = True
        self._wake()
        self._thread.join(timeout=5)
        for end in self._ends.values():
            end.close()
        for fd in (self._wake_r, self._wake_w):
            try:
                os.close(fd)
            except OSError:
                pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _wake(self):
        try:
            os.write(self._wake_w, b"x")
        except OSError:
            pass

    def _other(self, end):
        return self._ends["b" if end.name == "a" else "a"]

    def _run(self):
        while True:
            with self._lock:
                if self._stopping:
                    return
                readers, writers = self._wanted()
            try:
                r, w, _ = select.select(readers + [self._wake_r], writers, [], 1.0)
            except (OSError, ValueError):
                continue  # an end was closed under us; ask again
            if self._wake_r in r:
                os.read(self._wake_r, 4096)
            with self._lock:
                for end in self._ends.values():
                    if end.alive and end.master in r:
                        self._pump_in(end)
                for end in self._ends.values():
                    if end.alive and end.master in w:
                        self._pump_out(end)

    def _wanted(self):
        readers, writers = [], []
        for end in self._ends.values():
            if not end.alive:
                continue
            other = self._other(end)
            # Stop taking input while the far end is this far behind, so a
            # silent reader slows the writer down instead of growing memory.
            if len(other.pending) < MAX_PENDING:
                readers.append(end.master)
            if end.pending:
                writers.append(end.master)
        return readers, writers

    def _pump_in(self, end):
        try:
            data = os.read(end.master, 65536)
        except BlockingIOError:
            return
        except OSError as e:
            if e.errno == errno.EIO:
                return  # no program has the slave open right now
            raise
        if not data:
            return
        other = self._other(end)
        key = "%s->%s" % (end.name, other.name)
        self.counts[key] += len(data)
        if self._trace:
            self._trace(key, data)
        if other.alive:
            other.pending += data
            self._pump_out(other)

    def _pump_out(self, end):
        if not end.pending:
            return
        try:
            n = os.write(end.master, end.pending)
        except BlockingIOError:
            return
        except OSError as e:
            if e.errno in (errno.EIO, errno.EAGAIN):
                return
            raise
        del end.pending[:n]


def open_pair(trace=None):
    """Two connected raw pty paths; see PtyPair."""
    return PtyPair(trace=trace)


def _trace_to_stderr(direction, data):
    sys.stderr.write("%s %s\n" % (direction, data.hex(" ")))
    sys.stderr.flush()


def _link(target, link):
    tmp = link + ".tmp%d" % os.getpid()
    try:
        os.unlink(tmp)
    except FileNotFoundError:
        pass
    os.symlink(target, tmp)
    os.replace(tmp, link)


def _write_atomically(path, text):
    tmp = path + ".tmp%d" % os.getpid()
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)


def main(argv=None):
    ap = argparse.ArgumentParser(description="Relay two linked raw pseudo-terminals.")
    ap.add_argument("--link-a", help="symlink to create for end a")
    ap.add_argument("--link-b", help="symlink to create for end b")
    ap.add_argument("--paths-file", help="write the JSON of both paths here instead of stdout")
    ap.add_argument("--trace", action="store_true", help="hex dump every relayed chunk on stderr")
    args = ap.parse_args(argv)

    pair = open_pair(trace=_trace_to_stderr if args.trace else None)
    links = []
    try:
        for name, link in (("a", args.link_a), ("b", args.link_b)):
            if link:
                _link(pair.paths()[name], link)
                links.append(link)
        text = json.dumps(pair.paths())
        if args.paths_file:
            _write_atomically(args.paths_file, text + "\n")
        else:
            print(text, flush=True)

        done = threading.Event()
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(sig, lambda *_: done.set())
        while not done.wait(0.5):
            pass
    finally:
        pair.close()
        for link in links:
            try:
                os.unlink(link)
            except OSError:
                pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
