#!/usr/bin/env python3
"""The whole tool started from a command line, as deployment engines start
it, in a private prefix with the product installed and the tool in its
folder of "C:\\Program Files (x86)"; the share "\\\\fileserver\\VantrelReports$"
of docs/fleet.md is a folder of the prefix's UNC drive (Wine maps
"\\\\server\\share" to dosdevices/unc/server/share).

- A quiet run shows no window: none of its process appears on its private
  display at any moment of the run (looked for by PID, which finds the
  window of a run that has one). It exits with 0, prints where it saved,
  and its archive in the "/out" folder has the name pattern and the content
  of the archive a click makes on the same machine. Without "/out" the
  logged-on user's desktop gets "Vantrel_Debug_Info.zip", an earlier one
  replaced, as the window's run does.
- Two quiet runs at once into one share, in one prefix and in two prefixes
  (two machines of the same name), give two whole archives.
- A missing or unwritable "/out" folder, or one that is a link, gives exit
  code 3 at once, with the "Error: " line printed and logged and nothing
  left behind; bad arguments give 2 and the usage, "/?" 0 and the usage.
- In a command prompt's console ("start /wait"), the tool's text shows.
- The command lines of docs/fleet.md run as they stand: the engines' line
  and the Ansible task's (started without a shell, by the runline fixture),
  the start-up script (through cmd), and the tool's start in the
  PowerShell example (its output redirected to a file, as Start-Process
  does). PowerShell itself is not there to run.

Wine cannot show a run with nobody logged on (its session query always
names the Unix user); tests/app/quiet_run_win_test.cpp covers that
decision, and tests/app/command_line_test.cpp the argument rules."""
import datetime
import os
import re
import shutil
import subprocess
import tempfile
import time
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
RUNLINE = os.path.join(FIXTURES, "runline", "runline.exe")
FLEET = os.path.join(os.environ["VANTREL_SOURCE"], "docs", "fleet.md")
A_RUN = 900  # seconds a whole run may take on a loaded machine

INSTALLED = r"C:\Program Files (x86)\Vantrel Helper\VantrelInfoHelpV2.exe"
LOG = r"C:\Program Files (x86)\Vantrel Helper\VantrelInfoHelpV2.log"
SHARE = r"\\fileserver\VantrelReports$"
COLLECT = r"C:\collect"
ARCHIVE_NAME = re.compile(r"^Vantrel_Debug_Info_(?P<computer>[^\\/]+?)_(?P<stamp>\d{8}T\d{6}Z)"
                          r"(?:_(?P<counter>[2-9]|[1-9]\d+))?\.zip$")
SEEDED = product.SMALL_PRODUCT
# Overview lines whose values change from one moment to the next.
MOVING_OVERVIEW_LABELS = ("Free Size", "VFree Size", "VFreeExt Size", "PF Free", "Free Space")
BANNER = "*" * 81


class Ran:
    """A finished run: exit code, what it printed, the X windows of its
    process seen while it ran."""

    def __init__(self, code, out, err, windows):
        self.code, self.out, self.err, self.windows = code, out, err, windows


def share_folder(prefix):
    return os.path.join(prefix, "dosdevices", "unc", "fileserver", "VantrelReports$")


def fleet_blocks():
    """The fenced blocks of docs/fleet.md: [(language, text)]."""
    with open(FLEET, encoding="utf-8") as f:
        return re.findall(r"^```(\w+)\n(.*?)^```$", f.read(), flags=re.S | re.M)


def fleet_block(language, containing):
    blocks = [text for lang, text in fleet_blocks() if lang == language and containing in text]
    if len(blocks) != 1:
        raise AssertionError("docs/fleet.md: %d %s blocks with %r" % (len(blocks), language, containing))
    return blocks[0]


def report_sections(data):
    """The text report in its sections: the header, then what follows each
    line of asterisks."""
    lines = data.decode("utf-16").split("\r\n")
    sections = [[]]
    for line in lines:
        if line == BANNER:
            sections.append([])
        else:
            sections[-1].append(line)
    return sections


