#!/usr/bin/env python3
"""Recording benchmark: the whole program records its log into a file while
both devices send, paced at 921600 bit/s for 10 s, with the full dump.

usage: record_bench.py BUILD --program EXE --ctl TAPCTL
One command builds what it needs and runs it: cmake --build BUILD --target bench_record
Needs a display: run it inside tools/xrun.sh (the bench_record target does).
Prints "name: value unit" lines:
  program_record_lag           from the last byte until the file holds the last row of both ports
  program_record_rows_missing  rows the log made that the file lacks (must be 0): rows of the
                               views' export missing in the file, or, when more, the rows
                               that would carry the bytes the file lacks
  program_capture_lag          the same run recording a .pcapng capture instead: from the last
                               byte until the file's packets hold every byte of both ports
  program_capture_bytes_missing  bytes the ports received that the capture's packets lack, as
                               tshark reads them (must be 0)
"""
import argparse
import collections
import os
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RELAY = os.path.join(HERE, "..", "relay")
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "monitor", "host"))
sys.path.insert(0, RELAY)
import program_rig  # noqa: E402
import relay_bench  # noqa: E402
import relay_rig  # noqa: E402

LAG_DEADLINE = 40.0
POLL = 0.05
TAIL_BYTES = 256 * 1024
LEFT_WIDTH = 70
ROW_BYTES = 16  # the full dump at 16 bytes per row


def wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def side_rows(lines):
    """The dump rows of each port in file order: a port's rows stand in its
    own column (port 1 left, port 2 right); the other column holds no dump."""
    rows = ([], [])
    for line in lines:
        m = relay_bench.DUMP_ROW.search(line.decode("cp932", "replace"))
        if m:
            rows[0 if m.start() < LEFT_WIDTH else 1].append(m.group(0))
    return rows


def file_shows_end(path, tails):
    """Whether each port's last row in the file holds the last bytes it received."""
    try:
        with open(path, "rb") as f:
            f.seek(max(0, os.path.getsize(path) - TAIL_BYTES))
            lines = f.read().split(b"\r\n")
    except OSError:
        return False
    for rows, tail in zip(side_rows(lines[1:]), tails):
        shown = relay_bench.row_bytes(rows[-1]) if rows else None
        if tail and (not shown or not tail.endswith(shown)):
            return False
    return True


def wait_for_file(path, tails, t_end):
    deadline = t_end + LAG_DEADLINE
    while time.monotonic() < deadline:
        if file_shows_end(path, tails):
            return max(0.0, time.monotonic() - t_end), True
        time.sleep(POLL)
    return time.monotonic() - t_end, False


def rows_missing(record_path, export_path, received):
    """Rows of the export the recording lacks, or the rows for the bytes it lacks."""
    with open(record_path, "rb") as f:
        recorded = f.read().split(b"\r\n")
    with open(export_path, "rb") as f:
        exported = [line for line in f.read().split(b"\r\n") if line]
    in_views = sum((collections.Counter(exported) - collections.Counter(recorded)).values())
    in_bytes = 0
    for rows, got in zip(side_rows(recorded), received):
        data = b"".join(relay_bench.row_bytes(r) or b"" for r in rows)
        if data != got:
            lost = max(abs(len(got) - len(data)), 1)
            in_bytes += (lost + ROW_BYTES - 1) // ROW_BYTES
    return max(in_views, in_bytes)


def capture_payloads(path):
    """The bytes of each port's data packets so far, by the blocks' own lengths
    (a block still being written ends the walk); tshark reads the final file."""
    got = [bytearray(), bytearray()]
    with open(path, "rb") as f:
        data = f.read()
    pos = 0
    while pos + 12 <= len(data):
        kind, length = struct.unpack_from("<II", data, pos)
        if length < 12 or pos + length > len(data):
            break
        if kind == 6:
            iface, caplen = struct.unpack_from("<I", data, pos + 8)[0], struct.unpack_from("<I", data, pos + 20)[0]
            payload = data[pos + 28:pos + 28 + caplen]
            if payload[8] in (1, 2):
                got[iface] += payload[12:]
        pos += length
    return got


