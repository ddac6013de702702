#!/usr/bin/env python3
"""Relay benchmark, in one run on the same kind of pty pairs:
  - the relaying pair alone under Wine (relay host), prefix "taplinar_";
  - a plain socat relay, prefix "socat_", so that the ratios hold on a busy machine;
  - the whole program with its log views, prefix "program_";
  - with modem lines on the ptys (the null-modem cable of tools/nullmodem.py): the
    relaying pair's line mirroring ("taplinar_mirror_"), the whole program's idle load
    ("program_..._idle_lines"), its exit and the reopen after a port settings change.

usage: relay_bench.py BUILD HOST_EXE [--program EXE --ctl TAPCTL] [--size BYTES] [--pings N]
                       [--flips N] [--parts relay,socat,program,lines]
One command builds what it needs and runs it all: cmake --build BUILD --target bench_relay
The program part needs a display: run it inside tools/xrun.sh (the bench_relay
target does). Every phase has a deadline; a phase that did not finish reports
what it got and a "..._complete: 0 bool" line.
Prints "name: value unit" lines.
"""
import argparse
import contextlib
import os
import random
import re
import select
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "monitor", "host"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
sys.path.insert(0, HERE)
import relay_rig  # noqa: E402
import program_rig  # noqa: E402
import nullmodem  # noqa: E402

IDLE_SECONDS = 5.0
MIN_LOAD_SECONDS = 3.0
# A slow relay moves 1 MiB in minutes: the transfers stop here and report the rate so far.
RELAY_TRANSFER_DEADLINE = 25.0
FLOOD_DEADLINE = 60.0
# After the writers stop, the bytes still in flight may take this long, with
# pauses of up to DRAIN_QUIET (a busy program relays in fits).
DRAIN_SECONDS = 20.0
DRAIN_QUIET = 5.0
CATCH_UP_DEADLINE = 30.0
PACED_RATE = 921600 // 10  # bytes per second each way: 8 data bits, start and stop bit
PACED_SECONDS = 10.0
PACED_STEP = 0.01
# A writer that fell behind its pace may go on this long after the paced time.
PACED_GRACE = 2.0
PACED_LAG_DEADLINE = 40.0
# The views count as settled when their row counts held this long.
SETTLE_SECONDS = 1.0
PROBE_PERIOD_MS = 50
BURST_SIZE = 144
BURSTS = 60
BURST_DEADLINE = 5.0
BURST_PAUSE = 0.1
# A line change that has not reached the other device by then counts as lost.
FLIP_DEADLINE = 1.0
FLIP_GAP = 0.005
# Flips far enough apart that the lines count as quiet in between.
QUIET_FLIPS = 8
QUIET_GAP = 1.5
PORT_DIALOG = "設定 - Taplinar"


def read_ready(fd, timeout):
    """What fd holds within timeout (b"" when nothing came), or None once it fails."""
    r, _, _ = select.select([fd], [], [], timeout)
    if not r:
        return b""
    try:
        return os.read(fd, 65536)
    except (BlockingIOError, InterruptedError):
        return b""
    except OSError:
        return None


def report(name, value, unit):
    print("%s: %s %s" % (name, value, unit), flush=True)


def wineserver_pid(prefix):
    """The wineserver of this prefix: it works in a directory named after the
    prefix's device and inode."""
    st = os.stat(prefix)
    want = "server-%x-%x" % (st.st_dev, st.st_ino)
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.path.basename(os.readlink("/proc/%s/cwd" % entry)) == want:
                return int(entry)
        except OSError:
            continue
    return None


class Subject:
    """What is measured: a relay process and, for Wine, its server."""

    def __init__(self, name, pids_fn, server_pid=None):
        self.name = name
        self.pids_fn = pids_fn
        self.server_pid = server_pid

    def cpu(self):
        own = sum(relay_rig.cpu_seconds(p) for p in self.pids_fn())
        server = relay_rig.cpu_seconds(self.server_pid) if self.server_pid else 0.0
        return own, server