def steady_overview(lines):
    return [line.split("\t")[0] if line.split(":")[0] in MOVING_OVERVIEW_LABELS else line for line in lines]


class QuietRuns(PrivatePrefixCase):
    PREFIX_NAME = "quiet-runs"

    @classmethod
    def prepare(cls):
        product.seed_small_product(cls.prefix)
        cls.exe = winebed.unix_path(cls.prefix, INSTALLED)
        os.makedirs(os.path.dirname(cls.exe), exist_ok=True)
        shutil.copyfile(os.environ["VANTREL_EXE"], cls.exe)
        cls.share = share_folder(cls.prefix)
        cls.collect = winebed.unix_path(cls.prefix, COLLECT)
        cls.scratch = os.path.join(cls.root, "scratch")
        cls.windows_temp = os.path.join(winebed.drive_c(cls.prefix), "windows", "temp")
        cls.user_temp = winebed.temp_dir(cls.prefix)

    def setUp(self):
        for folder in (self.share, self.collect, self.scratch, self.windows_temp, self.user_temp):
            os.makedirs(folder, exist_ok=True)
        self.addCleanup(self.empty_outputs)

    def empty_outputs(self):
        subprocess.run(["chattr", "-R", "-i", self.scratch], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for folder in (self.share, self.collect, self.scratch):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)

    # ---- running -----------------------------------------------------------

    def quiet(self, *args, display=None, prefix=None, start_only=False):
        """Starts the tool with `args`; with `start_only` the started run,
        else the finished one (see finish)."""
        env = winebed.wine_env(prefix or self.prefix, display=display)
        out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        exe = winebed.unix_path(prefix, INSTALLED) if prefix else self.exe
        proc = subprocess.Popen(["wine", exe] + list(args), env=env, stdout=out, stderr=err)
        run = (proc, env, out, err, display)
        return run if start_only else self.finish(run)

    def finish(self, run):
        """Waits for a started run; with a display, looks for windows of its
        process every 0.1 s until it ends."""
        proc, env, out, err, display = run
        windows = set()
        deadline = time.monotonic() + A_RUN
        while proc.poll() is None:
            if time.monotonic() > deadline:
                proc.kill()
                self.fail("the run did not end")
            if display is not None:
                windows.update(windows_of(proc.pid, env))
            time.sleep(0.1)
        texts = []
        for stream in (out, err):
            stream.seek(0)
            texts.append(stream.read().decode("cp437").replace("\r\n", "\n"))
            stream.close()
        return Ran(proc.returncode, texts[0], texts[1], windows)

    def saved_archive(self, ran, windows_folder, unix_folder):
        """The archive the run said it saved in the folder; checks the line
        and the name."""
        match = re.fullmatch(r"Saved: (.*)\n", ran.out)
        self.assertIsNotNone(match, ran.out + ran.err)
        folder, name = match.group(1).rsplit("\\", 1)
        self.assertEqual(folder, windows_folder)
        self.assertRegex(name, ARCHIVE_NAME)
        path = os.path.join(unix_folder, name)
        self.assertTrue(os.path.isfile(path), path)
        return path

    def areas_left(self):
        return [n for folder in (self.windows_temp, self.user_temp) for n in os.listdir(folder)
                if n.startswith(product.WORK_FOLDER)]

    def log_lines(self):
        path = winebed.unix_path(self.prefix, LOG)
        if not os.path.isfile(path):
            return []
        with open(path, "rb") as f:
            return f.read().decode("utf-16").split("\r\n")

    # ---- the cases -----------------------------------------------------------

    def test_1_a_quiet_run_saves_the_clicked_runs_archive_and_shows_no_window(self):
        desktop_archive = os.path.join(winebed.desktop_dir(self.prefix), product.ARCHIVE)
        with xdisplay.Display() as display:
            with tooldriver.ToolRun(self.exe, self.prefix, display, GUIPROBE) as tool:
                window = tool.start().main_window()
                # The look by PID finds the window of a run that has one.
                self.assertNotEqual(windows_of(tool.proc.pid, tool.env), set())
                tool.press_button(window)
                box = tool.message_box(A_RUN)
                self.assertEqual(box.get("caption"), product.INFORMATION, box)
                self.assertEqual(tool.wait(60), 0)

            started = datetime.datetime.utcnow().replace(microsecond=0)
            ran = self.quiet("/quiet", "/out", COLLECT, display=display)
            ended = datetime.datetime.utcnow()
            self.assertEqual(ran.code, 0, ran.err)
            self.assertEqual(ran.windows, set())
            env = winebed.wine_env(self.prefix, display=display)
            shown = subprocess.run(["xdotool", "search", "--name", "^(%s|%s)$" % (product.INFORMATION, product.ERROR)],
                                   env=env, capture_output=True, text=True).stdout
            self.assertEqual(shown, "")
        self.assertEqual(ran.err, "")
        # No Explorer on the archive (other test runs on this machine may start theirs elsewhere).
        self.assertNotIn("/select," + COLLECT, subprocess.run(["ps", "-eo", "args"], capture_output=True,
                                                              text=True).stdout)

        quiet_archive = self.saved_archive(ran, COLLECT, self.collect)
        self.assertEqual(os.listdir(self.collect), [os.path.basename(quiet_archive)])
        name = ARCHIVE_NAME.match(os.path.basename(quiet_archive))
        stamp = datetime.datetime.strptime(name.group("stamp"), "%Y%m%dT%H%M%SZ")
        self.assertTrue(started <= stamp <= ended, (started, stamp, ended))
        self.assertEqual(self.areas_left(), [])

        with zipfile.ZipFile(desktop_archive) as clicked, zipfile.ZipFile(quiet_archive) as quiet:
            self.assertEqual(sorted(quiet.namelist()), sorted(clicked.namelist()))
            for member in SEEDED.values():
                self.assertEqual(quiet.read(member), clicked.read(member), member)
            # "SystemInfo.txt" opens with the time of its capture.
            self.assertEqual(quiet.read(product.SYSTEM_INFO).split(b"\r\0\n\0", 1)[1],
                             clicked.read(product.SYSTEM_INFO).split(b"\r\0\n\0", 1)[1])
            mine, theirs = report_sections(quiet.read(product.REPORT)), report_sections(clicked.read(product.REPORT))
            count = len(quiet.namelist())
        self.assertEqual(len(mine), len(theirs))
        self.assertEqual(mine[0][0], "Version:" + product.FILE_VERSION)
        self.assertEqual([line.split(":")[0] for line in mine[0]], [line.split(":")[0] for line in theirs[0]])
        self.assertEqual(steady_overview(mine[1]), steady_overview(theirs[1]))
        self.assertIn("ComputerName:\t" + name.group("computer"), mine[1])
        # The process inventory (section 2) changes from run to run; the
        # services, the autoruns and the installed files do not.
        self.assertEqual(mine[3:], theirs[3:])
        zipcheck.check_readers(quiet_archive, count)

    def test_2_runs_at_once_into_one_share_give_whole_archives(self):
        other = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(self.root, "other machine"))
        self.addCleanup(winebed.stop, other)
        other_exe = winebed.unix_path(other, INSTALLED)
        os.makedirs(os.path.dirname(other_exe), exist_ok=True)
        shutil.copyfile(self.exe, other_exe)
        # The other prefix's server is this one's: two machines, one share.
        os.makedirs(os.path.join(other, "dosdevices", "unc"), exist_ok=True)
        os.symlink(os.path.dirname(self.share), os.path.join(other, "dosdevices", "unc", "fileserver"))
        for case, prefixes in (("one machine", (None, None)), ("two machines", (None, other))):
            with self.subTest(case):
                runs = [self.quiet("/quiet", "/out", SHARE, prefix=p, start_only=True) for p in prefixes]
                finished = [self.finish(run) for run in runs]
                archives = [self.saved_archive(ran, SHARE, self.share) for ran in finished]
                self.assertEqual([ran.code for ran in finished], [0, 0])
                self.assertEqual(len(set(archives)), 2)
                self.assertEqual(sorted(os.listdir(self.share)), sorted(os.path.basename(a) for a in archives))
                for archive in archives:
                    with zipfile.ZipFile(archive) as z:
                        self.assertIn(product.REPORT, z.namelist())
                        count = len(z.namelist())
                    zipcheck.check_readers(archive, count)
                self.empty_outputs()

    def test_3_a_folder_that_cannot_be_written_gives_3_and_leaves_nothing(self):
        canary = os.path.join(self.scratch, "canary")
        os.makedirs(canary)
        with open(os.path.join(canary, "secret.txt"), "wb") as f:
            f.write(b"canary")
        unwritable = os.path.join(self.scratch, "unwritable")
        os.makedirs(unwritable)
        immutable = subprocess.run(["chattr", "+i", unwritable], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL).returncode == 0
        os.symlink(canary, os.path.join(self.collect, "linked"))
        cases = [
            ("a missing folder", COLLECT + r"\missing"),
            ("a missing share", r"\\fileserver\NoSuchShare"),
            ("a folder link", COLLECT + r"\linked"),
        ]
        if immutable:  # Wine enforces no ACLs; an immutable folder stops every writer
            cases.append(("an unwritable folder", winebed.windows_path(unwritable)))
        before = {folder: sorted(os.listdir(folder)) for folder in (self.collect, self.share, canary, unwritable)}
        for case, folder in cases:
            with self.subTest(case):
                ran = self.quiet("/quiet", "/out", folder)
                self.assertEqual(ran.code, 3, ran.out + ran.err)
                said = "Error: target: Cannot create a file in the folder %s\\" % folder
                self.assertEqual(ran.out, "")
                self.assertTrue(ran.err.startswith(said), ran.err)
                self.assertTrue(any(said in line for line in self.log_lines()))
                self.assertEqual({f: sorted(os.listdir(f)) for f in before}, before)
                self.assertEqual(self.areas_left(), [])
        if not immutable:
            self.skipTest("no immutable folders here: the unwritable folder was left out")

    def test_4_bad_arguments_give_2_and_the_usage(self):
        usage_head = "VantrelInfoHelpV2.exe [/quiet [/out FOLDER]] | /?\n"
        cases = (
            ["/quiet", "/out"],
            ["/quiet", "/verbose"],
            ["/quiet", "-QUIET"],
            ["/out", COLLECT],
            ["/quiet", "/out", "collect"],
            ["/quiet", "/out", COLLECT + '" /quiet'],
            ["/?", "/quiet"],
        )
        for args in cases:
            with self.subTest(" ".join(args)):
                ran = self.quiet(*args)
                self.assertEqual(ran.code, 2, ran.out + ran.err)
                self.assertEqual(ran.out, "")
                self.assertTrue(ran.err.startswith("Error: "), ran.err)
                self.assertIn("\n\n" + usage_head, ran.err)
                self.assertEqual(os.listdir(self.collect), [])
        for args in (["/?"], ["-?"]):
            with self.subTest(" ".join(args)):
                ran = self.quiet(*args)
                self.assertEqual(ran.code, 0)
                self.assertTrue(ran.out.startswith(usage_head), ran.out)
                self.assertEqual(ran.err, "")
        self.assertEqual(self.areas_left(), [])

    def test_5_a_command_prompts_console_shows_what_the_tool_says(self):
        if shutil.which("script") is None:
            self.skipTest("no script(1) to give cmd a console")
        cases = (
            ("/quiet /out C:\\missing", 3, "Error: target: Cannot create a file in the folder C:\\missing\\"),
            ("/?", 0, "VantrelInfoHelpV2.exe [/quiet [/out FOLDER]] | /?"),
        )
        batch = r"C:\console.cmd"
        for args, code, said in cases:
            with self.subTest(args):
                with open(winebed.unix_path(self.prefix, batch), "w", newline="\r\n") as f:
                    f.write('start /wait "" "%s" %s\necho exit code %%errorlevel%%\n' % (INSTALLED, args))
                # A terminal of its own gives cmd a console, the one the tool
                # attaches to as its parent's.
                command = "stty cols 500; wine cmd /c '%s'" % batch
                seen = subprocess.run(["script", "-qec", command, "/dev/null"], env=self.env, capture_output=True,
                                      timeout=A_RUN).stdout.decode("utf-8", "replace")
                seen = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", seen)
                self.assertIn(said, seen)
                self.assertIn("exit code %d" % code, seen)

    def test_6_the_fleet_documents_command_lines_run_as_they_stand(self):
        # The engines' command line, and the Ansible task's: started without
        # a shell, from the system folder, as the engines start them.
        engines = fleet_block("text", "/quiet /out").strip()
        task = re.search(r"win_command: '(.*)'$", fleet_block("yaml", "win_command"), flags=re.M)
        self.assertIsNotNone(task)
        for case, line in (("Intune and Configuration Manager", engines), ("Ansible", task.group(1).replace("''", "'"))):
            with self.subTest(case):
                ran = self.run_line(line)
                self.assertEqual(ran.code, 0, ran.err)
                self.saved_archive(ran, SHARE, self.share)
                self.empty_outputs()
        with self.subTest("start-up script"):
            script = fleet_block("bat", "/quiet /out")
            with open(winebed.unix_path(self.prefix, r"C:\vantrel-startup.cmd"), "w", newline="\r\n") as f:
                f.write(script)
            code, out = winebed.run_program(self.env, ["cmd", "/c", r"C:\vantrel-startup.cmd"], A_RUN)
            self.assertEqual(code, 0, out)
            self.assertEqual(len(os.listdir(self.share)), 1)
            self.assertRegex(os.listdir(self.share)[0], ARCHIVE_NAME)
            self.empty_outputs()
        with self.subTest("the tool's start in the PowerShell example"):
            example = fleet_block("powershell", "Start-Process")
            exe = re.search(r"\$Exe = '(.*)'", example).group(1)
            arguments = re.search(r"-ArgumentList '(.*?)'", example).group(1)
            # Start-Process puts the file in quotes and the argument text after it.
            ran = self.run_line('"%s" %s' % (exe, arguments))
            self.assertEqual(ran.code, 0, ran.err)
            said = [line for line in ran.out.splitlines() if line.startswith("Saved: ")]
            self.assertEqual(len(said), 1, ran.out)
            archive = said[0][len("Saved: "):]  # as the example's Substring(7) takes it
            self.assertTrue(archive.startswith("C:\\Windows\\Temp\\"), archive)
            unix = os.path.join(self.windows_temp, archive.rsplit("\\", 1)[1])
            self.assertTrue(os.path.isfile(unix), archive)
            os.remove(unix)

    def test_7_without_out_the_logged_on_users_desktop_gets_the_archive(self):
        desktop_archive = os.path.join(winebed.desktop_dir(self.prefix), product.ARCHIVE)
        with open(desktop_archive, "wb") as f:
            f.write(b"an earlier archive")
        with xdisplay.Display() as display:
            ran = self.quiet("/QUIET", display=display)
        self.assertEqual(ran.code, 0, ran.err)
        self.assertEqual(ran.windows, set())
        self.assertEqual(ran.out, "Saved: %s\n" % product.desktop_target())
        self.assertEqual(os.listdir(winebed.desktop_dir(self.prefix)), [product.ARCHIVE])
        with zipfile.ZipFile(desktop_archive) as z:
            self.assertIn(product.REPORT, z.namelist())
        self.assertEqual(self.areas_left(), [])

    def run_line(self, line):
        """The runline fixture starts `line` and waits; its output redirected
        to files."""
        with tempfile.NamedTemporaryFile("w", suffix=".txt", dir=self.scratch, delete=False,
                                         encoding="utf-8") as f:
            f.write(line)
        out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        proc = subprocess.Popen(["wine", RUNLINE, winebed.windows_path(f.name)], env=self.env, stdout=out, stderr=err)
        return self.finish((proc, self.env, out, err, None))


def windows_of(pid, env):
    """The X windows of the process `pid` (mapped or not)."""
    found = subprocess.run(["xdotool", "search", "--pid", str(pid)], env=env, capture_output=True, text=True)
    return set(found.stdout.split())


if __name__ == "__main__":
    unittest.main()
