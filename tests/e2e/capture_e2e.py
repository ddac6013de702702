#!/usr/bin/env python3
"""A capture recorded by taplinar.exe, read back by tshark: a Modbus RTU master and slave
talk through it while the slave raises RTS for each reply; a second run appends a section.
usage (inside with_ports.sh): capture_e2e.py BUILD TAPLINAR_EXE TAPCTL_EXE
"""
import os, re, shutil, subprocess, sys, tempfile, unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path += [os.path.join(ROOT, "bench", "relay"), os.path.join(ROOT, "tests", "monitor", "host")]
import program_rig  # noqa: E402

FIELDS = ["frame.section_number", "frame.interface_id", "frame.time_epoch", "rtacser.eventtype", "rtacser.cts",
          "rtacser.rts", "mbrtu.crc16.status", "_ws.col.Info"]
DATA, LINES, END = ("0x01", "0x02"), "0x00", "0x06"


def read_capture(path):
    run = subprocess.run(["tshark", "-r", path, "-d", "rtacser.data,mbrtu", "-o", "mbrtu.crc_verification:TRUE",
                          "-T", "fields", "-E", "separator=/t"] + sum([["-e", f] for f in FIELDS], []),
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 0 and "appears to" not in run.stderr, run.stderr
    return [dict(zip(FIELDS, line.split("\t"))) for line in run.stdout.splitlines()]


def devsim(port, role, *extra):
    return subprocess.Popen([sys.executable, os.path.join(ROOT, "tools", "devsim.py"), "--port", port, "--role", role,
                             "--modbus", "4", "--verify", "--lines", os.environ["TAPLINAR_NULL_MODEM"], *extra],
                            stderr=subprocess.PIPE, text=True)


class CaptureTest(unittest.TestCase):
    def test_modbus_exchange_line_changes_and_appended_section_as_tshark_reads_them(self):
        ports = os.path.dirname(os.environ["TAPLINAR_NULL_MODEM"])
        path = os.path.join(tempfile.mkdtemp(prefix="taplinar-capture-"), "modbus.pcapng")
        self.addCleanup(shutil.rmtree, os.path.dirname(path))
        program = program_rig.Program(BUILD, EXE, CTL, [])
        ini = program_rig.ini_text().replace("speed=8", "speed=0")   # 4800 bit/s: a 7.3 ms frame gap
        record = ["/record", "Z:" + path.replace("/", "\\")]
        for run in (1, 2):
            self.assertTrue(program.start(ini, record), "run %d: the ports did not open" % run)
            if run == 1:
                slave = devsim(os.path.join(ports, "com4"), "instrument")
                master = devsim(os.path.join(ports, "com3"), "host", "--seconds", "4")
                _, err = master.communicate(timeout=60)
                slave.terminate()
                slave.communicate(timeout=10)
                self.assertEqual(master.returncode, 0, err)
                exchanges = int(re.search(r"host: (\d+) exchanges", err).group(1))
            program.quit()
        rows = read_capture(path)

        first = [r for r in rows if r["frame.section_number"] == "1"]
        data = [r for r in first if r["rtacser.eventtype"] in DATA]
        self.assertEqual(len(data), 2 * exchanges)
        for i, r in enumerate(data):
            kind = ("Query", "Response")[i % 2]
            self.assertEqual((r["frame.interface_id"], r["rtacser.eventtype"]), (str(i % 2), DATA[i % 2]), r)
            self.assertTrue(r["_ws.col.Info"].strip().startswith(kind), r)
            self.assertEqual(r["mbrtu.crc16.status"], "1", r)
        times = [float(r["frame.time_epoch"]) for r in first]
        self.assertEqual(times, sorted(times))
        # The slave's RTS is port2's CTS, and the RTS the program drives on port1.
        lines = [(r["frame.interface_id"], r["rtacser.cts"], r["rtacser.rts"]) for r in first
                 if r["rtacser.eventtype"] == LINES]
        for state in ("1", "0"):
            self.assertIn(("1", state, "0"), lines)
            self.assertIn(("0", "0", state), lines)
        for section in ("1", "2"):
            ends = [r["frame.interface_id"] for r in rows if r["frame.section_number"] == section
                    and r["rtacser.eventtype"] == END]
            self.assertEqual(ends, ["0", "1"], "section %s" % section)
        self.assertEqual(rows[-1]["frame.section_number"], "2")


if __name__ == "__main__":
    BUILD, EXE, CTL = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
