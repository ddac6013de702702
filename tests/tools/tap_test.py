#!/usr/bin/env python3
"""tools/tap.sh against a fake /sys and /dev whose device nodes are ptys, checked through
the program's own COM port enumeration under Wine.

usage: tap_test.py BUILD LISTCOMPORTS_EXE
"""
import grp
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TAP = os.path.join(ROOT, "tools", "tap.sh")
WINE_ENV = os.path.join(ROOT, "tools", "wine-env.sh")
BUILD = LIST_EXE = None


class FakeMachine:
    """Serial devices as the kernel shows them in /sys and /dev; each node is a pty."""

    def __init__(self, top):
        self.sys, self.dev = os.path.join(top, "sys"), os.path.join(top, "dev")
        os.makedirs(os.path.join(self.sys, "class", "tty"))
        os.makedirs(os.path.join(self.dev, "serial", "by-id"))
        self.ptys = {}

    def node(self, name):
        return os.path.join(self.dev, name)

    def by_id(self, serial):
        return os.path.join(self.dev, "serial", "by-id", serial)

    def add(self, name, port_dir, driver, attrs, serial=None):
        """A tty below port_dir; attrs are files of the directory above port_dir."""
        tty = os.path.join(port_dir, "tty", name)
        os.makedirs(tty)
        for attr, value in attrs.items():
            with open(os.path.join(os.path.dirname(port_dir), attr), "w") as f:
                f.write(value + "\n")
        os.symlink(port_dir, os.path.join(tty, "device"))
        os.makedirs(os.path.join(self.sys, "bus", driver), exist_ok=True)
        os.symlink(os.path.join(self.sys, "bus", driver), os.path.join(port_dir, "driver"))
        os.symlink(tty, os.path.join(self.sys, "class", "tty", name))
        self.ptys[name] = os.openpty()
        os.symlink(os.ttyname(self.ptys[name][1]), self.node(name))
        if serial:
            os.symlink("../../" + name, self.by_id(serial))

    def add_usb(self, name, usb_id, vid, pid, maker, product, driver, serial=None):
        attrs = {"idVendor": vid, "idProduct": pid, "manufacturer": maker, "product": product}
        self.add(name, os.path.join(self.sys, "devices", "usb1", usb_id, name), driver, attrs, serial)

    def add_uart(self, name, uart_type):
        self.add(name, os.path.join(self.sys, "devices", "serial8250", name), "serial8250", {})
        with open(os.path.join(self.sys, "class", "tty", name, "type"), "w") as f:
            f.write("%d\n" % uart_type)

    def unplug(self, name):
        link = os.path.join(self.sys, "class", "tty", name)
        shutil.rmtree(os.path.dirname(os.path.dirname(os.path.realpath(link))))
        os.unlink(link)
        os.unlink(self.node(name))
        for fd in self.ptys.pop(name):
            os.close(fd)
        for entry in os.scandir(os.path.join(self.dev, "serial", "by-id")):
            if not os.path.exists(entry.path):
                os.unlink(entry.path)

    def close(self):
        for name in list(self.ptys):
            for fd in self.ptys.pop(name):
                os.close(fd)


