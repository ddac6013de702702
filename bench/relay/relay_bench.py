#!/usr/bin/env python3
"""Relay benchmark: a relaying pair under Wine between two pty-backed COM
ports, against a plain socat relay between the same pty pairs measured in
the same run (so that the ratio holds on a busy machine).

usage: relay_bench.py BUILD HOST_EXE [--size BYTES] [--pings N]
Prints "name: value unit" lines.
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "tests", "monitor", "host"))
import relay_rig  # noqa: E402

IDLE_SECONDS = 5.0
TRANSFER_DEADLINE = 1200.0
MIN_LOAD_SECONDS = 3.0


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


def transfer(devices, size, directions):
    """Sends size bytes in each given direction (0: device 1 to device 2,
    1: back) at once; answers (seconds, all arrived intact)."""
    rnd = random.Random(7)
    data = {d: rnd.randbytes(size) for d in directions}
    got = {}
    deadline = time.monotonic() + TRANSFER_DEADLINE
    threads = []
    for d in directions:
        src, dst = (devices[0], devices[1]) if d == 0 else (devices[1], devices[0])
        threads.append(threading.Thread(target=relay_rig.write_all, args=(src.master, data[d], deadline)))

        def rd(d=d, dst=dst):
            got[d] = relay_rig.read_count(dst.master, size, deadline, quiet=30)
        threads.append(threading.Thread(target=rd))
    t0 = time.monotonic()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    elapsed = time.monotonic() - t0
    return elapsed, all(got.get(d) == data[d] for d in directions)


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
        rest = gap - (time.monotonic() - t0)
        if rest > 0:
            time.sleep(rest)
    return values, lost


def percentile(values, p):
    ordered = sorted(values)
    k = max(0, min(len(ordered) - 1, int(round(p / 100.0 * len(ordered) + 0.5)) - 1))
    return ordered[k]


def run_suite(prefix, subject, devices, size, pings):
    """Answers the figures by name, and prints them."""
    figures = {}

    def put(name, value, unit, fmt="%.3f"):
        figures[name] = value
        report(prefix + "_" + name, fmt % value, unit)

    for dev in devices:
        dev.drain()
    time.sleep(1.0)
    own, srv = measure_cpu(subject, IDLE_SECONDS)
    put("cpu_idle", own, "s/s")
    if subject.server_pid:
        put("wineserver_cpu_idle", srv, "s/s")

    secs, ok = transfer(devices, size, [0])
    put("throughput_one_way", size / secs, "B/s", "%.0f")
    if not ok:
        put("one_way_intact", 0, "bool", "%d")

    # A fast relay is done in a blink; repeat until the CPU clock (10 ms
    # ticks) has something to count.
    own0, srv0 = subject.cpu()
    secs = moved = 0
    intact = True
    while secs < MIN_LOAD_SECONDS:
        t, ok = transfer(devices, size, [0, 1])
        secs += t
        moved += 2 * size
        intact = intact and ok
    own1, srv1 = subject.cpu()
    put("throughput_both_ways", moved / secs, "B/s", "%.0f")
    put("cpu_relaying_full", (own1 - own0) / secs, "s/s")
    put("cpu_per_mib", (own1 - own0) / (moved / float(1 << 20)), "s/MiB")
    if subject.server_pid:
        put("wineserver_cpu_relaying_full", (srv1 - srv0) / secs, "s/s")
    if not intact:
        put("both_ways_intact", 0, "bool", "%d")

    own0, srv0 = subject.cpu()
    t0 = time.monotonic()
    values, lost = latencies(devices, pings)
    wall = time.monotonic() - t0
    own1, srv1 = subject.cpu()
    if values:
        put("latency_median", statistics.median(values), "ms")
        put("latency_p99", percentile(values, 99), "ms")
    put("latency_lost", lost, "bytes", "%d")
    # One byte per 5 ms: the same light load for both relays.
    put("cpu_relaying_paced", (own1 - own0) / wall, "s/s")
    if subject.server_pid:
        put("wineserver_cpu_relaying_paced", (srv1 - srv0) / wall, "s/s")
    return figures


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
    parser.add_argument("--size", type=int, default=1 << 20)
    parser.add_argument("--pings", type=int, default=1000)
    args = parser.parse_args()
    report("machine_nproc", os.cpu_count(), "cpus")
    report("machine_cpu", cpu_model(), "model")
    ours = bench_wine(args)
    plain = bench_socat(args)
    for name in ("throughput_one_way", "throughput_both_ways"):
        if ours.get(name):
            report("socat_over_taplinar_" + name, "%.1f" % (plain[name] / ours[name]), "x")
    for name in ("latency_median", "latency_p99"):
        if plain.get(name):
            report("taplinar_over_socat_" + name, "%.2f" % (ours[name] / plain[name]), "x")


if __name__ == "__main__":
    main()