def measure_cpu(subject, seconds):
    own0, srv0 = subject.cpu()
    t0 = time.monotonic()
    time.sleep(seconds)
    own1, srv1 = subject.cpu()
    wall = time.monotonic() - t0
    return (own1 - own0) / wall, (srv1 - srv0) / wall


class Reader(threading.Thread):
    """Collects what arrives at one device and when the last of it came.
    Stops once want bytes came, at hard_deadline, or, once the writers have
    stopped (writers_done set), when all that was written came or nothing
    came for quiet seconds."""

    def __init__(self, fd, want, hard_deadline, writers_done, quiet=DRAIN_QUIET):
        super().__init__(daemon=True)
        self.fd, self.want, self.hard_deadline = fd, want, hard_deadline
        self.writers_done, self.quiet = writers_done, quiet
        self.written = None
        self.got = bytearray()
        self.last_arrival = None

    def _finished(self, last):
        if len(self.got) >= self.want or time.monotonic() >= self.hard_deadline:
            return True
        if not self.writers_done.is_set():
            return False
        if self.written is not None and len(self.got) >= self.written:
            return True
        return time.monotonic() - max(last, self.writers_done.when) > self.quiet

    def run(self):
        last = time.monotonic()
        while not self._finished(last):
            part = read_ready(self.fd, 0.1)
            if part is None:
                break
            if part:
                self.got += part
                last = self.last_arrival = time.monotonic()


class Done(threading.Event):
    """An event that remembers when it was set."""

    when = 0.0

    def set(self):
        self.when = time.monotonic()
        super().set()


def pattern(seed, size):
    return random.Random(seed).randbytes(size)


def paced_write(fd, data, t0, rate, stop_at):
    """Writes data at rate bytes/s from t0, never ahead of schedule; a relay
    that cannot keep up puts it behind. Answers the count written by stop_at."""
    sent = 0
    step = max(1, int(rate * PACED_STEP))
    k = 0
    while sent < len(data):
        due = t0 + k * PACED_STEP
        now = time.monotonic()
        if now >= stop_at:
            break
        if due > now:
            time.sleep(due - now)
        target = min(len(data), (k + 1) * step)
        sent += relay_rig.write_all(fd, data[sent:target], stop_at)
        k += 1
    return sent


def flow(devices, size, directions, deadline_s, rate=None):
    """Sends size bytes in each given direction (0: device 1 to device 2, 1:
    back) at once, as fast as the relay takes them or paced at rate; writing
    stops at the deadline. Answers per direction: (sent, received, intact,
    seconds until its last byte arrived or the writers stopped), and the
    moment the last byte of all arrived."""
    data = {d: pattern(7 + d, size) for d in directions}
    t0 = time.monotonic()
    stop_at = t0 + deadline_s
    done = Done()
    sent = {}
    readers = {}
    writers = []
    for d in directions:
        src, dst = (devices[0], devices[1]) if d == 0 else (devices[1], devices[0])
        readers[d] = Reader(dst.master, size, stop_at + DRAIN_SECONDS, done)

        def wr(d=d, src=src):
            if rate:
                sent[d] = paced_write(src.master, data[d], t0, rate, stop_at)
            else:
                sent[d] = relay_rig.write_all(src.master, data[d], stop_at)
        writers.append(threading.Thread(target=wr))
    for t in list(readers.values()) + writers:
        t.start()
    for t in writers:
        t.join()
    for d in directions:
        readers[d].written = sent[d]
    done.set()
    for r in readers.values():
        r.join()
    result = {}
    for d in directions:
        r = readers[d]
        got = bytes(r.got)
        end = r.last_arrival or done.when
        result[d] = (sent[d], len(got), got == data[d][:len(got)], max(end - t0, 1e-6), got)
    arrivals = [r.last_arrival for r in readers.values() if r.last_arrival]
    return result, (max(arrivals) if arrivals else time.monotonic())


