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
import ntpath
import os
import unittest
import zipfile

import product
from prefix_case import PrivatePrefixCase
import tooldriver
import winebed
import xdisplay
import zipcheck

FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]
EXE = os.environ["VANTREL_EXE"]
GUIPROBE = os.path.join(FIXTURES, "guiprobe", "guiprobe.exe")
JOBRUN = os.path.join(FIXTURES, "jobrun", "jobrun.exe")
A_RUN = 600  # seconds a whole run may take on a loaded machine


# Per folder of the archive: the files seeded below the folder its copies
# come from, and whether the collection copies them.
SEEDED = {
    "AppPath": {
        r"Vantrel.log": True,
        r"crashnote.txt": True,
        r"Aerovell\logs\a.log": True,
        r"Aerovell\logs\notes.txt": False,
        r"Vantrel.exe": False,
    },
    "Updater": {
        ntpath.basename(product.UPDATER_EXE): False,
        r"Fetcher.log": True,
        r"update\stageplan.spt": True,
    },
    "AppData": {
        r"DataBase\main.db": True,
        r"DataBase\history.txt": False,
        r"Sync\s1.dat": True,
        r"Sync\HISTORY.TXT": False,
        r"core.ini": True,
        r"log\Vantrel.log": True,
        r"log\Vantrel.log.bak1": True,
        r"Pulls.db": True,
        r"handset vault\loose.bin": False,
        r"handset vault\A\a1.bin": True,
        r"handset vault\A\history.txt": False,
        r"handset vault\A\deeper\x.bin": False,
        r"handset vault\B\b1.bin": True,
    },
    "iTunesDll": {
        r"ASL.dll": True,
        r"CoreFoundation.dll": True,
        r"libicuuc.dll": True,
    },
}


def seed_files():
    """Windows path -> archive member of its copy (None: not in the archive)."""
    sources = product.collected_folders()
    return {sources[folder] + "\\" + name: folder + "/" + name.replace("\\", "/") if copied else None
            for folder, files in SEEDED.items() for name, copied in files.items()}


def seed_links():
    """A link the user could place among the product's folders, pointing at a
    folder of another account: nothing is read through it into the archive."""
    return {product.roaming_dir() + r"\handset vault\C": SECRET_FOLDER}


SECRET_FOLDER = r"C:\secret"


def content_for(path):
    """Distinct bytes per file, binary ones included."""
    return path.encode("utf-8") + bytes(range(256)) * (1 + len(path) % 7)


class ReportCollection(PrivatePrefixCase):
    PREFIX_NAME = "collection"

    @classmethod
    def prepare(cls):
        winebed.import_registry(cls.prefix, product.installed_registry())
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
        with xdisplay.Display() as display, tooldriver.ToolRun(EXE, self.prefix, display, GUIPROBE) as tool:
            tool.start()
            tool.press_button()
            box = tool.message_box(A_RUN)
            code = tool.wait(60)
        self.assertEqual(box.get("caption"), product.INFORMATION, "no success message: %r" % box)
        self.assertEqual(code, 0)
        desktop = os.path.join(winebed.desktop_dir(self.prefix), product.ARCHIVE)
        self.assertEqual(box["text"], product.saved_message(product.desktop_target()))

        expected = {member: path for path, member in seed_files().items() if member}
        with zipfile.ZipFile(desktop) as archive:
            files = {name for name in archive.namelist() if not name.endswith("/")}
            self.assertEqual(files, set(expected) | {product.REPORT, product.SYSTEM_INFO})
            for member, path in expected.items():
                self.assertEqual(archive.read(member), content_for(path), member)
            report = archive.read(product.REPORT)
            system = archive.read(product.SYSTEM_INFO)
        self.assertTrue(report.startswith(b"\xff\xfe" + "Version:".encode("utf-16-le")))
        self.assertEqual(system[:2], b"\xff\xfe")
        self.assertEqual(system[2:].decode("utf-16-le").split("\r\n")[1:3], ["", "===== System ====="])
        with zipfile.ZipFile(desktop) as archive:
            zipcheck.check_readers(desktop, len(archive.namelist()))
        temp = winebed.temp_dir(self.prefix)
        windows_temp = os.path.join(winebed.drive_c(self.prefix), "windows", "temp")
        for folder in (temp, windows_temp):
            self.assertEqual([n for n in os.listdir(folder) if n.startswith(product.WORK_FOLDER)], [], folder)
        self.assertEqual([n for n in os.listdir(temp) if n.startswith("SystemInfo_")], [])

    def test_2_progress_steps_arrive_in_order(self):
        target = "C:\\jobrun\\" + product.ARCHIVE
        os.makedirs(os.path.dirname(winebed.unix_path(self.prefix, target)), exist_ok=True)
        code, text = winebed.run_program(self.env, [JOBRUN, target], timeout=600)
        self.assertEqual(code, 0, text)
        # GENINFO_START with 10, GENINFO_STEP 1 to 7, GENINFO_DONE
        self.assertEqual(winebed.last_json(text)["messages"], "0:10,1:1,1:2,1:3,1:4,1:5,1:6,1:7,2:0")
        self.assertTrue(os.path.isfile(winebed.unix_path(self.prefix, target)))


if __name__ == "__main__":
    unittest.main()