def wait_for_capture(path, received, t_end):
    deadline = t_end + LAG_DEADLINE
    while time.monotonic() < deadline:
        if os.path.exists(path) and all(len(g) >= len(r) for g, r in zip(capture_payloads(path), received)):
            return max(0.0, time.monotonic() - t_end), True
        time.sleep(POLL)
    return time.monotonic() - t_end, False


def capture_bytes_missing(path, received):
    run = subprocess.run(["tshark", "-r", path, "-T", "fields", "-e", "frame.interface_id", "-e",
                          "rtacser.eventtype", "-e", "data.data"], capture_output=True, text=True, timeout=600)
    got = [bytearray(), bytearray()]
    for line in run.stdout.splitlines():
        parts = line.split("\t")
        if len(parts) == 3 and parts[1] in ("0x01", "0x02"):
            got[int(parts[0])] += bytes.fromhex(parts[2].replace(":", ""))
    # Counted from the first byte that differs: a lost byte shifts all after it.
    return sum(len(r) - common_prefix(bytes(g), r) for g, r in zip(got, received))


def common_prefix(a, b):
    """Length of the common start, found by halving (the runs are megabytes)."""
    lo, hi = 0, min(len(a), len(b))
    while lo < hi:
        mid = (lo + hi + 1) // 2
        if a[:mid] == b[:mid]:
            lo = mid
        else:
            hi = mid - 1
    return lo


def paced_recording(args, fig, name, measure):
    """Starts the program recording into NAME, runs the paced flow both ways and hands
    measure(program, path, result, t_end) the rest."""
    devices = [relay_rig.PtyDevice(), relay_rig.PtyDevice()]
    program = program_rig.Program(args.build, args.program, args.ctl, devices)
    try:
        program.map_ports()
        if not program.start(program_rig.ini_text(program_rig.FULL_DUMP), ["/record", name]):
            fig.put(name.split(".")[0] + "_started", 0, "bool", "%d")
            return
        time.sleep(1.0)
        for dev in devices:
            dev.drain()
        size = int(relay_bench.PACED_RATE * relay_bench.PACED_SECONDS)
        result, t_end = relay_bench.flow(devices, size, [0, 1],
                                         relay_bench.PACED_SECONDS + relay_bench.PACED_GRACE,
                                         rate=relay_bench.PACED_RATE)
        measure(program, os.path.join(program.workdir, name), result, size, t_end)
    finally:
        program.quit()
        program.unmap_ports()
        for dev in devices:
            dev.close()


def bench_capture(args, fig):
    def measure(program, capture, result, size, t_end):
        received = [result[0][4], result[1][4]]
        secs, ok = wait_for_capture(capture, received, t_end)
        fig.put("capture_lag", secs, "s")
        fig.flag("capture_lag_complete", ok)
        program.quit()
        fig.put("capture_bytes_missing", capture_bytes_missing(capture, received), "bytes", "%d")
        fig.put("capture_file_size", os.path.getsize(capture) / 1e6, "MB", "%.1f")
    paced_recording(args, fig, "capture.pcapng", measure)


def bench(args):
    fig = relay_bench.Figures("program")

    def measure(program, record, result, size, t_end):
        relay_bench.put_flow(fig, "record_throughput_each_way", result, size)
        secs, ok = wait_for_file(record, relay_bench.tails_of(result), t_end)
        fig.put("record_lag", secs, "s")
        fig.flag("record_lag_complete", ok)
        export = os.path.join(program.workdir, "export.txt")
        program.ctl("export", wine_path(export), timeout=120)
        program.quit()
        # What port 1 received (its view's rows) is what device 2 got from device 1.
        received = [result[0][4], result[1][4]]
        fig.put("record_rows_missing", rows_missing(record, export, received), "rows", "%d")
        fig.put("record_file_size", os.path.getsize(record) / 1e6, "MB", "%.1f")
    paced_recording(args, fig, "record.txt", measure)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--program", required=True)
    parser.add_argument("--ctl", required=True)
    args = parser.parse_args()
    started = time.monotonic()
    bench(args)
    fig = relay_bench.Figures("program")
    bench_capture(args, fig)
    relay_bench.report("bench_seconds", "%.0f" % (time.monotonic() - started), "s")


if __name__ == "__main__":
    main()
