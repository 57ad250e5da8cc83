#!/usr/bin/env python3
"""A whole report run on a seeded product, as a user starts it.

A private prefix holds the product's install folder and uninstall entry, a
registered updater, the roaming data tree (databases, sync files, logs,
per-device folders, "history.txt" files, a file directly in "handset vault"
and one a level too deep) and the Apple support libraries. The tool runs
under Xvfb; a key press on its button starts the run. The archive on the
desktop must hold the text report, "SystemInfo.txt" and byte-identical
copies of exactly the files the collection names, and pass the independent
readers; the success message names the target and the process exits with 0.
The jobrun fixture then runs the same job in one process and records the
progress messages."""
import json
import os
import subprocess
import tempfile
import unittest
import zipfile

import winebed
import zipcheck

BUILD = os.environ["VANTREL_BUILD"]
FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]
EXE = os.environ["VANTREL_EXE"]
GUIPROBE = os.path.join(FIXTURES, "guiprobe", "guiprobe.exe")
JOBRUN = os.path.join(FIXTURES, "jobrun", "jobrun.exe")
CAPTION = "Vantrel Helper V2"

INSTALL = r"C:\Program Files (x86)\Vantrel"
UPDATER = r"C:\Program Files (x86)\Vantrel Updater"
APPLE = r"C:\Program Files (x86)\Common Files\Apple\Apple Application Support"

# Imported into the 64-bit view, so the 32-bit entries are written below
# Wow6432Node, where the product's 32-bit installers put them.
SEED_REG = r"""Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel_is1]
"InstallLocation"="C:\\Program Files (x86)\\Vantrel"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Vantrel\Vantrel Updater]
"AppPath"="C:\\Program Files (x86)\\Vantrel Updater\\VNTUpdater.exe"
"""


def roaming():
    return r"C:\users\%s\AppData\Roaming\Vantrel\VNT" % winebed.user_name()


def seed_files():
    """Windows path -> archive member of its copy (None: not in the archive)."""
    vnt = roaming()
    return {
        INSTALL + r"\Vantrel.log": "AppPath/Vantrel.log",
        INSTALL + r"\crashnote.txt": "AppPath/crashnote.txt",
        INSTALL + r"\Aerovell\logs\a.log": "AppPath/Aerovell/logs/a.log",
        INSTALL + r"\Aerovell\logs\notes.txt": None,
        INSTALL + r"\Vantrel.exe": None,
        UPDATER + r"\VNTUpdater.exe": None,
        UPDATER + r"\Fetcher.log": "Updater/Fetcher.log",
        UPDATER + r"\update\stageplan.spt": "Updater/update/stageplan.spt",
        vnt + r"\DataBase\main.db": "AppData/DataBase/main.db",
        vnt + r"\DataBase\history.txt": None,
        vnt + r"\Sync\s1.dat": "AppData/Sync/s1.dat",
        vnt + r"\Sync\HISTORY.TXT": None,
        vnt + r"\core.ini": "AppData/core.ini",
        vnt + r"\log\Vantrel.log": "AppData/log/Vantrel.log",
        vnt + r"\log\Vantrel.log.bak1": "AppData/log/Vantrel.log.bak1",
        vnt + r"\Pulls.db": "AppData/Pulls.db",
        vnt + r"\handset vault\loose.bin": None,
        vnt + r"\handset vault\A\a1.bin": "AppData/handset vault/A/a1.bin",
        vnt + r"\handset vault\A\history.txt": None,
        vnt + r"\handset vault\A\deeper\x.bin": None,
        vnt + r"\handset vault\B\b1.bin": "AppData/handset vault/B/b1.bin",
        APPLE + r"\ASL.dll": "iTunesDll/ASL.dll",
        APPLE + r"\CoreFoundation.dll": "iTunesDll/CoreFoundation.dll",
        APPLE + r"\libicuuc.dll": "iTunesDll/libicuuc.dll",
    }


def seed_links():
    """A link the user could place among the product's folders, pointing at a
    folder of another account: nothing is read through it into the archive."""
    return {roaming() + r"\handset vault\C": SECRET_FOLDER}


SECRET_FOLDER = r"C:\secret"


def content_for(path):
    """Distinct bytes per file, binary ones included."""
    return path.encode("utf-8") + bytes(range(256)) * (1 + len(path) % 7)


