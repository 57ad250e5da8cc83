#!/usr/bin/env python3
"""The services, autoruns and installed-files sections in a whole report run.

A private prefix is seeded like a user's machine: launch points in both
registry views, Startup folders with a shortcut and a folder loop, a kernel
driver in the native system folder, the product's uninstall entry and install
folder (with a symbolic-link loop, which Wine shows as a reparse point). The
reportprobe fixture runs the report job with the tool's own stages and keeps
the text report; digests are checked with md5sum."""
import calendar
import os
import shutil
import subprocess
import tempfile
import unittest

import product
from prefix_case import PrivatePrefixCase
import winebed

FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]
PROBE = os.path.join(FIXTURES, "reportprobe", "reportprobe.exe")
BANNER = "*" * 81
STAMP = calendar.timegm((2016, 3, 14, 10, 2, 33))
STAMP_TEXT = "3/14/2016 10:02:33 AM"  # US English settings, TZ=UTC
MIDNIGHT = calendar.timegm((2020, 1, 2, 0, 0, 0))

RUN = r"Software\Microsoft\Windows\CurrentVersion\Run"
USER_RUN = "HKCU\\" + RUN
# Launch points in both registry views, and the product's uninstall entry in
# the tool's view (the 32-bit one; a wrong one in the other view).
SEED_REG = {
    product.machine_key(product.UNINSTALL_KEY): {"InstallLocation": product.INSTALL_DIR},
    product.machine_key(product.UNINSTALL_KEY, product.OTHER_BITS): {"InstallLocation": r"C:\WrongView"},
    product.machine_key(RUN, 32): {"Probe32": r"C:\probe\p32.exe /tray"},
    product.machine_key(RUN, 64): {"Probe64": r"C:\probe\p64.exe"},
    "HKEY_CURRENT_USER\\" + RUN: {"": r"C:\default.exe", "Empty": "", "Tool": r"C:\T\tool.exe /min"},
    product.machine_key(r"Software\Microsoft\Windows\CurrentVersion\RunOnceEx\0001", 32): {
        "1": "setup.dll|Install|/q"},
    product.machine_key(r"Software\Microsoft\Windows NT\CurrentVersion\Winlogon", 32): {
        "Shell": "myshell.exe,explorer.exe"},
    r"HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows": {
        "Load": r'"C:\Program Files\l.exe" x.exe'},
}


def md5sum(path):
    out = subprocess.run(["md5sum", path], capture_output=True, text=True, check=True).stdout
    return out.split()[0]


def write(path, data=b"", mtime=STAMP):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (mtime, mtime))