class TapTest(unittest.TestCase):
    def setUp(self):
        self.top = tempfile.mkdtemp(prefix="taplinar-tap-")
        os.chmod(self.top, 0o755)
        self.machine = FakeMachine(self.top)

    def tearDown(self):
        self.machine.close()
        shutil.rmtree(self.top)
        # Every device is gone now: a last run takes their ports out of the prefix.
        subprocess.run([TAP, "--build", BUILD, "--register-only"], env=self.env(), capture_output=True)

    def env(self):
        return dict(os.environ, TAP_SYSFS=self.machine.sys, TAP_DEV=self.machine.dev)

    def tap(self, *devices, prefix=(), build=None):
        return subprocess.run(list(prefix) + [TAP, "--build", build or BUILD, "--register-only", *devices],
                              env=self.env(), capture_output=True, text=True, timeout=120)

    def registered(self, *devices):
        """Runs tap.sh; answers {kernel name: COM number} from its table."""
        run = self.tap(*devices)
        self.assertEqual(run.returncode, 0, run.stderr)
        return {m.group(2): int(m.group(1)) for m in re.finditer(r"^COM(\d+)\s+(\S+)", run.stdout, re.M)}

    def port_list(self):
        """{COM number: (tool tip text, vendor id, product id)} as the program lists them."""
        run = subprocess.run([WINE_ENV, BUILD, "run", "wine", LIST_EXE], capture_output=True, timeout=60)
        self.assertEqual(run.returncode, 0, run.stderr)
        ports = {}
        for line in run.stdout.decode("cp932").splitlines():
            com, text, vid, pid = line.split("\t")
            ports[int(com[3:])] = (text, int(vid, 16), int(pid, 16))
        return ports

    def test_devices_are_listed_with_their_names_and_keep_their_numbers(self):
        m = self.machine
        m.add_usb("ttyUSB0", "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio",
                  "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0")
        m.add_usb("ttyACM0", "1-3", "2341", "0043", "秋月電子", "温度ロガー µ", "cdc_acm",
                  "usb-Akizuki_Logger_7523-if00")
        m.add_uart("ttyS0", 4)
        m.add_uart("ttyS1", 0)   # a serial core port with no UART behind it
        first = self.registered()
        self.assertEqual(set(first), {"ttyUSB0", "ttyACM0", "ttyS0"})
        self.assertEqual(len(set(first.values())), 3)

        ports = self.port_list()
        self.assertEqual(ports[first["ttyUSB0"]], ("FTDI FT232R USB UART (COM%d)" % first["ttyUSB0"], 0x0403, 0x6001))
        self.assertEqual(ports[first["ttyACM0"]], ("秋月電子 温度ロガー μ (COM%d)" % first["ttyACM0"], 0x2341, 0x0043))
        self.assertEqual(ports[first["ttyS0"]], ("serial8250 通信ポート (ttyS0) (COM%d)" % first["ttyS0"], 0, 0))

        # Named on the command line in another order, by by-id links too, one of them twice.
        again = self.registered(m.node("ttyS0"), m.by_id("usb-Akizuki_Logger_7523-if00"), m.node("ttyUSB0"),
                                m.by_id("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"))
        self.assertEqual(again, first)

        # The logger is unplugged; the FTDI adapter comes back as ttyUSB1, a new adapter
        # without a serial number takes ttyUSB0.
        m.unplug("ttyACM0")
        m.unplug("ttyUSB0")
        m.add_usb("ttyUSB1", "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio",
                  "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0")
        m.add_usb("ttyUSB0", "1-4", "1a86", "7523", "QinHeng", "USB Serial", "ch341")
        third = self.registered()
        self.assertEqual(third["ttyUSB1"], first["ttyUSB0"])
        self.assertEqual(third["ttyS0"], first["ttyS0"])
        self.assertEqual(third["ttyUSB0"], first["ttyACM0"])   # the lowest number free again
        ports = self.port_list()
        self.assertEqual(ports[third["ttyUSB0"]][1:], (0x1A86, 0x7523))

        m.unplug("ttyUSB0")
        self.assertNotIn("ttyUSB0", self.registered())
        self.assertNotIn(third["ttyUSB0"], self.port_list())

    @unittest.skipUnless(os.geteuid() == 0, "acting as another user needs root")
    def test_device_the_user_cannot_open_is_reported_before_wine_starts(self):
        m = self.machine
        m.add_usb("ttyUSB0", "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio")
        m.add_usb("ttyUSB1", "1-3", "0403", "6015", "FTDI", "FT230X Basic UART", "ftdi_sio")
        closed, open_ = os.path.realpath(m.node("ttyUSB0")), os.path.realpath(m.node("ttyUSB1"))
        os.chown(closed, 0, grp.getgrnam("dialout").gr_gid)
        os.chmod(closed, 0o660)
        os.chmod(open_, 0o666)
        # A build tree of its own: were the check to pass, no shared prefix is touched.
        build = os.path.join(self.top, "build")
        os.mkdir(build)
        run = self.tap(prefix=["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"], build=build)
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn(m.node("ttyUSB0") + ": you (nobody) cannot open it", run.stderr)
        self.assertIn("crw-rw---- root:dialout", run.stderr)
        self.assertIn("sudo usermod -aG dialout nobody", run.stderr)
        self.assertNotIn("ttyUSB1", run.stderr)
        self.assertFalse(os.path.exists(os.path.join(build, "wineprefix")))


if __name__ == "__main__":
    BUILD, LIST_EXE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