def latencies(devices, count, gap=0.005):
    src, dst = devices
    values = []
    lost = 0
    for i in range(count):
        byte = bytes([i & 0xFF])
        t0 = time.monotonic()
        os.write(src.master, byte)
        got = relay_rig.read_count(dst.master, 1, t0 + 1.0)
        t1 = time.monotonic()
        if got == byte:
            values.append((t1 - t0) * 1000.0)
        else:
            lost += 1
            dst.drain()
        rest = gap - (time.monotonic() - t0)
        if rest > 0:
            time.sleep(rest)
    return values, lost


def burst(src, dst, data):
    """Writes one burst and reads the other side as soon as bytes are
    readable; answers (ms until the last byte, longest gap between two
    arrivals in ms, intact)."""
    got = bytearray()
    stamps = []
    t0 = time.monotonic()
    os.write(src.master, data)
    deadline = t0 + BURST_DEADLINE
    while len(got) < len(data):
        rest = deadline - time.monotonic()
        if rest <= 0:
            break
        part = read_ready(dst.master, rest)
        if part:
            stamps.append(time.monotonic())
            got += part
    if not stamps:
        return None, None, False
    gap = max([b - a for a, b in zip(stamps, stamps[1:])] or [0.0])
    return (stamps[-1] - t0) * 1000.0, gap * 1000.0, bytes(got) == data


def bursts(devices, count):
    rnd = random.Random(11)
    times, gaps = [], []
    broken = 0
    for i in range(count):
        src, dst = (devices[0], devices[1]) if i % 2 == 0 else (devices[1], devices[0])
        ms, gap, ok = burst(src, dst, rnd.randbytes(BURST_SIZE))
        if ms is None or not ok:
            broken += 1
            dst.drain()
        else:
            times.append(ms)
            gaps.append(gap)
        time.sleep(BURST_PAUSE)
    return times, gaps, broken


def percentile(values, p):
    ordered = sorted(values)
    k = max(0, min(len(ordered) - 1, int(round(p / 100.0 * len(ordered) + 0.5)) - 1))
    return ordered[k]


class Figures:
    def __init__(self, prefix):
        self.prefix = prefix
        self.values = {}

    def put(self, name, value, unit, fmt="%.3f"):
        self.values[name] = value
        report(self.prefix + "_" + name, fmt % value, unit)

    def flag(self, name, ok):
        if not ok:
            self.put(name, 0, "bool", "%d")


def put_flow(fig, name, result, size):
    """Reports the slower direction's rate; flags loss, damage and a
    transfer that did not finish by its deadline."""
    rate = min(got / secs for _, got, _, secs, _ in result.values())
    fig.put(name, rate, "B/s", "%.0f")
    fig.flag(name + "_intact", all(ok for _, _, ok, _, _ in result.values()))
    complete = all(got == size for _, got, _, _, _ in result.values())
    fig.flag(name + "_complete", complete)
    if not complete:
        fig.put(name + "_moved", min(got for _, got, _, _, _ in result.values()), "bytes", "%d")
    # Written but not arrived when the drain gave up: lost, or stuck in the relay.
    undelivered = sum(sent - got for sent, got, _, _, _ in result.values())
    if undelivered:
        fig.put(name + "_undelivered", undelivered, "bytes", "%d")
    return rate


