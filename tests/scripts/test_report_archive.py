"""A click on "Save report to Desktop" ends with the report archive on the
desktop, readable by the independent readers; the run's working area (in
the Windows folder's Temp for an elevated run, else in the temporary folder)
is gone with the archive in it, and the process exits with 0."""
import os
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winebed  # noqa: E402
import zipcheck  # noqa: E402


def find_window(env, title, timeout=60):
    deadline = time.time() + timeout
    while time.time() < deadline:
        r = subprocess.run(["xdotool", "search", "--name", "^%s$" % title], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ids = r.stdout.split()
        if ids:
            return ids[-1].decode()
        time.sleep(0.2)
    raise AssertionError("no window " + title)


def press(env, window, key):
    subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["xdotool", "key", key], env=env, check=True)


class ReportArchive(unittest.TestCase):
    def setUp(self):
        scratch = os.path.join(os.environ["VANTREL_BUILD"], "scripttests")
        os.makedirs(scratch, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix="report-archive-", dir=scratch)
        self.prefix = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(self.root, "prefix"))

    def tearDown(self):
        winebed.stop(self.prefix)
        subprocess.run(["rm", "-rf", self.root], check=False)

    def test_click_saves_the_archive_and_exits_with_zero(self):
        with winebed.Display() as display:
            env = winebed.wine_env(self.prefix, display.name)
            program = subprocess.Popen(["wine", os.environ["VANTREL_EXE"]], env=env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                press(env, find_window(env, "Vantrel Helper V2"), "space")
                press(env, find_window(env, "Information", timeout=300), "Return")
                code = program.wait(timeout=60)
            finally:
                if program.poll() is None:
                    program.kill()
        self.assertEqual(code, 0)

        desktop = os.path.join(winebed.desktop_dir(self.prefix), "Vantrel_Debug_Info.zip")
        temp = winebed.temp_dir(self.prefix)
        windows_temp = os.path.join(winebed.drive_c(self.prefix), "windows", "temp")
        for folder in (temp, windows_temp):
            left = [n for n in os.listdir(folder) if n.startswith("GetInfoDir") or n.startswith("Vantrelt_Debug_Info")]
            self.assertEqual(left, [], folder)
        self.assertEqual([n for n in os.listdir(os.path.dirname(desktop)) if n != "Vantrel_Debug_Info.zip"], [])

        with zipfile.ZipFile(desktop) as z:
            names = z.namelist()
            report = z.read("Vantrel_Debug_Info.txt")
        self.assertTrue(report.startswith(b"\xff\xfe" + "Version:".encode("utf-16-le")))
        zipcheck.test_readers(desktop, len(names))


if __name__ == "__main__":
    unittest.main()
