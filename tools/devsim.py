#!/usr/bin/env python3
"""A simulated serial device for demonstrations and end-to-end runs.

Two roles talk to each other across the tap, each on its own tty:
  host        sends commands and checks the replies,
  instrument  answers them, and now and then reports on its own.

The traffic mixes what a log should show well: short text commands, replies
in Shift-JIS Japanese, binary frames of up to a few hundred bytes (long
hexadecimal dumps), bursts of lines sent back to back, and pauses of various
lengths between exchanges (separate log blocks and time columns).

Handshake (with --lines, on a null-modem cable of tools/nullmodem.py): both raise
DTR at start; the instrument raises RTS when it is ready and drops it while it is
busy with a request; the host sends a request only while its CTS is on.

Breaks and line errors (with --lines): the instrument holds a break now and
then while idle, as a device resetting its link would (--breaks); the host
sends one request whose last byte comes with a framing error. Neither changes
a byte on the line, so --verify still holds.

Wire format: a text message is ASCII or Shift-JIS ending in CR LF; a binary
frame is STX, length (2 bytes, big endian), payload, sum of the payload bytes
modulo 256, ETX. Shift-JIS never contains STX or LF, so both kinds can share
the line.

    devsim.py --port /dev/pts/3 --role instrument --verify
    devsim.py --port /dev/pts/5 --role host --seconds 60 --verify
    devsim.py --port /dev/pts/3 --role instrument --lines /tmp/lines

With --verify the host checks every reply byte for byte and the instrument
checks that every request is well formed; the exit status is 1 when anything
was wrong. Both print a one-line summary on stderr at the end.
"""

import argparse
import errno
import os
import pathlib
import random
import select
import signal
import sys
import termios
import time
import tty

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import nullmodem  # noqa: E402

STX, ETX = 0x02, 0x03
CRLF = b"\r\n"
MAX_FRAME = 4096
ENCODING = "cp932"

JAPANESE_WORDS = ["測定開始", "測定終了", "校正中", "待機", "警告：過電流", "データ送信", "ｶﾅ半角テスト"]
BAUDS = {
    1200: termios.B1200, 2400: termios.B2400, 4800: termios.B4800, 9600: termios.B9600,
    19200: termios.B19200, 38400: termios.B38400, 57600: termios.B57600, 115200: termios.B115200,
}


# ---------------------------------------------------------------------------
# Messages

def text(s):
    return s.encode(ENCODING) + CRLF


def frame(payload):
    if len(payload) > MAX_FRAME:
        raise ValueError("frame too long")
    return (bytes([STX]) + len(payload).to_bytes(2, "big") + payload
            + bytes([sum(payload) & 0xFF, ETX]))


def block_data(block, length):
    """The bytes of one binary block: every value appears, none twice in a row."""
    return bytes(((block * 7 + i * 13) ^ (i >> 3)) & 0xFF for i in range(length))


def replies_for(request):
    """What the instrument answers to one request, as a list of messages.

    Both roles use it: the instrument to answer, the host to know what to
    expect. An empty list means the request was not understood."""
    if request.startswith(bytes([STX])):
        payload = request[3:-2]
        if len(payload) == 5 and payload[:1] == b"R":
            block = int.from_bytes(payload[1:3], "big")
            length = int.from_bytes(payload[3:5], "big")
            return [frame(b"D" + payload[1:3] + block_data(block, length))]
        return []
    if not request.endswith(CRLF):
        return []
    try:
        line = request[:-2].decode(ENCODING)
    except UnicodeDecodeError:
        return []
    if line == "*IDN?":
        return [text("TAPLINAR-SIM,INSTRUMENT,SN0001,1.00")]
    if line.startswith("MEAS? CH"):
        ch = int(line[8:])
        return [text("CH%d=%+.4fV" % (ch, ((ch * 37) % 1000) / 250.0 - 2.0))]
    if line.startswith("STAT? "):
        n = int(line[6:])
        return [text("状態：正常　温度＝%d.%d℃" % (20 + n % 10, n % 7))]
    if line.startswith("MSG "):
        return [text("了解：" + line[4:])]
    if line.startswith("BURST "):
        k = int(line[6:])
        rows = [text("DATA %03d,%d,%d,%d" % (i, i * 3, i * i % 97, (i * 11) % 256)) for i in range(k)]
        return rows + [text("END")]
    return []


def is_event(message):
    return message.startswith(b"EVT ")


def well_formed(message):
    """A request the instrument understands."""
    try:
        return bool(replies_for(message))
    except ValueError:
        return False