def run_suite(prefix, subject, devices, size, pings):
    """The relay figures: idle load, throughput, latency and bursts."""
    fig = Figures(prefix)
    for dev in devices:
        dev.drain()
    time.sleep(1.0)
    own, srv = measure_cpu(subject, IDLE_SECONDS)
    fig.put("cpu_idle", own, "s/s")
    if subject.server_pid:
        fig.put("wineserver_cpu_idle", srv, "s/s")

    result, _ = flow(devices, size, [0], RELAY_TRANSFER_DEADLINE)
    put_flow(fig, "throughput_one_way", result, size)

    # A fast relay is done in a blink; repeat until the CPU clock (10 ms
    # ticks) has something to count.
    own0, srv0 = subject.cpu()
    secs = moved = 0
    intact = complete = True
    while secs < MIN_LOAD_SECONDS:
        result, _ = flow(devices, size, [0, 1], RELAY_TRANSFER_DEADLINE - secs)
        secs += max(s for _, _, _, s, _ in result.values())
        moved += sum(got for _, got, _, _, _ in result.values())
        intact = intact and all(ok for _, _, ok, _, _ in result.values())
        complete = all(got == size for _, got, _, _, _ in result.values())
        if not complete:
            break
    own1, srv1 = subject.cpu()
    fig.put("throughput_both_ways", moved / secs, "B/s", "%.0f")
    fig.put("cpu_relaying_full", (own1 - own0) / secs, "s/s")
    if moved:
        fig.put("cpu_per_mib", (own1 - own0) / (moved / float(1 << 20)), "s/MiB")
    if subject.server_pid:
        fig.put("wineserver_cpu_relaying_full", (srv1 - srv0) / secs, "s/s")
    fig.flag("throughput_both_ways_intact", intact)
    fig.flag("throughput_both_ways_complete", complete)
    for dev in devices:
        dev.drain()

    own0, srv0 = subject.cpu()
    t0 = time.monotonic()
    values, lost = latencies(devices, pings)
    wall = time.monotonic() - t0
    own1, srv1 = subject.cpu()
    if values:
        fig.put("latency_median", statistics.median(values), "ms")
        fig.put("latency_p99", percentile(values, 99), "ms")
    if lost:
        fig.put("latency_lost", lost, "bytes", "%d")
    # One byte per 5 ms: the same light load for both relays.
    fig.put("cpu_relaying_paced", (own1 - own0) / wall, "s/s")
    if subject.server_pid:
        fig.put("wineserver_cpu_relaying_paced", (srv1 - srv0) / wall, "s/s")

    times, gaps, broken = bursts(devices, BURSTS)
    if times:
        fig.put("burst_median", statistics.median(times), "ms")
        fig.put("burst_p90", percentile(times, 90), "ms")
        fig.put("burst_max_gap", max(gaps), "ms")
    if broken:
        fig.put("burst_broken", broken, "bursts", "%d")
    return fig.values


def bench_wine(args):
    pair = relay_rig.WinePair(args.build, args.host_exe)
    try:
        pair.map_ports()
        pair.start()
        server = wineserver_pid(os.path.join(os.path.abspath(args.build), "wineprefix"))
        subject = Subject("taplinar", pair.host_pids, server)
        figures = run_suite("taplinar", subject, pair.devices, args.size, args.pings)
        pair.stop()
        return figures
    finally:
        pair.close()
        pair.unmap_ports()


def bench_socat(args):
    devices = [relay_rig.PtyDevice(), relay_rig.PtyDevice()]
    cmd = ["socat", "%s,raw,echo=0" % devices[0].path, "%s,raw,echo=0" % devices[1].path]
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(0.5)
        subject = Subject("socat", lambda: [proc.pid])
        return run_suite("socat", subject, devices, args.size, args.pings)
    finally:
        proc.terminate()
        proc.wait(timeout=10)
        for dev in devices:
            dev.close()


DUMP_ROW = re.compile(r"[0-9A-F]{4} : ((?:(?:[0-9A-F]{2}|--) )+)")


def row_bytes(row):
    """The data bytes of one dump row, or None for a row of another shape."""
    m = DUMP_ROW.search(row)
    if not m:
        return None
    return bytes(int(t, 16) for t in m.group(1).split() if t != "--")


def views_show_end(program, tails, depth=400):
    """Whether each view's last dump row holds the last bytes its port
    received (port 1's view shows what device 1 sent)."""
    views = program.view_rows(depth)
    if views is None:
        return False
    if any(not last for _, last in views) and depth < 40000:
        return views_show_end(program, tails, 40000)
    for (_, last), tail in zip(views, tails):
        if not tail:
            continue
        shown = row_bytes(last)
        if not shown or not tail.endswith(shown):
            return False
    return True