class ReportCollection(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = os.path.join(BUILD, "e2e", "collection")
        cls.prefix = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(cls.root, "prefix"))
        cls.env = winebed.wine_env(cls.prefix)
        try:
            cls.seed()
        except BaseException:
            winebed.stop(cls.prefix)
            raise

    @classmethod
    def tearDownClass(cls):
        winebed.stop(cls.prefix)

    @classmethod
    def seed(cls):
        with tempfile.NamedTemporaryFile("w", suffix=".reg", dir=cls.root, delete=False, newline="\r\n",
                                         encoding="utf-16") as f:
            f.write(SEED_REG)
        result = subprocess.run(["wine", "reg", "import", winebed.windows_path(f.name), "/reg:64"], env=cls.env,
                                capture_output=True, timeout=300)
        os.unlink(f.name)
        assert result.returncode == 0, result.stdout
        for path in seed_files():
            unix = winebed.unix_path(cls.prefix, path)
            os.makedirs(os.path.dirname(unix), exist_ok=True)
            with open(unix, "wb") as out:
                out.write(content_for(path))
        secret = winebed.unix_path(cls.prefix, SECRET_FOLDER)
        os.makedirs(secret, exist_ok=True)
        with open(os.path.join(secret, "other-account.txt"), "wb") as out:
            out.write(b"not for the archive")
        for link, pointee in seed_links().items():
            os.symlink(winebed.unix_path(cls.prefix, pointee), winebed.unix_path(cls.prefix, link))

    def test_1_click_saves_the_archive_with_every_copy(self):
        with winebed.Display() as display:
            tool = winebed.ToolRun(EXE, self.prefix, display.name, guiprobe=GUIPROBE).start()
            try:
                window = tool.probe("describe", CAPTION, 120000)
                button = [c for c in window.get("children", []) if c["text"] == "Save report to Desktop"]
                self.assertTrue(button, "no button")
                x, y, w, h = button[0]["screen_rect"]
                tool.click_at(x + w // 2, y + h // 2)
                box = tool.probe("dialog", "Information", 600000)
                self.assertTrue(box["found"], "no success message")
                tool.press_return(tool.find_x_window("Information"))
                code = tool.wait(60)
            finally:
                tool.kill()
        self.assertEqual(code, 0)
        desktop = os.path.join(winebed.desktop_dir(self.prefix), "Vantrel_Debug_Info.zip")
        target = r"C:\users\%s\Desktop\Vantrel_Debug_Info.zip" % winebed.user_name()
        self.assertEqual(box["text"], "The info file: Vantrel_Debug_Info.zip has been saved to your desktop.\r" + target)

        expected = {member: path for path, member in seed_files().items() if member}
        with zipfile.ZipFile(desktop) as archive:
            files = {name for name in archive.namelist() if not name.endswith("/")}
            self.assertEqual(files, set(expected) | {"Vantrel_Debug_Info.txt", "SystemInfo.txt"})
            for member, path in expected.items():
                self.assertEqual(archive.read(member), content_for(path), member)
            report = archive.read("Vantrel_Debug_Info.txt")
            system = archive.read("SystemInfo.txt")
        self.assertTrue(report.startswith(b"\xff\xfe" + "Version:".encode("utf-16-le")))
        self.assertEqual(system[:2], b"\xff\xfe")
        self.assertEqual(system[2:].decode("utf-16-le").split("\r\n")[1:3], ["", "===== System ====="])
        zipcheck.test_readers(desktop, len(zipfile.ZipFile(desktop).namelist()))
        temp = winebed.temp_dir(self.prefix)
        windows_temp = os.path.join(winebed.drive_c(self.prefix), "windows", "temp")
        for folder in (temp, windows_temp):
            self.assertEqual([n for n in os.listdir(folder) if n.startswith("GetInfoDir")], [], folder)
        self.assertEqual([n for n in os.listdir(temp) if n.startswith("SystemInfo_")], [])

    def test_2_progress_steps_arrive_in_order(self):
        target = r"C:\jobrun\Vantrel_Debug_Info.zip"
        os.makedirs(os.path.dirname(winebed.unix_path(self.prefix, target)), exist_ok=True)
        with tempfile.TemporaryFile() as out:
            result = subprocess.run(["wine", JOBRUN, target], env=self.env, stdout=out, stderr=subprocess.DEVNULL,
                                    timeout=600)
            out.seek(0)
            text = out.read().decode("utf-8", "replace").strip()
        self.assertEqual(result.returncode, 0, text)
        # GENINFO_START with 10, GENINFO_STEP 1 to 7, GENINFO_DONE
        self.assertEqual(json.loads(text.splitlines()[-1])["messages"], "0:10,1:1,1:2,1:3,1:4,1:5,1:6,1:7,2:0")
        self.assertTrue(os.path.isfile(winebed.unix_path(self.prefix, target)))

if __name__ == "__main__":
    unittest.main()
