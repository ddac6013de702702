#!/usr/bin/env python3
"""The serial port on a real Wine COM port: COM31 is mapped to one end of a
pty pair, and a device played here on the other end answers every byte b
with b ^ 0x5A. Runs the PtyPortTest cases of the serial test executable
and fails if any of them was skipped or failed.

usage: pty_port.py BUILD TEST_EXE
"""
import os
import select
import subprocess
import sys
import threading

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import ptypair  # noqa: E402

WINE_ENV = os.path.join(ROOT, "tools", "wine-env.sh")
COM = 31
MASK = 0x5A


def play_device(path, stop):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    try:
        while not stop.is_set():
            r, _, _ = select.select([fd], [], [], 0.2)
            if fd in r:
                os.write(fd, bytes(b ^ MASK for b in os.read(fd, 4096)))
    finally:
        os.close(fd)


def main():
    build, exe = sys.argv[1], sys.argv[2]
    stop = threading.Event()
    with ptypair.open_pair() as pair:
        subprocess.check_call([WINE_ENV, build, "port", str(COM), pair.path_a,
                               "Pty test port (COM%d)" % COM])
        device = threading.Thread(target=play_device, args=(pair.path_b, stop), daemon=True)
        device.start()
        try:
            env = dict(os.environ, TAP_PTY_COM=str(COM))
            run = subprocess.run([WINE_ENV, build, "run", "wine", exe,
                                  "--gtest_filter=PtyPortTest.*"],
                                 env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 timeout=300)
        finally:
            stop.set()
            device.join(timeout=5)
            subprocess.call([WINE_ENV, build, "unport", str(COM)])
    out = run.stdout.decode("utf-8", "replace")
    print(out)
    if run.returncode != 0:
        return run.returncode
    if "[  SKIPPED ]" in out or "[  PASSED  ] 0 tests" in out:
        print("pty_port.py: the pty cases did not run")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