def catch_up(program, watcher, tails, t_end, deadline_s):
    """Seconds from t_end until both views hold their final row count and
    their last rows show the ends of the streams, and whether that happened
    by the deadline (else the seconds waited)."""
    deadline = t_end + deadline_s
    checked = None
    checked_at = 0.0
    while time.monotonic() < deadline:
        time.sleep(0.2)
        probes = watcher.since(t_end - 1.0)
        if not probes:
            continue
        counts = probes[-1][2:]
        settled_at = probes[-1][0]
        for p in reversed(probes):
            if p[2:] != counts:
                break
            settled_at = p[0]
        if probes[-1][0] - settled_at < SETTLE_SECONDS:
            continue
        # A failed look is repeated when the counts move, or now and then.
        if checked == counts and time.monotonic() - checked_at < 3.0:
            continue
        checked, checked_at = counts, time.monotonic()
        if views_show_end(program, tails):
            return max(0.0, settled_at - t_end), True
    return time.monotonic() - t_end, False


def ui_response_max(watcher, t0, t1):
    """Longest answer of the main window to a probe sent between t0 and t1;
    a probe that got no answer counts as the probe's time-out."""
    worst = 0.0
    for stamp, answer_ms, _, _ in watcher.since(t0):
        sent = stamp - max(answer_ms, 0) / 1000.0
        if sent > t1:
            break
        worst = max(worst, answer_ms if answer_ms >= 0 else 30000.0)
    return worst


def tails_of(result):
    """What each port received: the first view shows what device 1 sent."""
    return [result[d][4][-64:] if d in result else b"" for d in (0, 1)]


def program_phase(fig, program, ini, name, size, server, measure_idle=False):
    """One start of the program: optionally its idle load, then one flood
    1 MiB each way at once and the log's catch-up."""
    if not program.start(ini):
        fig.put(name + "_started", 0, "bool", "%d")
        return
    try:
        time.sleep(1.0)
        for dev in program.devices:
            dev.drain()
        if measure_idle:
            own, srv = measure_cpu(Subject("program", program.pids, server), IDLE_SECONDS)
            fig.put("cpu_idle", own, "s/s")
            fig.put("wineserver_cpu_idle", srv, "s/s")
        watcher = program.watch(PROBE_PERIOD_MS, 600)
        try:
            t0 = time.monotonic()
            result, t_end = flow(program.devices, size, [0, 1], FLOOD_DEADLINE)
            put_flow(fig, name + "throughput_each_way", result, size)
            fig.put(name + "flood_ui_response_max", ui_response_max(watcher, t0, t_end), "ms", "%.0f")
            secs, ok = catch_up(program, watcher, tails_of(result), t_end, CATCH_UP_DEADLINE)
            fig.put(name + "log_catch_up", secs, "s")
            fig.flag(name + "log_catch_up_complete", ok)
        finally:
            watcher.stop()
    finally:
        program.quit()


def paced_phase(fig, program):
    """Both directions paced at 921600 bit/s for 10 s with the full dump:
    the log's lag and the main window's answers meanwhile."""
    if not program.start(program_rig.ini_text(program_rig.FULL_DUMP)):
        fig.put("paced_started", 0, "bool", "%d")
        return
    try:
        time.sleep(1.0)
        for dev in program.devices:
            dev.drain()
        watcher = program.watch(PROBE_PERIOD_MS, 600)
        try:
            size = int(PACED_RATE * PACED_SECONDS)
            t0 = time.monotonic()
            result, t_end = flow(program.devices, size, [0, 1], PACED_SECONDS + PACED_GRACE,
                                  rate=PACED_RATE)
            put_flow(fig, "paced_throughput_each_way", result, size)
            secs, ok = catch_up(program, watcher, tails_of(result), t_end, PACED_LAG_DEADLINE)
            fig.put("paced_full_dump_lag", secs, "s")
            fig.flag("paced_full_dump_lag_complete", ok)
            fig.put("ui_response_max", ui_response_max(watcher, t0, t_end), "ms", "%.0f")
        finally:
            watcher.stop()
    finally:
        program.quit()


