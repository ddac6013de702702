#!/usr/bin/env python3
"""tools/package.sh on this tree's exe (the release build is left to the user's own run):
the zip holds the stripped static exe and the how-to, named for the exe's version, and the
packaged exe starts under Wine and shows its port settings dialog, which the photographs'
check finds in front.
usage: package_test.py BUILD TAPLINAR_EXE TAPCTL_EXE
"""
import os, re, shutil, subprocess, sys, tempfile, unittest, zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACKAGE, WINE_ENV = os.path.join(ROOT, "tools", "package.sh"), os.path.join(ROOT, "tools", "wine-env.sh")
PORT_DIALOG = "設定 - Taplinar"


def rc_version():
    with open(os.path.join(ROOT, "res", "taplinar.rc"), encoding="utf-8") as f:
        parts = re.search(r"^\s*FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", f.read(), re.M).groups()
    return ".".join(parts[:3] + ((parts[3],) if parts[3] != "0" else ()))


class PackageTest(unittest.TestCase):
    def setUp(self):
        self.out = tempfile.mkdtemp(prefix="taplinar-package-")
        self.addCleanup(shutil.rmtree, self.out)

    def test_zip_holds_the_stripped_exe_and_the_how_to_and_the_exe_starts(self):
        run = subprocess.run([PACKAGE, "--exe", EXE, "--out", self.out], capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        folder = "taplinar-%s" % rc_version()
        self.assertEqual(run.stdout.strip(), os.path.join(self.out, folder + "-win32.zip"))
        with zipfile.ZipFile(run.stdout.strip()) as z:
            self.assertEqual(sorted(z.namelist()), [folder + "/README.txt", folder + "/taplinar.exe"])
            z.extractall(self.out)
        with open(os.path.join(self.out, folder, "README.txt"), "rb") as f:
            how_to = f.read()
        self.assertTrue(how_to.startswith(b"\xef\xbb\xbf"))   # Notepad of any Windows reads it as UTF-8
        self.assertNotIn(b"\n", how_to.replace(b"\r\n", b""))
        self.assertIn("【使い方】", how_to.decode("utf-8-sig"))
        self.assertIn("How to use", how_to.decode("utf-8-sig"))

        exe = os.path.join(self.out, folder, "taplinar.exe")
        self.assertLess(os.path.getsize(exe), os.path.getsize(EXE) // 4)
        headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-h", "-p", exe], capture_output=True,
                                 text=True, check=True).stdout
        self.assertNotIn(".debug", headers)
        dlls = re.findall(r"DLL Name: (\S+)", headers)
        self.assertIn("KERNEL32.dll", dlls)
        # Static: only Windows' own DLLs, none of the compiler's run time.
        self.assertEqual([d for d in dlls if re.match(r"lib|mingw", d, re.I)], [])

        program = subprocess.Popen([WINE_ENV, BUILD, "run", "wine", exe], cwd=os.path.dirname(exe))
        self.addCleanup(lambda: program.poll() is None and program.kill())
        ctl = [WINE_ENV, BUILD, "run", "wine", TAPCTL]
        self.assertEqual(subprocess.run(ctl + ["wait", PORT_DIALOG], timeout=60).returncode, 0)
        # The photographs' check: the window in front is taken whole; once it is in front, one
        # behind it is refused (asked earlier, the main window may still be in front).
        area = subprocess.run(ctl + ["shows", PORT_DIALOG], capture_output=True, text=True, timeout=60).stdout
        self.assertRegex(area, r"^[2-9]\d\dx[2-9]\d\d\+\d+\+\d+\s*$")
        refused = subprocess.run(ctl + ["shows", "ログ設定 - Taplinar"], capture_output=True, timeout=60)
        self.assertEqual((refused.returncode, refused.stdout), (1, b""))
        self.assertEqual(subprocess.run(ctl + ["click", PORT_DIALOG, "2"], timeout=60).returncode, 0)   # Cancel ends it
        self.assertEqual(program.wait(timeout=30), 0)


if __name__ == "__main__":
    BUILD, EXE, TAPCTL = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=2)