def make_request(rng, seq):
    kind = rng.choices(["idn", "meas", "stat", "msg", "read", "burst"], [1, 3, 2, 2, 3, 1])[0]
    if kind == "idn":
        return text("*IDN?")
    if kind == "meas":
        return text("MEAS? CH%d" % rng.randint(1, 8))
    if kind == "stat":
        return text("STAT? %d" % seq)
    if kind == "msg":
        return text("MSG " + rng.choice(JAPANESE_WORDS))
    if kind == "read":
        length = rng.choice([8, 16, 24, 40, 100, 256, 300])
        return frame(b"R" + (seq & 0xFFFF).to_bytes(2, "big") + length.to_bytes(2, "big"))
    return text("BURST %d" % rng.randint(5, 40))


def pause_after(rng):
    """Seconds of silence after an exchange: some shorter than the log's
    block timer, most long enough for a new block, a few long."""
    r = rng.random()
    if r < 0.3:
        return rng.uniform(0.01, 0.06)
    if r < 0.85:
        return rng.uniform(0.2, 0.8)
    return rng.uniform(1.0, 2.5)


# ---------------------------------------------------------------------------
# The line

class Line:
    """One raw tty, read as a stream of messages."""

    def __init__(self, path, baud=None):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd, termios.TCSANOW)
        attrs = termios.tcgetattr(self.fd)
        attrs[3] &= ~(termios.ECHO | termios.ECHONL)
        if baud:
            attrs[4] = attrs[5] = BAUDS[baud]
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)
        self.buf = bytearray()
        self.garbage = 0
        self.lost = 0

    def close(self):
        os.close(self.fd)

    def send(self, data):
        """Writes the whole message; answers False when the line is down."""
        view = memoryview(data)
        while view:
            try:
                n = os.write(self.fd, view)
                view = view[n:]
            except BlockingIOError:
                select.select([], [self.fd], [], 1.0)
            except OSError as e:
                if e.errno != errno.EIO:
                    raise
                self.lost += len(view)
                return False
        return True

    def _fill(self, timeout):
        r, _, _ = select.select([self.fd], [], [], max(0.0, timeout))
        if not r:
            return False
        try:
            data = os.read(self.fd, 4096)
        except BlockingIOError:
            return False
        except OSError as e:
            if e.errno == errno.EIO:  # the far end is gone for now
                time.sleep(min(timeout, 0.1))
                return False
            raise
        self.buf += data
        return bool(data)

    def _take(self):
        """One whole message from the buffer, or None."""
        while self.buf:
            if self.buf[0] == STX:
                if len(self.buf) < 3:
                    return None
                n = int.from_bytes(self.buf[1:3], "big")
                if n > MAX_FRAME:
                    return self._drop(1)
                if len(self.buf) < n + 5:
                    return None
                msg = bytes(self.buf[:n + 5])
                if msg[-1] != ETX or msg[-2] != sum(msg[3:-2]) & 0xFF:
                    self._drop(1)
                    continue
                del self.buf[:n + 5]
                return msg
            end = self.buf.find(b"\n")
            stx = self.buf.find(bytes([STX]))
            if stx >= 0 and (end < 0 or stx < end):
                self._drop(stx)  # a line cut short by a frame
                continue
            if end < 0:
                return None
            msg = bytes(self.buf[:end + 1])
            del self.buf[:end + 1]
            return msg
        return None

    def _drop(self, n):
        self.garbage += n
        del self.buf[:n]
        return None

    def receive(self, timeout):
        deadline = time.monotonic() + timeout
        while True:
            msg = self._take()
            if msg is not None:
                return msg
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            self._fill(left)


# ---------------------------------------------------------------------------
# Roles

class Stats:
    def __init__(self, role):
        self.role = role
        self.exchanges = 0
        self.messages = 0
        self.errors = 0
        self.notes = []

    def error(self, what):
        self.errors += 1
        if len(self.notes) < 10:
            self.notes.append(what)

    def summary(self, line):
        s = "devsim %s: %d exchanges, %d messages, %d errors, %d stray bytes, %d bytes unsent" % (
            self.role, self.exchanges, self.messages, self.errors, line.garbage, line.lost)
        return "\n".join([s] + ["  " + n for n in self.notes])


def short(message):
    return message[:40].hex(" ") + (" ..." if len(message) > 40 else "")


class NoLines:
    """A line without modem lines: always clear to send."""

    def set_rts(self, on):
        pass

    def set_dtr(self, on):
        pass

    def cts(self):
        return True


def wait_clear_to_send(lines, stopped, timeout):
    deadline = time.monotonic() + timeout
    while not lines.cts():
        if stopped() or time.monotonic() >= deadline:
            return False
        time.sleep(0.001)
    return True


# ---------------------------------------------------------------------------
# Breaks and line errors

BREAK_SECONDS = 0.02
FRAMING_ERROR_AT = 2   # the host's request with a framing error on its last byte


def send_link_break(line, lines):
    """Holds the line in a break, on the null-modem cable or on a real tty."""
    if hasattr(lines, "send_break"):
        lines.send_break(BREAK_SECONDS)
    else:
        termios.tcsendbreak(line.fd, 0)