@contextlib.contextmanager
def program_on_ptys(args):
    """taplinar.exe's ports mapped to two pty devices; yields (program, devices, wineserver pid)."""
    devices = [relay_rig.PtyDevice(), relay_rig.PtyDevice()]
    program = program_rig.Program(args.build, args.program, args.ctl, devices)
    try:
        program.map_ports()
        yield program, devices, wineserver_pid(os.path.join(os.path.abspath(args.build), "wineprefix"))
    finally:
        program.quit()
        program.unmap_ports()
        for dev in devices:
            dev.close()


def bench_program(args):
    fig = Figures("program")
    with program_on_ptys(args) as (program, _, server):
        program_phase(fig, program, program_rig.ini_text(), "", args.size, server, measure_idle=True)
        program_phase(fig, program, program_rig.ini_text(program_rig.FULL_DUMP), "full_dump_",
                      args.size, server)
        paced_phase(fig, program)
    return fig.values


class LinesOn:
    """While it lasts, Wine processes started from here get modem lines on the
    devices' ptys; the devices play their ends through tools/nullmodem.py."""

    def __init__(self, build, devices):
        self.state = os.path.join(os.path.abspath(build), "bench-relay-lines")
        if os.path.exists(self.state):
            os.unlink(self.state)
        for dev in devices:
            nullmodem.connect(self.state, dev.path)
        self.lines = [nullmodem.Lines(self.state, dev.path, far=True) for dev in devices]
        self.saved = {}

    def __enter__(self):
        env = {nullmodem.ENV: self.state, "LD_PRELOAD": nullmodem.preload(os.path.dirname(self.state))}
        for k, v in env.items():
            self.saved[k] = os.environ.get(k)
            os.environ[k] = v
        return self.lines

    def __exit__(self, *exc):
        for k, v in self.saved.items():
            if v is None:
                os.environ.pop(k, None)
            else:
                os.environ[k] = v
        for lines in self.lines:
            lines.close()


def mirror_latencies(lines, flips, gap=FLIP_GAP):
    """Each flip: one device turns its RTS over and the other device's CTS is
    watched until it follows; directions alternate. Answers ms per flip and the
    count of flips that never arrived."""
    values, lost = [], 0
    for i in range(flips):
        src, dst = (lines[0], lines[1]) if i % 2 == 0 else (lines[1], lines[0])
        want = not src.rts()
        t0 = time.monotonic()
        src.set_rts(want)
        if dst.wait(dst.cts, want, FLIP_DEADLINE):
            values.append((time.monotonic() - t0) * 1000.0)
        else:
            lost += 1
        time.sleep(gap)
    return values, lost


@contextlib.contextmanager
def cpu_hogs(count):
    """Processes that spin on every CPU while the block runs."""
    procs = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(count)]
    try:
        yield
    finally:
        for proc in procs:
            proc.kill()
            proc.wait()


def put_mirror(fig, suffix, result, worst="p99"):
    values, lost = result
    if values:
        fig.put("mirror_latency%s_median" % suffix, statistics.median(values), "ms")
        top = max(values) if worst == "max" else percentile(values, 99)
        fig.put("mirror_latency%s_%s" % (suffix, worst), top, "ms")
    if lost:
        fig.put("mirror_lost" + suffix, lost, "flips", "%d")