class ReportSections(PrivatePrefixCase):
    PREFIX_NAME = "sections"

    @classmethod
    def prepare(cls):
        cls.seed()
        cls.lines, cls.messages = cls.run_job()

    @classmethod
    def wine(cls, *args):
        return subprocess.run(["wine"] + list(args), env=cls.env, capture_output=True, timeout=300)

    @classmethod
    def reg(cls, *args):
        result = cls.wine("reg", *args)
        assert result.returncode == 0, (args, result.stdout, result.stderr)

    @classmethod
    def seed(cls):
        drive_c = winebed.drive_c(cls.prefix)
        # The probe runs from a folder of its own, as the tool would.
        cls.tool_dir = os.path.join(drive_c, "tool")
        os.makedirs(cls.tool_dir)
        cls.probe = os.path.join(cls.tool_dir, "reportprobe.exe")
        shutil.copy(PROBE, cls.probe)

        winebed.import_registry(cls.prefix, SEED_REG)

        # A kernel driver with a version resource, only in the native system folder.
        shutil.copy(os.path.join(FIXTURES, "versioned", "full.dll"),
                    os.path.join(drive_c, "windows", "system32", "drivers", "vtprobe.sys"))
        result = cls.wine("sc", "create", "VantrelProbeDrv", "binPath=", r"\SystemRoot\System32\drivers\vtprobe.sys",
                          "type=", "kernel", "DisplayName=", "Vantrel Probe Driver")
        assert result.returncode == 0, result.stdout

        cls.seed_startup()
        cls.seed_install_folder(winebed.unix_path(cls.prefix, product.INSTALL_DIR))

    @classmethod
    def seed_startup(cls):
        with tempfile.TemporaryDirectory(dir=cls.root) as work:
            out = os.path.join(work, "startup.txt")
            assert cls.wine(cls.probe, "startup", winebed.windows_path(out)).returncode == 0
            with open(out, encoding="utf-8") as f:
                cls.user_startup, cls.common_startup = f.read().splitlines()
        user = winebed.unix_path(cls.prefix, cls.user_startup)
        assert cls.wine(cls.probe, "shortcut", cls.user_startup + r"\App.lnk", r"C:\App\app.exe",
                        "-tray").returncode == 0
        write(os.path.join(user, "desktop.ini"), b"[.ShellClassInfo]\r\n")
        write(os.path.join(user, "Thumbs.db"), b"thumbs")
        write(os.path.join(user, "sub", "plain.txt"), b"plain")
        os.symlink("..", os.path.join(user, "sub", "again"))
        write(os.path.join(winebed.unix_path(cls.prefix, cls.common_startup), "c.bat"), b"@echo off\r\n")

    @classmethod
    def seed_install_folder(cls, folder):
        cls.install = folder
        os.makedirs(folder)
        shutil.copy(os.path.join(FIXTURES, "versioned", "full.dll"), os.path.join(folder, "Vantrel.exe"))
        os.utime(os.path.join(folder, "Vantrel.exe"), (STAMP, STAMP))
        os.makedirs(os.path.join(folder, "bin"))
        shutil.copy(os.path.join(FIXTURES, "versioned", "noresource.dll"), os.path.join(folder, "bin", "codec.dll"))
        os.utime(os.path.join(folder, "bin", "codec.dll"), (STAMP, STAMP))
        write(os.path.join(folder, "readme.txt"), b"hello\r\n")
        write(os.path.join(folder, "midnight.log"), b"", MIDNIGHT)
        write(os.path.join(folder, "iTunes.Resources", "a.plist"), b"<plist/>")
        write(os.path.join(folder, "iTunes.Resources", "en.lproj", "b.strings"), b"b")
        write(os.path.join(folder, ".svn", "entries"), b"12")
        write(os.path.join(folder, "bin", ".svn", "text-base", "codec.dll.svn-base"), b"base")
        write(os.path.join(folder, "sub", ".SVN", "listed.txt"), b"listed")
        elsewhere = os.path.join(winebed.drive_c(cls.prefix), "Elsewhere")
        write(os.path.join(elsewhere, "secret.txt"), b"secret")
        os.symlink(".", os.path.join(folder, "loop"))
        os.symlink(elsewhere, os.path.join(folder, "elsewhere"))

    @classmethod
    def run_job(cls):
        """The report's lines (None when the job saved none) and the job's messages."""
        with tempfile.TemporaryDirectory(dir=cls.root) as work:
            result = cls.wine(cls.probe, "job", winebed.windows_path(work))
            assert result.returncode == 0, result.stderr
            with open(os.path.join(work, "messages.txt")) as f:
                messages = [tuple(int(v) for v in line.split()) for line in f.read().splitlines()]
            report = os.path.join(work, "report.txt")
            if not os.path.exists(report):
                return None, messages
            with open(report, "rb") as f:
                data = f.read()
        assert data[:2] == b"\xff\xfe" and data.endswith("\r\n".encode("utf-16-le")), data[:4]
        return data[2:].decode("utf-16-le")[:-2].split("\r\n"), messages

    @staticmethod
    def banners(lines):
        return [i for i, line in enumerate(lines) if line == BANNER]

    def autoruns_block(self, lines):
        start = lines.index("===== Autoruns =====") - 1
        return lines[start:self.banners(lines)[3]]

    # ---- the seeded run ---------------------------------------------------

    def test_sections_in_job_order_with_every_progress_step(self):
        self.assertEqual(self.messages, [(0, 10)] + [(1, n) for n in range(1, 8)] + [(2, 0)])
        lines = self.lines
        self.assertTrue(lines[0].startswith("Version:"))
        self.assertTrue(lines[1].startswith("Date:"))
        overview, processes, services, inventory = self.banners(lines)
        self.assertEqual(overview, 2)
        title = lines.index("===== Autoruns =====")
        self.assertTrue(overview < processes < services < title < inventory)
        self.assertEqual(lines[title - 1:title + 2], ["", "===== Autoruns =====", ""])

    def test_services_list_the_driver_found_in_the_native_system_folder(self):
        services_start, inventory = self.banners(self.lines)[2], self.banners(self.lines)[3]
        title = self.lines.index("===== Autoruns =====")
        services = self.lines[services_start + 1:title - 1]
        self.assertGreater(len(services), 10)
        driver = [line for line in services if line.startswith("Vantrel Probe Driver ")]
        self.assertEqual(len(driver), 1, services)
        self.assertRegex(driver[0], r"^Vantrel Probe Driver {11}1  1  \d+ 3 "
                                    r"\\SystemRoot\\System32\\drivers\\vtprobe\.sys Ver:1\.0\.0\.1$")
        for line in services:
            self.assertRegex(line, r"^.{30,} [0-9A-F]+  \d+  -?\d+ -?\d+ ")

    @unittest.skipIf(winebed.SIXTY_FOUR_BIT_TOOL, winebed.SKIP_WOW64)
    def test_autoruns_lines_of_every_seeded_launch_point(self):
        user, common = self.user_startup, self.common_startup
        rundll = ["rundll32.exe setup.dll", "rundll32.exe setup.dll,Install", "rundll32.exe setup.dll,Install /q"]
        expected = (
            ["", "===== Autoruns =====", "",
             "---------- Startup ----------", '"C:\\App\\app.exe" -tray', user + r"\sub\plain.txt",
             common + r"\c.bat",
             # the machine-wide 32-bit key, read through its plain and its Wow6432Node path
             "---------- Run ----------", r"=C:\default.exe", "Empty=", r"Tool=C:\T\tool.exe /min",
             r"Probe32=C:\probe\p32.exe /tray", r"Probe32=C:\probe\p32.exe /tray",
             "---------- RunOnceEx ----------"] + rundll + rundll +
            ["---------- NT Run ----------", r"C:\Program Files\l.exe", "x.exe",
             "---------- Windows Shell ----------", "myshell.exe", "explorer.exe", "myshell.exe", "explorer.exe"])
        self.assertEqual(self.autoruns_block(self.lines), expected)

    def test_inventory_of_the_install_folder_in_the_32_bit_view(self):
        lines = self.lines[self.banners(self.lines)[3] + 1:]
        files = [("bin\\codec.dll", "", "bin/codec.dll", STAMP_TEXT),
                 ("midnight.log", "", "midnight.log", "1/2/2020"),
                 ("readme.txt", "", "readme.txt", STAMP_TEXT),
                 ("sub\\.SVN\\listed.txt", "", "sub/.SVN/listed.txt", STAMP_TEXT),
                 ("Vantrel.exe", "1.0.0.1", "Vantrel.exe", STAMP_TEXT)]
        expected = ["%s   Ver:%s   MD5:%s   DT:%s" % (rel, ver, md5sum(os.path.join(self.install, unix)), when)
                    for rel, ver, unix, when in files]
        self.assertEqual(lines, expected)

    # ---- runs with one seed changed ---------------------------------------

    def test_a_run_value_that_is_not_text_drops_only_the_autoruns_section(self):
        self.reg("add", USER_RUN, "/v", "Counter", "/t", "REG_DWORD", "/d", "5", "/f")
        try:
            lines, messages = self.run_job()
        finally:
            self.reg("delete", USER_RUN, "/v", "Counter", "/f")
        self.assertEqual(messages[-1], (2, 0))
        self.assertNotIn("===== Autoruns =====", lines)
        self.assertTrue(any(line.startswith("---------- ") for line in self.lines))
        self.assertFalse(any(line.startswith("---------- ") for line in lines))
        banners = self.banners(lines)
        self.assertEqual(len(banners), 4)
        self.assertEqual(lines[banners[3] + 1:], self.lines[self.banners(self.lines)[3] + 1:])

    def test_an_install_location_that_is_not_text_fails_the_job(self):
        key = "HKLM\\" + product.UNINSTALL_KEY
        self.reg("add", key, "/v", "InstallLocation", "/t", "REG_DWORD", "/d", "1", "/f", product.TOOL_VIEW)
        try:
            lines, messages = self.run_job()
        finally:
            self.reg("add", key, "/v", "InstallLocation", "/t", "REG_SZ", "/d", product.INSTALL_DIR, "/f", product.TOOL_VIEW)
        self.assertEqual(messages, [(0, 10), (1, 1), (1, 2), (1, 3), (3, 0)])
        self.assertIsNone(lines)

    def test_without_uninstall_entry_the_tools_own_folder_is_listed(self):
        key = "HKLM\\" + product.UNINSTALL_KEY
        self.reg("delete", key, "/f", product.TOOL_VIEW)
        try:
            lines, messages = self.run_job()
        finally:
            self.reg("add", key, "/v", "InstallLocation", "/t", "REG_SZ", "/d", product.INSTALL_DIR, "/f", product.TOOL_VIEW)
        self.assertEqual(messages[-1], (2, 0))
        inventory = lines[self.banners(lines)[3] + 1:]
        probe_line = [line for line in inventory if line.startswith("reportprobe.exe   ")]
        self.assertEqual(len(probe_line), 1, inventory)
        self.assertIn("   MD5:%s   DT:" % md5sum(self.probe), probe_line[0])
        for line in inventory:  # nothing from the install folder
            self.assertNotIn("Vantrel.exe", line)


if __name__ == "__main__":
    unittest.main()
