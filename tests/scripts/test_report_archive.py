"""A click on "Save report to Desktop" ends with the report archive on the
desktop, readable by the independent readers; the run's working area (in
the Windows folder's Temp for an elevated run, else in the temporary folder)
is gone with the archive in it, and the process exits with 0."""
import os
import shutil
import tempfile
import unittest
import zipfile

import product
import tooldriver
import winebed
import xdisplay
import zipcheck

GUIPROBE = os.path.join(os.environ["VANTREL_FIXTURE_DIR"], "guiprobe", "guiprobe.exe")


class ReportArchive(unittest.TestCase):
    def setUp(self):
        scratch = os.path.join(os.environ["VANTREL_BUILD"], "scripttests")
        os.makedirs(scratch, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix="report-archive-", dir=scratch)
        self.prefix = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(self.root, "prefix"))

    def tearDown(self):
        winebed.stop(self.prefix)
        shutil.rmtree(self.root, ignore_errors=True)

    def test_click_saves_the_archive_and_exits_with_zero(self):
        with xdisplay.Display() as display, \
                tooldriver.ToolRun(os.environ["VANTREL_EXE"], self.prefix, display, GUIPROBE) as tool:
            tool.start()
            tool.press_button()
            box = tool.message_box(300)
            code = tool.wait(60)
        self.assertEqual(box.get("caption"), product.INFORMATION, box)
        self.assertEqual(code, 0)

        desktop = os.path.join(winebed.desktop_dir(self.prefix), product.ARCHIVE)
        temp = winebed.temp_dir(self.prefix)
        windows_temp = os.path.join(winebed.drive_c(self.prefix), "windows", "temp")
        for folder in (temp, windows_temp):
            left = [n for n in os.listdir(folder) if n.startswith(product.WORK_FOLDER) or n.startswith(product.TEMP_ARCHIVE[:-4])]
            self.assertEqual(left, [], folder)
        self.assertEqual([n for n in os.listdir(os.path.dirname(desktop)) if n != product.ARCHIVE], [])

        with zipfile.ZipFile(desktop) as z:
            names = z.namelist()
            report = z.read(product.REPORT)
        self.assertTrue(report.startswith(b"\xff\xfe" + "Version:".encode("utf-16-le")))
        zipcheck.check_readers(desktop, len(names))


if __name__ == "__main__":
    unittest.main()
