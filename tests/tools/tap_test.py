#!/usr/bin/env python3
"""tools/tap.sh against a fake /sys and /dev whose device nodes are ptys, checked through
the program's own COM port enumeration under Wine.  usage: tap_test.py BUILD LISTCOMPORTS_EXE
"""
import grp, os, pwd, re, shutil, subprocess, sys, tempfile, unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TAP, WINE_ENV = os.path.join(ROOT, "tools", "tap.sh"), os.path.join(ROOT, "tools", "wine-env.sh")
FTDI_ID = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"
LOGGER_ID = "usb-Akizuki_Logger_7523-if00"


def write(path, text):
    with open(path, "w") as f:
        f.write(text + "\n")


class FakeMachine:
    """Serial devices as the kernel shows them in /sys and /dev; each node is a pty."""

    def __init__(self, top):
        self.sys, self.dev, self.ptys = os.path.join(top, "sys"), os.path.join(top, "dev"), {}
        os.makedirs(os.path.join(self.sys, "class", "tty"))
        os.makedirs(os.path.join(self.dev, "serial", "by-id"))

    def node(self, name):
        return os.path.join(self.dev, name)

    def by_id(self, serial):
        return os.path.join(self.dev, "serial", "by-id", serial)

    def bind(self, device, driver):
        """driver: "BUS/NAME", as /sys/bus/BUS/drivers/NAME."""
        bus, name = driver.split("/")
        path = os.path.join(self.sys, "bus", bus, "drivers", name)
        os.makedirs(path, exist_ok=True)
        os.symlink(path, os.path.join(device, "driver"))

    def add(self, name, parent, driver, attrs, serial=None):
        """A tty of a port device below parent; attrs are files of parent (a USB device's)."""
        port, tty = os.path.join(parent, name), os.path.join(parent, name, "tty", name)
        os.makedirs(tty)
        for attr, value in attrs.items():
            write(os.path.join(parent, attr), value)
        os.symlink(port, os.path.join(tty, "device"))
        self.bind(port, driver)
        os.symlink(tty, os.path.join(self.sys, "class", "tty", name))
        self.ptys[name] = os.openpty()
        os.symlink(os.ttyname(self.ptys[name][1]), self.node(name))
        if serial:
            os.symlink("../../" + name, self.by_id(serial))

    def add_usb(self, name, usb_id, vid, pid, maker, product, driver, serial=None):
        self.add(name, os.path.join(self.sys, "devices", "usb1", usb_id), "usb-serial/" + driver,
                 {"idVendor": vid, "idProduct": pid, "manufacturer": maker, "product": product}, serial)
        if driver == "ftdi_sio":
            write(self.latency_file(name), "16")

    def latency_file(self, name):
        return os.path.join(self.sys, "class", "tty", name, "device", "latency_timer")

    def add_uart(self, name, uart_type, serial_core=True):
        """A built-in port; since Linux 6.5 the serial core's own devices stand between."""
        if serial_core:
            parent = os.path.join(self.sys, "devices", "pnp0", name)
            self.add(name, os.path.join(parent, "ctrl"), "serial-base/port", {})
            self.bind(os.path.join(parent, "ctrl"), "serial-base/ctrl")
            self.bind(parent, "pnp/serial")
        else:
            self.add(name, os.path.join(self.sys, "devices", "serial8250"), "platform/serial8250", {})
        write(os.path.join(self.sys, "class", "tty", name, "type"), str(uart_type))

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


