#!/usr/bin/env python3
"""Whole runs of the tool, clicked as a user would, after the unelevated
user planted things in the places the run works in, and on machines set up
in ordinary ways that look alike.

The product is installed in a private prefix (uninstall entry, a log in its
install folder, roaming settings, an Apple library) and started from the
user's Downloads folder, a folder that user controls. A canary folder outside
every folder the run may use holds a secret file, a "GetInfoDir" folder and a
file with the temporary archive's name; their bytes, times and the listing
are recorded before each run and must be the same after it. Links are made
from the Unix side: Wine shows a Unix symbolic link to a folder as a
reparse point (where Windows would have a junction), one to a file as a plain
file, and `os.link` makes real hard links.

Each run must end with the success message naming the desktop target, and
the archive there must hold exactly the report, "SystemInfo.txt" and the
seeded copies, pass zipfile and `unzip -t` (and the other readers), and hold
no byte of the canary. So must runs on ordinary machines that look like an
attack: a Desktop reached through a folder link, and a tool folder where no
log can be written. An old archive held open by a viewer is either not the
run's (the temporary one: the run saves its own) or fails the run cleanly
(the one on the desktop)."""
import hashlib
import os
import shutil
import stat
import subprocess
import tempfile
import unittest
import zipfile

import product
from prefix_case import PrivatePrefixCase
import tooldriver
import winebed
import xdisplay
import zipcheck

FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]
GUIPROBE = os.path.join(FIXTURES, "guiprobe", "guiprobe.exe")
FILE_LOCKER = os.path.join(FIXTURES, "file_locker", "file_locker.exe")
A_RUN = 900  # seconds a whole run may take on a loaded machine

CANARY = r"C:\canary"
SECRET = b"canary secret: not for the archive"
# The canary's files below CANARY: the names a run that trusts names would
# write, empty or pack when it is led there.
CANARY_FILES = {
    "secret.txt": SECRET,
    "GetInfoDir\\keep.txt": SECRET + b" (kept)",
    product.TEMP_ARCHIVE: SECRET + b" (archive name)",
}
# Seeded product files -> their members in the archive.
SEEDED = product.SMALL_PRODUCT
MEMBERS = {product.REPORT, product.SYSTEM_INFO} | set(SEEDED.values())
LOG_NAME = "VantrelInfoHelpV2"
ENVIRONMENT_KEY = r"HKCU\Environment"


def remove(path):
    """Removes a planted file, link or folder; never follows a link."""
    if os.path.islink(path) or os.path.isfile(path):
        os.unlink(path)
    elif os.path.isdir(path):
        shutil.rmtree(path)


