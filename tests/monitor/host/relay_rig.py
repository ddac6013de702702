"""A relaying pair under Wine between two pty pairs, driven from Linux.

Each COM port of the pair is mapped to the slave side of a pty; the script
plays both devices on the master sides. Used by the end-to-end test and by
the relay benchmark.
"""
import os
import select
import subprocess
import threading
import time
import tty

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
WINE_ENV = os.path.join(ROOT, "tools", "wine-env.sh")


class PtyDevice:
    """The far end of one COM port: the master side of a pty pair."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        # Raw, no echo: the program's port must see exactly the bytes sent.
        tty.setraw(self.slave)
        tty.setraw(self.master)
        # Holding the slave open keeps the master readable while Wine
        # reopens the port.
        self.path = os.ttyname(self.slave)
        os.set_blocking(self.master, False)

    def close(self):
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass

    def drain(self):
        while True:
            r, _, _ = select.select([self.master], [], [], 0.05)
            if not r:
                return
            try:
                if not os.read(self.master, 65536):
                    return
            except OSError:
                return


def write_all(fd, data, deadline, chunk=256):
    """Writes data to a non-blocking fd; answers the count written by deadline."""
    sent = 0
    while sent < len(data) and time.monotonic() < deadline:
        _, w, _ = select.select([], [fd], [], 0.2)
        if not w:
            continue
        try:
            sent += os.write(fd, data[sent:sent + chunk])
        except BlockingIOError:
            pass
    return sent


def read_count(fd, count, deadline, quiet=None):
    """Reads until count bytes came, the deadline passed, or (with quiet)
    nothing arrived for that many seconds."""
    got = bytearray()
    last = time.monotonic()
    while len(got) < count:
        now = time.monotonic()
        if now >= deadline or (quiet is not None and now - last > quiet):
            break
        r, _, _ = select.select([fd], [], [], 0.2)
        if not r:
            continue
        try:
            part = os.read(fd, 65536)
        except (BlockingIOError, InterruptedError):
            continue
        except OSError:
            break
        if part:
            got += part
            last = time.monotonic()
    return bytes(got)


def children(pid):
    """All descendants of pid (Linux /proc), depth first."""
    found = []
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return found
    for tid in tasks:
        try:
            with open("/proc/%d/task/%s/children" % (pid, tid)) as f:
                kids = [int(x) for x in f.read().split()]
        except OSError:
            continue
        for kid in kids:
            found.append(kid)
            found.extend(children(kid))
    return found


def cpu_seconds(pid):
    """utime + stime of one process, in seconds."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class WinePair:
    """Maps two COM ports to two pty devices in the build tree's Wine prefix
    and runs the relay host on them."""

    def __init__(self, build, host_exe, ports=(21, 22)):
        self.build = os.path.abspath(build)
        self.host_exe = os.path.abspath(host_exe)
        self.ports = ports
        self.devices = [PtyDevice(), PtyDevice()]
        self.proc = None

    def _env(self, *args):
        return subprocess.run([WINE_ENV, self.build] + list(args),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              check=True, timeout=300)

    def map_ports(self):
        self._env("init")
        for n, dev in zip(self.ports, self.devices):
            self._env("port", str(n), dev.path, "Relay test port (COM%d)" % n)

    def unmap_ports(self):
        for n in self.ports:
            try:
                self._env("unport", str(n))
            except (subprocess.SubprocessError, OSError):
                pass

    def start(self, timeout=120):
        cmd = [WINE_ENV, self.build, "run", "wine", self.host_exe] + [str(n) for n in self.ports]
        self.proc = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        line = self._readline(timeout)
        if line.strip() != "ready":
            raise RuntimeError("relay host did not start: %r" % line)

    def _readline(self, timeout):
        box = []
        reader = threading.Thread(target=lambda: box.append(self.proc.stdout.readline()))
        reader.daemon = True
        reader.start()
        reader.join(timeout)
        if not box:
            return ""
        return box[0].decode("ascii", "replace")

    def host_pids(self):
        """Linux processes of the relay host (the Wine loader chain)."""
        if not self.proc:
            return []
        return [self.proc.pid] + children(self.proc.pid)

    def host_cpu(self):
        return sum(cpu_seconds(p) for p in self.host_pids())

    def stop(self, timeout=60):
        """Ends the host by closing its input; answers its remaining output."""
        if not self.proc:
            return ""
        try:
            # communicate closes the host's input, which ends it.
            out, _ = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            out, _ = self.proc.communicate()
        self.proc = None
        return out.decode("ascii", "replace")

    def close(self):
        self.stop()
        for dev in self.devices:
            dev.close()