class TapTest(unittest.TestCase):
    def setUp(self):
        self.top = tempfile.mkdtemp(prefix="taplinar-tap-")
        os.chmod(self.top, 0o755)
        self.m = FakeMachine(self.top)

    def tearDown(self):
        for name in list(self.m.ptys):
            self.m.unplug(name)
        self.tap()   # every device is gone: their ports leave the prefix
        shutil.rmtree(self.top)

    def tap(self, *devices, prefix=(), build=None, tap=TAP):
        return subprocess.run([*prefix, tap, "--build", build or BUILD, "--register-only", *devices],
                              env=dict(os.environ, TAP_SYSFS=self.m.sys, TAP_DEV=self.m.dev),
                              capture_output=True, text=True, timeout=120, cwd=self.top)

    def registered(self, *devices):
        """{kernel name: COM number} from tap.sh's table."""
        run = self.tap(*devices)
        self.assertEqual(run.returncode, 0, run.stderr)
        return {m.group(2): int(m.group(1)) for m in re.finditer(r"^COM(\d+)\s+(\S+)", run.stdout, re.M)}

    def port_list(self):
        """{COM number: (tool tip text, vendor id, product id)} as the program lists them."""
        run = subprocess.run([WINE_ENV, BUILD, "run", "wine", LIST_EXE], capture_output=True, timeout=60)
        self.assertEqual(run.returncode, 0, run.stderr)
        rows = [line.split("\t") for line in run.stdout.decode("cp932").splitlines()]
        return {int(com[3:]): (text, int(vid, 16), int(pid, 16)) for com, text, vid, pid in rows}

    def test_devices_are_listed_with_their_names_and_keep_their_numbers(self):
        m = self.m
        m.add_usb("ttyUSB0", "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio", FTDI_ID)
        m.add_usb("ttyACM0", "1-3", "2341", "0043", "秋月電子", "温度ロガー µ", "cdc_acm", LOGGER_ID)
        m.add_uart("ttyS0", 4)
        m.add_uart("ttyS1", 14, serial_core=False)
        m.add_uart("ttyS2", 0)   # a serial core port with no UART behind it
        # Ports another run left: a device that is gone, and a pty whose demo ended.
        demo_pty = os.openpty()
        self.addCleanup(lambda: [os.close(fd) for fd in demo_pty])
        for n, path in ((8, os.path.join(self.top, "gone")), (9, os.ttyname(demo_pty[1]))):
            subprocess.run([WINE_ENV, BUILD, "port", str(n), path], check=True, capture_output=True, timeout=60)
        first = self.registered()
        self.assertEqual(set(first), {"ttyUSB0", "ttyACM0", "ttyS0", "ttyS1"})
        self.assertEqual(len(set(first.values())), 4)
        ports = self.port_list()
        self.assertFalse({8, 9} & set(ports))
        self.assertEqual(ports[first["ttyUSB0"]], ("FTDI FT232R USB UART (COM%d)" % first["ttyUSB0"], 0x0403, 0x6001))
        self.assertEqual(ports[first["ttyACM0"]], ("秋月電子 温度ロガー μ (COM%d)" % first["ttyACM0"], 0x2341, 0x0043))
        self.assertEqual(ports[first["ttyS0"]], ("serial 16550A 通信ポート (ttyS0) (COM%d)" % first["ttyS0"], 0, 0))
        self.assertEqual(ports[first["ttyS1"]][0], "serial8250 NS16550A 通信ポート (ttyS1) (COM%d)" % first["ttyS1"])
        with open(m.latency_file("ttyUSB0")) as f:
            self.assertEqual(f.read().strip(), "1")

        # Named on the command line in another order, by by-id links too, one of them twice.
        self.assertEqual(self.registered(m.node("ttyS1"), m.node("ttyS0"), m.by_id(LOGGER_ID), m.node("ttyUSB0"),
                                         m.by_id(FTDI_ID)),
                         first)

        # The logger is unplugged; the FTDI adapter comes back as ttyUSB1, and a new adapter
        # without a serial number takes ttyUSB0.
        m.unplug("ttyACM0")
        m.unplug("ttyUSB0")
        m.add_usb("ttyUSB1", "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio", FTDI_ID)
        m.add_usb("ttyUSB0", "1-4", "1a86", "7523", "QinHeng", "USB Serial", "ch341")
        third = self.registered()
        self.assertEqual((third["ttyUSB1"], third["ttyS0"]), (first["ttyUSB0"], first["ttyS0"]))
        self.assertEqual(third["ttyUSB0"], first["ttyACM0"])   # the lowest number free again
        self.assertEqual(self.port_list()[third["ttyUSB0"]][1:], (0x1A86, 0x7523))

        m.unplug("ttyUSB0")
        self.assertNotIn("ttyUSB0", self.registered())
        self.assertNotIn(third["ttyUSB0"], self.port_list())

    def test_the_ports_of_a_test_run_leave_the_prefix_with_it(self):
        run = subprocess.run([os.path.join(ROOT, "tests/e2e/with_ports.sh"), BUILD, "wine", LIST_EXE], capture_output=True, timeout=120)
        self.assertEqual(run.stdout.decode("cp932").count("Test serial port"), 4, run.stderr)
        self.assertFalse({1, 2, 3, 4} & set(self.port_list()))

    @unittest.skipUnless(os.geteuid() == 0, "acting as another user needs root")
    def test_devices_the_user_cannot_open_are_reported_and_left_out(self):
        self.m.add_usb("ttyUSB0", "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "ftdi_sio")
        self.m.add_usb("ttyUSB1", "1-3", "0403", "6015", "FTDI", "FT230X Basic UART", "ftdi_sio")
        closed, other = (os.path.realpath(self.m.node(name)) for name in ("ttyUSB0", "ttyUSB1"))
        os.chown(closed, 0, grp.getgrnam("dialout").gr_gid)
        os.chmod(closed, 0o660)
        os.chmod(other, 0o600)
        # Copies of the scripts and a build tree of that user's own, where that user may go
        # (the checkout may not be).
        build = os.path.join(self.top, "build")
        os.mkdir(build)
        os.chown(build, pwd.getpwnam("nobody").pw_uid, -1)
        os.mkdir(os.path.join(self.top, "tools"))
        tap = shutil.copy(TAP, os.path.join(self.top, "tools"))
        shutil.copy(WINE_ENV, os.path.join(self.top, "tools"))
        as_nobody = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "env", "HOME=" + build]

        run = self.tap(prefix=as_nobody, build=build, tap=tap)
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn(self.m.node("ttyUSB0") + ": you (nobody) cannot open it", run.stderr)
        self.assertIn("crw-rw---- root:dialout", run.stderr)
        self.assertIn("sudo usermod -aG dialout nobody", run.stderr)
        self.assertIn("sudo chmod o+rw " + self.m.node("ttyUSB1"), run.stderr)
        self.assertFalse(os.path.exists(os.path.join(build, "wineprefix")))   # none opens: no Wine

        os.chmod(other, 0o666)
        run = self.tap(prefix=as_nobody, build=build, tap=tap)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertEqual(re.findall(r"^COM\d+\s+(\S+)", run.stdout, re.M), ["ttyUSB1"])
        # The latency timer is root's to set: the command is shown instead.
        self.assertIn("echo 1 | sudo tee " + self.m.latency_file("ttyUSB1"), run.stderr)


if __name__ == "__main__":
    BUILD, LIST_EXE = sys.argv[1:3]
    unittest.main(argv=sys.argv[:1], verbosity=2)
