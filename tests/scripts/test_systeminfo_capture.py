#!/usr/bin/env python3
"""The system-information capture against stand-ins for systeminfo.exe.

A private prefix gets the fakesysteminfo fixture in place of systeminfo.exe in
both system folders; sysinfocapture (the tool's capture on its own) runs with
a temporary folder whose path holds spaces and saves "SystemInfo.txt". Each
case predicts the saved lines; the raw output file must be gone afterwards.
The command is started without a shell, so any temporary path works, and in
a job, so that it and whatever it started end at the bound. The report job
(the jobrun fixture) starts the command before its first section and
collects it last, just before packing: its output still arrives whole, the
process section shows it while it runs, and a job that fails in between
ends it."""
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import product
from prefix_case import PrivatePrefixCase
import winebed

FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]
CAPTURE = os.path.join(FIXTURES, "sysinfocapture", "sysinfocapture.exe")
FAKE = os.path.join(FIXTURES, "fakesysteminfo", "fakesysteminfo.exe")
JOBRUN = os.path.join(FIXTURES, "jobrun", "jobrun.exe")
TITLE = "===== System ====="
# The report's date text in a US-English prefix: short date, then the long
# time unless it is exactly midnight.
STAMP = re.compile(r"^\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2} [AP]M)?$")
TEST_BOUND_MS = 3000  # the product waits 120 s; a never-ending command needs no such patience here
# Wine runs its own systeminfo for a program of that name in the native
# system folder unless told to take the file that is there.
STAND_IN_FIRST = {"WINEDLLOVERRIDES": "mscoree,mshtml=;systeminfo.exe=n"}

OEM_TEXT = "\r\nHost Name:                 PRÜFSTAND\r\nRegistered Owner:          Jürgen Müller\r\n" \
           "Network Card(s):           1 NIC(s) ─ Straße\r\n"
WIDE_TEXT = "Host Name: Ωmega\r\nИмя узла: ТЕСТ\rlone CR\nlone LF\r\n日本語\r\n"


def lines_of(text):
    """Lines as the capture splits them: at CR LF, lone CR and lone LF."""
    return re.split(r"\r\n|\r|\n", text[:-2] if text.endswith("\r\n") else text)