def break_due(args, state, now):
    """Whether the instrument's next break is due (state: when the last one was)."""
    if not args.breaks or now - state.setdefault("last", now) < args.breaks:
        return False
    state["last"] = now
    return True


def send_with_framing_error(line, lines, request, seq):
    """Sends the request; once, its last byte arrives with a framing error."""
    if seq != FRAMING_ERROR_AT or not hasattr(lines, "inject"):
        return line.send(request)
    ok = line.send(request)
    lines.inject("frame")
    return ok


def run_host(line, args, stats, stopped, lines):
    rng = random.Random(args.seed)
    deadline = time.monotonic() + args.seconds if args.seconds > 0 else None
    seq = 0
    while not stopped() and (deadline is None or time.monotonic() < deadline):
        if not wait_clear_to_send(lines, stopped, args.reply_timeout):
            continue
        request = make_request(rng, seq)
        expected = replies_for(request)
        send_with_framing_error(line, lines, request, seq)
        got = []
        while len(got) < len(expected):
            msg = line.receive(args.reply_timeout)
            if msg is None:
                break
            stats.messages += 1
            if is_event(msg):
                continue
            got.append(msg)
        stats.exchanges += 1
        if args.verify and got != expected:
            stats.error("exchange %d: sent %s, expected %d messages, got %d%s" % (
                seq, short(request), len(expected), len(got),
                "" if not got else ", first " + short(got[0])))
        if args.verbose:
            print("host %d: %s -> %d messages" % (seq, short(request), len(got)), file=sys.stderr)
        seq += 1
        time.sleep(pause_after(rng))


def run_instrument(line, args, stats, stopped, lines):
    deadline = time.monotonic() + args.seconds if args.seconds > 0 else None
    last = time.monotonic()
    events = 0
    rng = random.Random(args.seed)
    breaks = {}
    lines.set_rts(True)
    while not stopped() and (deadline is None or time.monotonic() < deadline):
        msg = line.receive(0.2)
        now = time.monotonic()
        if msg is None and break_due(args, breaks, now):
            send_link_break(line, lines)
        if msg is None:
            if args.events and now - last > args.events:
                events += 1
                line.send(text("EVT 待機中 %d" % events))
                last = now
            continue
        last = now
        stats.messages += 1
        replies = replies_for(msg) if well_formed(msg) else []
        if not replies:
            if args.verify:
                stats.error("bad request %s" % short(msg))
            continue
        stats.exchanges += 1
        # Busy: not ready for the next request until every reply is out.
        lines.set_rts(False)
        time.sleep(rng.uniform(0.02, 0.08))
        for i, reply in enumerate(replies):
            line.send(reply)
            # A burst goes out back to back; a gap now and then splits it.
            if len(replies) > 1 and i % 16 == 15:
                time.sleep(0.005)
        lines.set_rts(True)


def main(argv=None):
    ap = argparse.ArgumentParser(description="Simulated serial device (host or instrument).")
    ap.add_argument("--port", required=True, help="tty path to open, e.g. a pty end")
    ap.add_argument("--role", required=True, choices=["host", "instrument"])
    ap.add_argument("--seconds", type=float, default=0, help="run time; 0 runs until killed")
    ap.add_argument("--verify", action="store_true", help="check what is received; exit 1 on errors")
    ap.add_argument("--seed", type=int, default=1, help="seed of the host's command sequence")
    ap.add_argument("--baud", type=int, choices=sorted(BAUDS), help="line speed of a real tty")
    ap.add_argument("--start-delay", type=float, default=0, help="seconds to wait before the first message")
    ap.add_argument("--reply-timeout", type=float, default=3.0, help="host: seconds to wait for a reply")
    ap.add_argument("--events", type=float, default=3.0,
                    help="instrument: report on its own after this many idle seconds (0: never)")
    ap.add_argument("--breaks", type=float, default=4.0,
                    help="instrument: hold a break after this many seconds, again and again (0: never)")
    ap.add_argument("--lines", help="null-modem state file (tools/nullmodem.py): use RTS/CTS and DTR")
    ap.add_argument("--verbose", action="store_true", help="print each exchange on stderr")
    args = ap.parse_args(argv)

    stop = []
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda *_: stop.append(True))

    line = Line(args.port, args.baud)
    lines = nullmodem.Lines(args.lines, args.port) if args.lines else NoLines()
    stats = Stats(args.role)
    try:
        time.sleep(args.start_delay)
        lines.set_dtr(True)
        run = run_host if args.role == "host" else run_instrument
        run(line, args, stats, lambda: bool(stop), lines)
    finally:
        lines.set_rts(False)
        lines.set_dtr(False)
        print(stats.summary(line), file=sys.stderr)
        line.close()
    return 1 if args.verify and stats.errors else 0


if __name__ == "__main__":
    sys.exit(main())