def bench_mirror(args):
    fig = Figures("taplinar")
    pair = relay_rig.WinePair(args.build, args.host_exe)
    try:
        pair.map_ports()
        with LinesOn(args.build, pair.devices) as lines:
            pair.start()
            time.sleep(1.0)
            put_mirror(fig, "", mirror_latencies(lines, args.flips))
            # The same with every CPU kept busy by another process: the line
            # paths must not depend on a thread that a busy machine starves.
            with cpu_hogs(os.cpu_count() or 1):
                put_mirror(fig, "_loaded", mirror_latencies(lines, args.flips // 2))
            # A handshake's first change after the lines were quiet a while.
            put_mirror(fig, "_quiet", mirror_latencies(lines, QUIET_FLIPS, QUIET_GAP), "max")
            pair.stop()
    finally:
        pair.close()
        pair.unmap_ports()


def when_cts_back(lines, deadline_s):
    """Moment at which the device's CTS, dropped after now, is on again, or None."""
    deadline = time.monotonic() + deadline_s
    dropped = False
    while time.monotonic() < deadline:
        on = lines.cts()
        if on and dropped:
            return time.monotonic()
        dropped = dropped or not on
        time.sleep(0.0005)
    return None


def bench_program_lines(args):
    """The whole program with readable lines: idle load, the reopen after a
    confirmed port settings dialog and the exit."""
    fig = Figures("program")
    with program_on_ptys(args) as (program, devices, server), LinesOn(args.build, devices) as lines:
        if not program.start(program_rig.ini_text()):
            fig.put("lines_started", 0, "bool", "%d")
            return
        time.sleep(1.0)
        own, srv = measure_cpu(Subject("program", program.pids, server), IDLE_SECONDS)
        fig.put("cpu_idle_lines", own, "s/s")
        fig.put("wineserver_cpu_idle_lines", srv, "s/s")
        # Device 1's RTS shows on device 2's CTS while the ports are open;
        # closing drops it, the reopen primes it again.
        lines[0].set_rts(True)
        lines[1].wait(lines[1].cts, True, 5.0)
        program.ctl("command", 32774)
        program.ctl("wait", PORT_DIALOG)
        # Counted from the start of the click, so tapctl's own start is in it.
        back = []
        watcher = threading.Thread(target=lambda: back.append(when_cts_back(lines[1], 30.0)))
        watcher.start()
        t0 = time.monotonic()
        program.ctl("click", PORT_DIALOG, 1)
        watcher.join()
        if back[0] is None:
            fig.put("reopen_lines_complete", 0, "bool", "%d")
        else:
            fig.put("reopen_lines", back[0] - t0, "s")
        program.ctl("quit", timeout=15)
        t0 = time.monotonic()
        try:
            program.proc.wait(timeout=60)
            fig.put("exit_lines", time.monotonic() - t0, "s")
        except subprocess.TimeoutExpired:
            fig.put("exit_lines_complete", 0, "bool", "%d")


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip().replace(" ", "_")
    except OSError:
        pass
    return "unknown"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("host_exe")
    parser.add_argument("--program", help="taplinar.exe; with --ctl, measures the whole program too")
    parser.add_argument("--ctl", help="tapctl.exe")
    parser.add_argument("--size", type=int, default=1 << 20)
    parser.add_argument("--pings", type=int, default=1000)
    parser.add_argument("--flips", type=int, default=400, help="RTS flips, half each way")
    parser.add_argument("--parts", default="relay,socat,program,lines",
                        help="which of relay, socat, program, lines to measure")
    args = parser.parse_args()
    parts = args.parts.split(",")
    started = time.monotonic()
    report("machine_nproc", os.cpu_count(), "cpus")
    report("machine_cpu", cpu_model(), "model")
    ours = bench_wine(args) if "relay" in parts else {}
    plain = bench_socat(args) if "socat" in parts else {}
    for name in ("throughput_one_way", "throughput_both_ways"):
        if ours.get(name) and plain.get(name):
            report("socat_over_taplinar_" + name, "%.1f" % (plain[name] / ours[name]), "x")
    for name in ("latency_median", "latency_p99", "burst_p90"):
        if plain.get(name) and ours.get(name):
            report("taplinar_over_socat_" + name, "%.2f" % (ours[name] / plain[name]), "x")
    if args.program and args.ctl and "program" in parts:
        bench_program(args)
    if "lines" in parts:
        bench_mirror(args)
        if args.program and args.ctl:
            bench_program_lines(args)
    report("bench_seconds", "%.0f" % (time.monotonic() - started), "s")


if __name__ == "__main__":
    main()