def unlock(folder):
    """Makes what an immutable folder below `folder` held removable again."""
    if os.path.isdir(folder):
        subprocess.run(["chattr", "-R", "-i", folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def snapshot(folder):
    """Every entry below `folder` (the folder itself as ""): its kind, the
    digest of a file's bytes, its size, link count and modification time."""
    def entry(path):
        info = os.lstat(path)
        digest = None
        if stat.S_ISREG(info.st_mode):
            with open(path, "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
        return (stat.S_IFMT(info.st_mode), digest, info.st_size, info.st_nlink, info.st_mtime_ns)
    tree = {"": entry(folder)}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            tree[os.path.relpath(path, folder)] = entry(path)
    return tree


class ToolAgainstPlants(PrivatePrefixCase):
    PREFIX_NAME = "tool-plants"

    @classmethod
    def prepare(cls):
        product.seed_small_product(cls.prefix)
        cls.canary = winebed.unix_path(cls.prefix, CANARY)
        for name, data in CANARY_FILES.items():
            path = os.path.join(cls.canary, *name.split("\\"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        cls.tool_dir = winebed.unix_path(cls.prefix, "C:\\users\\%s\\Downloads" % winebed.user_name())
        os.makedirs(cls.tool_dir, exist_ok=True)
        cls.exe = os.path.join(cls.tool_dir, "VantrelInfoHelpV2.exe")
        shutil.copyfile(os.environ["VANTREL_EXE"], cls.exe)
        cls.desktop = winebed.desktop_dir(cls.prefix)
        cls.target = os.path.join(cls.desktop, product.ARCHIVE)
        cls.temp = winebed.temp_dir(cls.prefix)
        cls.windows_temp = os.path.join(winebed.drive_c(cls.prefix), "windows", "temp")
        cls.scratch = os.path.join(cls.root, "scratch")
        unlock(cls.scratch)  # left by an interrupted run
        remove(cls.scratch)

    def setUp(self):
        for folder in (self.desktop, self.temp, self.windows_temp, self.tool_dir):
            os.makedirs(folder, exist_ok=True)
        self.baseline = {folder: set(os.listdir(folder)) for folder in (self.temp, self.windows_temp, self.tool_dir)}
        self.canary_before = snapshot(self.canary)
        self.temp_changed = False
        self.run_exe = self.exe
        self.addCleanup(self.restore)

    def restore(self):
        """Everything a case planted goes; the prefix is as prepared."""
        profile = winebed.user_dir(self.prefix)
        if os.path.islink(profile):
            moved = os.readlink(profile)
            os.unlink(profile)
            os.rename(moved, profile)
        if os.path.islink(self.desktop):
            os.unlink(self.desktop)
        os.makedirs(self.desktop, exist_ok=True)
        for name in os.listdir(self.desktop):
            remove(os.path.join(self.desktop, name))
        for folder, names in self.baseline.items():
            for name in set(os.listdir(folder)) - names:
                remove(os.path.join(folder, name))
        unlock(self.scratch)
        remove(self.scratch)
        self.run_exe = self.exe
        if self.temp_changed:
            self.set_temp(None)

    # ---- planting --------------------------------------------------------

    def work_folder_places(self):
        """The folders where a run that trusts names put "GetInfoDir": the
        user's temporary folder, the tool's folder, and the Windows folder's
        Temp."""
        return (self.temp, self.tool_dir, self.windows_temp)

    def canary_path(self, name=""):
        return os.path.join(self.canary, *name.split("\\")) if name else self.canary

    def set_temp(self, windows_folder):
        """TEMP and TMP of the user's environment (None: the prefix's own)."""
        value = windows_folder or "C:\\users\\%s\\Temp" % winebed.user_name()
        self.temp_changed = windows_folder is not None
        for name in ("TEMP", "TMP"):
            subprocess.run(["wine", "reg", "add", ENVIRONMENT_KEY, "/v", name, "/t", "REG_SZ", "/d", value, "/f"],
                           env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                           timeout=300)

    def plant_links_inside_work_folders(self):
        for place in self.work_folder_places():
            os.makedirs(os.path.join(place, product.WORK_FOLDER))
            os.symlink(self.canary, os.path.join(place, product.WORK_FOLDER, "AppData"))
            os.symlink(self.canary_path("GetInfoDir"), os.path.join(place, product.WORK_FOLDER, "linked"))

    def plant_work_folder_files(self):
        for place in self.work_folder_places():
            with open(os.path.join(place, product.WORK_FOLDER), "wb") as f:
                f.write(b"a file with the working folder's name")

    def plant_work_folder_links(self):
        for place in self.work_folder_places():
            os.symlink(self.canary_path("GetInfoDir"), os.path.join(place, product.WORK_FOLDER))

    def plant_links_at_archive_names(self):
        os.symlink(self.canary_path("secret.txt"), self.target)
        for place in self.work_folder_places():
            os.symlink(self.canary_path(product.TEMP_ARCHIVE), os.path.join(place, product.TEMP_ARCHIVE))

    def plant_hard_link_at_target(self):
        os.link(self.canary_path("secret.txt"), self.target)

    def plant_temp_at_canary(self):
        self.set_temp(CANARY)
        # A program started now sees it.
        self.assertEqual(winebed.run_program(self.env, ["cmd", "/c", "echo", "%TEMP%"], 300), (0, CANARY))

    def plant_desktop_through_folder_link(self):
        """The profile's Desktop is a folder link to a folder on another
        "disk", as after moving the profile's folders."""
        moved = os.path.join(self.scratch, "moved desktop")
        os.makedirs(moved)
        os.rmdir(self.desktop)
        os.symlink(moved, self.desktop)

    def plant_profile_through_folder_link(self):
        """The whole profile (its desktop, roaming data and Downloads with the
        tool) is a folder link to a folder on another "disk", as after
        moving the profile."""
        profile = winebed.user_dir(self.prefix)
        moved = os.path.join(self.scratch, "moved profile")
        os.makedirs(self.scratch, exist_ok=True)
        os.rename(profile, moved)
        os.symlink(moved, profile)

    def plant_session_without_desktop(self):
        """No desktop folder for the session: the shell names none, and the
        archive goes into the tool's own folder."""
        os.rmdir(self.desktop)

    def plant_log_names_taken_by_folders(self):
        """The log beside the tool, and every other name it may take, cannot
        be written: each is a folder."""
        for n in range(0, 101):
            os.makedirs(os.path.join(self.tool_dir, LOG_NAME + ("_%d" % n if n else "") + ".log"))

    def plant_tool_in_unwritable_folder(self):
        """The tool started from a folder where nothing can be created. Wine
        enforces neither ACLs nor, for root, the read-only attribute; an
        immutable folder stops every writer."""
        folder = os.path.join(self.scratch, "unwritable tool folder")
        os.makedirs(folder)
        shutil.copyfile(self.exe, os.path.join(folder, os.path.basename(self.exe)))
        if subprocess.run(["chattr", "+i", folder], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode != 0:
            self.skipTest("no immutable folders here")
        self.run_exe = os.path.join(folder, os.path.basename(self.exe))

    def log_files_beside_the_tool(self):
        folder = os.path.dirname(self.run_exe)
        return [n for n in os.listdir(folder)
                if os.path.isfile(os.path.join(folder, n)) and n != os.path.basename(self.exe)]

    # ---- running and checking --------------------------------------------

    def run_tool(self, hold=None):
        """Clicks the button; the message box (closed) and the exit code (None
        while the window stays open). With `hold`, a viewer in the same
        session holds that file open without sharing for the whole run."""
        with xdisplay.Display() as display, tooldriver.ToolRun(self.run_exe, self.prefix, display, GUIPROBE) as tool, \
                tempfile.TemporaryFile() as said:
            viewer = None
            if hold is not None:
                viewer = subprocess.Popen(["wine", FILE_LOCKER, winebed.windows_path(hold), "viewer", str(A_RUN)],
                                          env=tool.env, stdout=said, stderr=subprocess.DEVNULL)
                self.wait_until_held(viewer, said)
            try:
                tool.start()
                tool.press_button()
                box = tool.message_box(A_RUN)
                code = tool.wait(60 if box.get("caption") == product.INFORMATION else 2)
            finally:
                if viewer is not None:
                    viewer.kill()
                    viewer.wait()
        return box, code

    def wait_until_held(self, viewer, said):
        while viewer.poll() is None:
            said.seek(0)
            if b"ready" in said.read():
                return
            try:
                viewer.wait(0.2)
            except subprocess.TimeoutExpired:
                pass
        self.fail("the viewer could not hold its file (exit code %s)" % viewer.returncode)

    def assert_canary_untouched(self):
        self.assertEqual(snapshot(self.canary), self.canary_before, "the canary folder changed")

    def assert_saved(self, box, code, target=None, message=None):
        """The success message (`message`, else the desktop's), exit code 0,
        and the whole archive at the target (the desktop's by default) with
        nothing of the canary."""
        target = target or self.target
        self.assertEqual(box.get("caption"), product.INFORMATION, "no success message: %r" % box)
        self.assertEqual(box["text"], message or product.saved_message(product.desktop_target()))
        self.assertEqual(code, 0)
        self.assertFalse(os.path.islink(target))
        self.assertEqual(os.stat(target).st_nlink, 1)
        with zipfile.ZipFile(target) as archive:
            self.assertIsNone(archive.testzip())
            files = [name for name in archive.namelist() if not name.endswith("/")]
            self.assertEqual(sorted(files), sorted(MEMBERS))
            for name in files:
                self.assertNotIn(SECRET, archive.read(name), name)  # every canary file begins with it
            count = len(archive.namelist())
        zipcheck.check_readers(target, count)
        # Nothing but the archive joined its folder (the tool's own folder
        # holds the tool and its log too).
        folder = os.path.dirname(target)
        expected = {product.ARCHIVE}
        if os.path.realpath(folder) == os.path.realpath(self.tool_dir):
            expected |= self.baseline[self.tool_dir] | set(self.log_files_beside_the_tool())
        self.assertEqual(set(os.listdir(folder)), expected)

    def assert_no_area_left(self):
        for folder, names in self.baseline.items():
            left = [n for n in set(os.listdir(folder)) - names if n.startswith(product.WORK_FOLDER + ".")]
            self.assertEqual(left, [], folder)

    # ---- the cases ---------------------------------------------------------

    def test_1_planted_links_and_names_lead_nowhere(self):
        cases = (
            ("folder links inside GetInfoDir", self.plant_links_inside_work_folders),
            ("GetInfoDir is a file", self.plant_work_folder_files),
            ("GetInfoDir is a folder link", self.plant_work_folder_links),
            ("links at the target's and the temporary archive's names", self.plant_links_at_archive_names),
            ("a hard link at the target", self.plant_hard_link_at_target),
            ("TEMP points at the canary", self.plant_temp_at_canary),
        )
        for name, plant in cases:
            with self.subTest(name):
                try:
                    plant()
                    box, code = self.run_tool()
                    self.assert_canary_untouched()
                    self.assert_saved(box, code)
                    self.assert_no_area_left()
                finally:
                    self.restore()
                    self.canary_before = snapshot(self.canary)

    def test_2_the_canary_check_catches_a_write_through_a_link(self):
        # What a copy that follows the planted link at the target would do.
        self.plant_links_at_archive_names()
        with open(self.target, "wb") as f:
            f.write(b"PK\x05\x06" + b"\0" * 18)
        with self.assertRaises(AssertionError):
            self.assert_canary_untouched()
        with open(self.canary_path("secret.txt"), "wb") as f:
            f.write(SECRET)

    def test_3_ordinary_machines_save_the_whole_archive(self):
        moved_target = os.path.join(self.scratch, "moved desktop", product.ARCHIVE)
        moved_profile_target = os.path.join(self.scratch, "moved profile", "Desktop", product.ARCHIVE)
        tool_folder_target = os.path.join(self.tool_dir, product.ARCHIVE)
        in_tool_folder = product.saved_message(
            "C:\\users\\%s\\Downloads\\%s" % (winebed.user_name(), product.ARCHIVE), on_desktop=False)
        # name, plant, where the archive lands (None: the desktop), the
        # message (None: the desktop's), whether a log can be written beside
        # the tool
        cases = (
            ("the Desktop reached through a folder link", self.plant_desktop_through_folder_link, moved_target, None,
             True),
            ("the whole profile reached through a folder link", self.plant_profile_through_folder_link,
             moved_profile_target, None, True),
            ("a session without a desktop", self.plant_session_without_desktop, tool_folder_target, in_tool_folder,
             True),
            ("every log name beside the tool is a folder", self.plant_log_names_taken_by_folders, None, None, False),
            ("the tool's folder allows no writing", self.plant_tool_in_unwritable_folder, None, None, False),
        )
        for name, plant, target, message, log_written in cases:
            with self.subTest(name):
                try:
                    plant()
                    box, code = self.run_tool()
                    self.assert_saved(box, code, target, message)
                    self.assert_no_area_left()
                    self.assert_canary_untouched()
                    self.assertEqual(bool(self.log_files_beside_the_tool()), log_written)
                finally:
                    self.restore()

    def test_4_archives_held_by_a_viewer(self):
        # An old temporary archive held open where a run used to write it is
        # not the run's: the run saves its own.
        stale = os.path.join(self.temp, product.TEMP_ARCHIVE)
        with open(stale, "wb") as f:
            f.write(b"stale archive")
        box, code = self.run_tool(hold=stale)
        self.assert_saved(box, code)
        with open(stale, "rb") as f:
            self.assertEqual(f.read(), b"stale archive")
        self.restore()

        # An old archive on the desktop that cannot be replaced fails the run
        # cleanly: the failure message, the old file as it was, nothing else.
        with open(self.target, "wb") as f:
            f.write(b"old archive")
        box, code = self.run_tool(hold=self.target)
        self.assertEqual(box.get("caption"), product.ERROR, "no failure message: %r" % box)
        self.assertEqual(box["text"], product.SAVE_FAILED)
        self.assertIsNone(code)  # the window stays open
        with open(self.target, "rb") as f:
            self.assertEqual(f.read(), b"old archive")
        self.assertEqual(os.listdir(self.desktop), [product.ARCHIVE])
        self.assert_no_area_left()


if __name__ == "__main__":
    unittest.main()
