"""The whole program under Wine between two pty-backed COM ports, driven and
watched through tapctl (another Wine process) as a user would.

Needs a display: run inside tools/xrun.sh.
"""
import os
import shutil
import subprocess
import threading
import time

import relay_rig

PORTS = (1, 2)
# Full dump (no abbreviation) at 16 bytes per row.
FULL_DUMP = {"data-width": 0, "data-view-type": 1}


def ini_text(log_setting=None):
    """Ports 1 and 2 at the highest speed of the list; a roomy window. Without
    log_setting the log keeps its defaults."""
    lines = ["[setting]", "port1=%d" % PORTS[0], "port2=%d" % PORTS[1], "speed=8",
             "parity=0", "stopbit=0", "data=0", "flow=0"]
    if log_setting:
        lines.append("[log-setting]")
        lines += ["%s=%d" % kv for kv in sorted(log_setting.items())]
        lines.append("signal-mode=0")
    lines += ["[main-dlg]", "Valid=1", "SX=0", "SY=0", "EX=1000", "EY=640", "Show=1", "Maximize=0"]
    return "\r\n".join(lines) + "\r\n"


class Watcher:
    """A running 'tapctl watch': probes of the main window's answer time and
    both views' row counts, stamped here as they arrive."""

    def __init__(self, proc):
        self.proc = proc
        self.probes = []  # (monotonic, answer ms or -1, count left, count right)
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.proc.stdout:
            parts = raw.decode("ascii", "replace").split()
            if len(parts) != 5 or parts[0] != "probe":
                continue
            try:
                probe = (time.monotonic(), float(parts[2]), int(parts[3]), int(parts[4]))
            except ValueError:
                continue
            with self.lock:
                self.probes.append(probe)

    def since(self, t0):
        with self.lock:
            return [p for p in self.probes if p[0] >= t0]

    def last(self):
        with self.lock:
            return self.probes[-1] if self.probes else None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.reader.join(5)


class Program:
    """taplinar.exe started in a work folder of its own with a given INI file."""

    def __init__(self, build, exe, ctl, devices):
        self.build = os.path.abspath(build)
        self.exe = os.path.abspath(exe)
        self.ctl_exe = os.path.abspath(ctl)
        self.devices = devices
        self.workdir = os.path.join(self.build, "bench-relay-program")
        self.proc = None

    def _env(self, *args):
        subprocess.run([relay_rig.WINE_ENV, self.build] + list(args), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=300)

    def map_ports(self):
        for n, dev in zip(PORTS, self.devices):
            self._env("port", str(n), dev.path, "Benchmark port (COM%d)" % n)

    def unmap_ports(self):
        for n in PORTS:
            try:
                self._env("unport", str(n))
            except (subprocess.SubprocessError, OSError):
                pass

    def start(self, ini, args=()):
        """Starts the program with args on its command line and confirms its
        port settings; answers whether the main window came up with the ports open."""
        shutil.rmtree(self.workdir, ignore_errors=True)
        os.makedirs(self.workdir)
        shutil.copy(self.exe, os.path.join(self.workdir, "taplinar.exe"))
        with open(os.path.join(self.workdir, "taplinar.ini"), "w", newline="") as f:
            f.write(ini)
        self.proc = subprocess.Popen([relay_rig.WINE_ENV, self.build, "run", "wine", "taplinar.exe"] + list(args),
                                     cwd=self.workdir, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self.ctl("confirm-ports", timeout=90).returncode == 0

    def ctl(self, *args, timeout=60):
        cmd = [relay_rig.WINE_ENV, self.build, "run", "wine", self.ctl_exe] + [str(a) for a in args]
        try:
            return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        except subprocess.TimeoutExpired as e:
            return subprocess.CompletedProcess(cmd, -1, e.stdout or b"", e.stderr or b"")

    def watch(self, period_ms, seconds):
        cmd = [relay_rig.WINE_ENV, self.build, "run", "wine", self.ctl_exe, "watch",
               str(period_ms), str(int(seconds))]
        return Watcher(subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL))

    def view_rows(self, depth=200, timeout=120):
        """Answers [(count, last dump row), ...] for the left and the right
        view, or None when the program did not answer."""
        out = self.ctl("view-rows", depth, timeout=timeout)
        views = []
        for line in out.stdout.decode("cp932", "replace").splitlines():
            parts = line.split(" ", 3)
            if len(parts) >= 3 and parts[0] == "view":
                views.append((int(parts[2]), parts[3] if len(parts) > 3 else ""))
        return views if len(views) == 2 else None

    def pids(self):
        if not self.proc:
            return []
        return [self.proc.pid] + relay_rig.children(self.proc.pid)

    def quit(self):
        if not self.proc:
            return
        if self.proc.poll() is None:
            # A window thread buried under rows may not get to the question soon.
            self.ctl("quit", timeout=15)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.proc = None