BOUND_LINE = ("Error: system information: The systeminfo command did not end within %d s; it was ended and only "
              "the header is saved" % (TEST_BOUND_MS // 1000))

CASES = [
    # name, bytes the command writes (None: nothing), never exits, expected output lines, failure lines
    ("oem code page without mark", OEM_TEXT.encode("cp437"), False, lines_of(OEM_TEXT), []),
    ("utf-8 mark", b"\xef\xbb\xbf" + WIDE_TEXT.encode("utf-8"), False, lines_of(WIDE_TEXT), []),
    ("utf-16le mark", b"\xff\xfe" + WIDE_TEXT.encode("utf-16-le"), False, lines_of(WIDE_TEXT), []),
    ("utf-16be mark", b"\xfe\xff" + WIDE_TEXT.encode("utf-16-be"), False, lines_of(WIDE_TEXT), []),
    ("no output", None, False, [], []),
    ("never exits", OEM_TEXT.encode("cp437"), True, [], [BOUND_LINE]),
]


class SystemInfoCapture(PrivatePrefixCase):
    PREFIX_NAME = "systeminfo"

    @classmethod
    def prepare(cls):
        windows = os.path.join(winebed.drive_c(cls.prefix), "windows")
        for folder in ("system32", "syswow64"):
            winebed.replace_file(FAKE, os.path.join(windows, folder, "systeminfo.exe"))
        cls.temp_win = "C:\\users\\%s\\Temp With Spaces\\" % winebed.user_name()
        cls.temp = winebed.unix_path(cls.prefix, cls.temp_win)
        os.makedirs(cls.temp, exist_ok=True)
        cls.scratch = tempfile.mkdtemp(prefix="sysinfo_", dir=cls.root)

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def capture(self, output=None, hang=False, temp_win=None, raw_win=None, extra_env=None):
        """Runs the capture; returns its report and the saved file's bytes."""
        temp_win = temp_win or self.temp_win
        work = tempfile.mkdtemp(dir=self.scratch)
        env = dict(STAND_IN_FIRST, **(extra_env or {}))
        if output is not None:
            source = os.path.join(self.scratch, "output.bin")
            with open(source, "wb") as f:
                f.write(output)
            env["VANTREL_FAKE_OUTPUT"] = winebed.windows_path(source)
        if hang:
            env["VANTREL_FAKE_HANG"] = "1"
        args = [CAPTURE, "capture", temp_win, winebed.windows_path(work) + "\\", str(TEST_BOUND_MS)]
        if raw_win:
            args.append(raw_win)
        code, text = winebed.run_program(winebed.wine_env(self.prefix, extra=env), args, timeout=300)
        self.assertEqual(code, 0, text)
        with open(os.path.join(work, product.SYSTEM_INFO), "rb") as f:
            saved = f.read()
        return winebed.last_json(text), saved

    def assertSavedLines(self, saved, expected_output):
        self.assertEqual(saved[:2], b"\xff\xfe")
        text = saved[2:].decode("utf-16-le")
        self.assertTrue(text.endswith("\r\n"))
        lines = text[:-2].split("\r\n")
        self.assertRegex(lines[0], STAMP)
        self.assertEqual(lines[1:3], ["", TITLE])
        self.assertEqual(lines[3:], expected_output)

    def test_output_kinds_and_the_bound(self):
        # The OEM case's letters differ in the ANSI code page, so a capture
        # that decoded with that page would show other characters.
        self.assertNotEqual(OEM_TEXT.encode("cp437").decode("cp1252", "replace"), OEM_TEXT)
        for name, output, hang, expected, failures in CASES:
            with self.subTest(name):
                report, saved = self.capture(output, hang)
                self.assertSavedLines(saved, expected)
                self.assertEqual(report["failures"], failures)
                self.assertEqual(os.listdir(self.temp), [], "raw output left behind")
                self.assertEqual(report["systeminfo_running"], 0)

    def test_a_command_that_cannot_start_leaves_the_header_and_its_line(self):
        windows = os.path.join(winebed.drive_c(self.prefix), "windows")
        programs = [os.path.join(windows, folder, "systeminfo.exe") for folder in ("system32", "syswow64")]
        for program in programs:
            os.rename(program, program + ".away")
        try:
            report, saved = self.capture(OEM_TEXT.encode("cp437"))
        finally:
            for program in programs:
                os.rename(program + ".away", program)
        self.assertSavedLines(saved, [])
        self.assertEqual(len(report["failures"]), 1)
        self.assertTrue(report["failures"][0].startswith(
            "Error: system information: Cannot start the systeminfo command; only the header is saved (Windows "
            "error "), report["failures"])
        self.assertEqual(os.listdir(self.temp), [], "raw output left behind")

    def test_something_already_at_the_raw_path_is_left_alone(self):
        victim = os.path.join(self.scratch, "victim.txt")
        kinds = [
            ("link to another file", lambda path: os.symlink(victim, path)),
            ("dangling link", lambda path: os.symlink(os.path.join(self.scratch, "nowhere.txt"), path)),
            ("plain file", lambda path: shutil.copyfile(victim, path)),
        ]
        for name, plant in kinds:
            with self.subTest(name):
                with open(victim, "wb") as f:
                    f.write(b"keep me")
                raw_win = self.temp_win + "SystemInfo_20240131094502071.txt"
                raw = winebed.unix_path(self.prefix, raw_win)
                plant(raw)
                try:
                    report, saved = self.capture(OEM_TEXT.encode("cp437"), raw_win=raw_win)
                    self.assertSavedLines(saved, [])
                    self.assertEqual(len(report["failures"]), 1)
                    self.assertTrue(report["failures"][0].startswith(
                        "Error: system information: Cannot create the raw output file " + raw_win +
                        "; only the header is saved (Windows error "), report["failures"])
                    self.assertTrue(os.path.lexists(raw), "a thing the tool did not create was removed")
                    with open(victim, "rb") as f:
                        self.assertEqual(f.read(), b"keep me")
                finally:
                    os.unlink(raw)

    def test_any_temporary_folder_gives_the_full_output(self):
        # Nothing of the path goes on a command line: letters a command
        # interpreter would expand or act on are plain letters here.
        inject = {"VANTREL_INJECT": 'x" & echo injected>C:\\injected.txt & rem "'}
        marker = winebed.unix_path(self.prefix, "C:\\injected.txt")
        folders = ["Temp With Spaces", "Bob!", "A & B", "50% off", "t%VANTREL_INJECT%", "J\u00fcrgen \u03a9 \u65e5\u672c"]
        for folder in folders:
            with self.subTest(folder):
                temp_win = "C:\\users\\%s\\%s\\" % (winebed.user_name(), folder)
                temp = winebed.unix_path(self.prefix, temp_win)
                os.makedirs(temp, exist_ok=True)
                _, saved = self.capture(OEM_TEXT.encode("cp437"), temp_win=temp_win, extra_env=inject)
                self.assertSavedLines(saved, lines_of(OEM_TEXT))
                self.assertFalse(os.path.exists(marker))
                self.assertEqual(os.listdir(temp), [])

    def test_the_check_sees_a_command_line_that_the_interpreter_expands(self):
        # The way the capture used to start the command: through cmd.exe with
        # the path on its command line. The variable closes the quotes and
        # runs a second command, which the check above would catch.
        temp_win = "C:\\users\\%s\\t%%VANTREL_INJECT%%\\" % winebed.user_name()
        os.makedirs(winebed.unix_path(self.prefix, temp_win), exist_ok=True)
        marker = winebed.unix_path(self.prefix, "C:\\injected.txt")
        env = winebed.wine_env(self.prefix, extra={"VANTREL_INJECT": 'x" & echo injected>C:\\injected.txt & rem "'})
        subprocess.run(["wine", CAPTURE, "direct", temp_win + "raw.txt"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)
        try:
            self.assertTrue(os.path.exists(marker))
        finally:
            if os.path.exists(marker):
                os.unlink(marker)

    @unittest.skipIf(winebed.SIXTY_FOUR_BIT_TOOL, winebed.SKIP_WOW64)
    def test_the_native_command_runs(self):
        # Only the native system folder holds the stand-in; the 32-bit one
        # has Wine's own, which prints nothing.
        wow64 = os.path.join(winebed.drive_c(self.prefix), "windows", "syswow64", "systeminfo.exe")
        original = os.path.join(winebed.drive_c(os.environ["VANTREL_WINE_TEMPLATE"]), "windows", "syswow64",
                                "systeminfo.exe")
        winebed.replace_file(original, wow64)
        try:
            _, saved = self.capture(OEM_TEXT.encode("cp437"))
            self.assertSavedLines(saved, lines_of(OEM_TEXT))
        finally:
            winebed.replace_file(FAKE, wow64)

    def test_fifty_captures_in_a_row_lose_no_output(self):
        source = os.path.join(self.scratch, "output.bin")
        with open(source, "wb") as f:
            f.write(OEM_TEXT.encode("cp437"))
        env = winebed.wine_env(self.prefix, extra=dict(STAND_IN_FIRST, VANTREL_FAKE_OUTPUT=winebed.windows_path(source)))
        with tempfile.TemporaryFile() as out:
            subprocess.run(["wine", CAPTURE, "repeat", self.temp_win, "30000", "50"], env=env, stdout=out,
                           stderr=subprocess.DEVNULL, timeout=1200, check=True)
            out.seek(0)
            report = json.loads(out.read().decode("utf-8").strip().splitlines()[-1])
        self.assertEqual(report["output_lines"], [len(lines_of(OEM_TEXT))] * 50)
        self.assertEqual(os.listdir(self.temp), [])

    def assertNoWorkArea(self):
        windows_temp = os.path.join(winebed.drive_c(self.prefix), "windows", "temp")
        for folder in (winebed.temp_dir(self.prefix), windows_temp):
            self.assertEqual([n for n in os.listdir(folder) if n.startswith(product.WORK_FOLDER)], [], folder)

    def run_job(self, output, option=None, extra_env=None):
        """Runs the whole job in jobrun; returns its report, and the text
        report and "SystemInfo.txt" of its archive (None when it failed)."""
        source = os.path.join(self.scratch, "job_output.bin")
        with open(source, "wb") as f:
            f.write(output)
        env = dict(STAND_IN_FIRST, VANTREL_FAKE_OUTPUT=winebed.windows_path(source), **(extra_env or {}))
        target_win = "C:\\jobrun\\" + product.ARCHIVE
        target = winebed.unix_path(self.prefix, target_win)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if os.path.exists(target):
            os.unlink(target)
        args = [JOBRUN, target_win] + ([option] if option else [])
        code, text = winebed.run_program(winebed.wine_env(self.prefix, extra=env), args, timeout=600)
        self.assertEqual(code, 0, text)
        if not os.path.exists(target):
            return winebed.last_json(text), None, None
        with zipfile.ZipFile(target) as archive:
            names = archive.namelist()
            self.assertEqual([n for n in names if "SystemInfo_" in n], [], "raw output packed")
            report = archive.read(product.REPORT)[2:].decode("utf-16-le")
            saved = archive.read(product.SYSTEM_INFO)
        return winebed.last_json(text), report, saved

    def test_the_job_starts_the_command_first_and_collects_it_whole_last(self):
        # The stand-in still runs when the job reaches the capture's place.
        for option in (None, "prepared:500"):
            with self.subTest(option=option):
                report, _, saved = self.run_job(OEM_TEXT.encode("cp437"), option, {"VANTREL_FAKE_DELAY_MS": "1500"})
                self.assertEqual(report["messages"], "0:10,1:1,1:2,1:3,1:4,1:5,1:6,1:7,2:0")
                self.assertSavedLines(saved, lines_of(OEM_TEXT))
                self.assertEqual(report["systeminfo_running"], 0)
                names = [name for name, _ in report["stages"]]
                self.assertEqual(names[0], "StartSystemInfo")
                self.assertEqual(names[-2:], ["SaveSystemInfo", "ZipFolder"])
                self.assertNoWorkArea()

    def test_the_process_section_shows_the_command_while_it_runs(self):
        _, text, _ = self.run_job(OEM_TEXT.encode("cp437"), extra_env={"VANTREL_FAKE_DELAY_MS": "5000"})
        self.assertIn("systeminfo.exe", text.lower())
        # The check does not see a command that runs only at its place.
        _, text, _ = self.run_job(OEM_TEXT.encode("cp437"), "in-place", {"VANTREL_FAKE_DELAY_MS": "1500"})
        self.assertNotIn("systeminfo.exe", text.lower())

    def test_a_job_failing_after_the_start_ends_the_command_and_leaves_nothing(self):
        # The stand-in and a child of its own never end.
        report, text, _ = self.run_job(OEM_TEXT.encode("cp437"), "fail-after-start",
                                       {"VANTREL_FAKE_HANG": "1", "VANTREL_FAKE_CHILD": "1"})
        self.assertIsNone(text)
        self.assertEqual(report["messages"], "0:10,1:1,1:2,1:3,3:0")
        self.assertGreaterEqual(report["systeminfo_at_failure"], 1)  # it ran when the job failed
        self.assertEqual(report["systeminfo_running"], 0)
        self.assertNoWorkArea()

    def test_zz_a_command_that_starts_a_never_ending_child_leaves_no_process(self):
        # Runs last: the unguarded start leaves processes behind, which the
        # prefix's end then removes.
        child = {"VANTREL_FAKE_CHILD": "1"}
        report, saved = self.capture(OEM_TEXT.encode("cp437"), hang=True, extra_env=child)
        self.assertSavedLines(saved, [])
        self.assertEqual(report["systeminfo_running"], 0)
        # The check sees what ending only the command leaves: its child.
        env = winebed.wine_env(self.prefix, extra=dict(STAND_IN_FIRST, VANTREL_FAKE_HANG="1", **child))
        with tempfile.TemporaryFile() as out:
            subprocess.run(["wine", CAPTURE, "bare", str(TEST_BOUND_MS)], env=env, stdout=out,
                           stderr=subprocess.DEVNULL, timeout=300)
            out.seek(0)
            bare = json.loads(out.read().decode("utf-8").strip().splitlines()[-1])
        self.assertGreaterEqual(bare["systeminfo_running"], 1)
        winebed.stop(self.prefix)


if __name__ == "__main__":
    unittest.main()
