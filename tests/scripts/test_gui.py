"""The window under Xvfb, driven like a user: layout, a failed run that
returns to idle, a second run that saves the archive and ends the process,
a desktop whose path does not say "desktop", and a window closed without a
run, whose system-information command (started when the window opened)
ends with it, leaving nothing behind.

The product runs in a private prefix from the folder a real installation
would use; guiprobe (a test fixture in the same Wine session) reads window
facts and message boxes, xdotool presses the button."""
import os
import shutil
import subprocess
import time
import unittest
import zipfile

import product
import tooldriver
import winebed
import xdisplay

EXE = os.environ["VANTREL_EXE"]
BUILD = os.environ["VANTREL_BUILD"]
GUIPROBE = os.path.join(os.environ["VANTREL_FIXTURE_DIR"], "guiprobe", "guiprobe.exe")
FAKE = os.path.join(os.environ["VANTREL_FIXTURE_DIR"], "fakesysteminfo", "fakesysteminfo.exe")
ARTIFACTS = os.path.join(BUILD, "artifacts")
INSTALLED = "C:\\Program Files (x86)\\Vantrel Helper\\VantrelInfoHelpV2.exe"
UNINSTALL_KEY = "HKLM\\" + product.UNINSTALL_KEY
SHELL_FOLDERS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"

WS_THICKFRAME, WS_MAXIMIZEBOX, WS_MINIMIZEBOX = 0x40000, 0x10000, 0x20000
WS_EX_TOOLWINDOW, WS_EX_APPWINDOW = 0x80, 0x40000
PBS_SMOOTH = 0x1
A_RUN = 900  # seconds a whole run may take on a loaded machine


class Session:
    """A private prefix with the tool installed, on a private display."""

    def __init__(self, name, extra_env=None):
        self.prefix = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(BUILD, "e2e", name, "prefix"))
        exe = winebed.unix_path(self.prefix, INSTALLED)
        os.makedirs(os.path.dirname(exe), exist_ok=True)
        shutil.copy(EXE, exe)
        self.display = xdisplay.Display().start()
        self.tool = tooldriver.ToolRun(exe, self.prefix, self.display, GUIPROBE, extra_env=extra_env)

    def close(self):
        self.tool.kill()
        winebed.stop(self.prefix)
        self.display.close()


class MainWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = Session("gui")
        try:
            # An uninstall entry whose "InstallLocation" is not text makes the first run fail.
            cls.session.tool.reg("add", UNINSTALL_KEY, "/v", "InstallLocation", "/t", "REG_DWORD", "/d", "1",
                                 product.TOOL_VIEW, "/f")
            cls.window = cls.session.tool.start().main_window()
        except BaseException:
            cls.session.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def control(self, cls_name, text=None):
        for c in self.window["children"]:
            if c["class"].lower() == cls_name.lower() and (text is None or c["text"] == text):
                return c
        self.fail("no %s %r among %r" % (cls_name, text, [(c["class"], c["text"]) for c in self.window["children"]]))

    def test_1_layout(self):
        w = self.window
        self.session.tool.screenshot(os.path.join(ARTIFACTS, "main_window.png"))
        self.assertEqual(w["class"], "TForm_OrbeloInfo")
        self.assertEqual(w["caption"], product.CAPTION)
        self.assertEqual(w["client"], [305, 147])
        self.assertTrue(w["exstyle"] & WS_EX_TOOLWINDOW)
        self.assertTrue(w["exstyle"] & WS_EX_APPWINDOW)  # its own taskbar button
        self.assertFalse(w["style"] & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX))
        left, top, width, height = w["frame"]
        self.assertLessEqual(abs(left - (w["screen"][0] - width) // 2), 1)
        self.assertLessEqual(abs(top - (w["screen"][1] - height) // 2), 1)

        label1 = self.control("Static", "This tool will collect information to help us diagnose and fix the problem "
                                        "you are experiencing with our product. By sending us the report, you "
                                        "accept our ")
        self.assertEqual(label1["rect"], [29, 16, 252, 41])
        self.assertEqual(self.control("Static", "Privacy Policy.")["rect"], [29, 57, 69, 13])
        button = self.control("Button", product.BUTTON)
        self.assertEqual(button["rect"], [61, 91, 169, 25])
        self.assertEqual((button["visible"], button["enabled"]), (1, 1))
        bar = self.control("msctls_progress32")
        self.assertEqual(bar["rect"], [44, 122, 253, 17])
        self.assertEqual(bar["visible"], 0)
        self.assertTrue(bar["style"] & PBS_SMOOTH)
        # tab order follows creation order: the button first, the bar second
        order = [c["class"].lower() for c in w["children"]]
        self.assertLess(order.index("button"), order.index("msctls_progress32"))

    def test_2_a_failed_run_returns_to_idle_and_a_second_run_saves(self):
        tool = self.session.tool
        tool.press_button(self.window)
        box = tool.message_box(A_RUN)
        tool.screenshot(os.path.join(ARTIFACTS, "failed.png"))
        self.assertEqual(box.get("caption"), product.ERROR, "no error message: %r" % box)
        self.assertEqual(box["text"], product.SAVE_FAILED)
        self.assertIsNone(tool.wait(1))  # the window stays open, idle again
        self.assertEqual(tool.button_enabled(), 1)
        bar = tool.progress_bar()
        self.assertEqual((bar["visible"], bar["pos"]), (0, 0))
        archive = os.path.join(winebed.desktop_dir(self.session.prefix), product.ARCHIVE)
        self.assertFalse(os.path.exists(archive))

        tool.reg("delete", UNINSTALL_KEY, "/f", product.TOOL_VIEW)
        tool.press_button(self.window)
        box = tool.message_box(A_RUN)
        self.assertEqual(box.get("caption"), product.INFORMATION, "no completion message: %r" % box)
        self.assertEqual(box["text"], product.saved_message(product.desktop_target()))
        self.assertEqual(tool.wait(60), 0)

        with zipfile.ZipFile(archive) as z:
            text = z.read(product.REPORT).decode("utf-16")
            names = z.namelist()
        self.assertIn(product.SYSTEM_INFO, names)
        lines = text.split("\r\n")
        self.assertEqual(lines[0], "Version:" + product.FILE_VERSION)
        self.assertTrue(lines[1].startswith("Date:"))
        self.assertEqual(lines[2], "*" * 81)
        self.assertTrue(lines[3].startswith("OS Name:\t"))
        # the process section follows the overview's closing empty line
        overview_end = lines.index("", 2)
        self.assertEqual(lines[overview_end + 1], "*" * 81)
        processes = lines[overview_end + 2:lines.index("*" * 81, overview_end + 2)]
        self.assertTrue(any(" VantrelInfoHelpV2.exe " in line for line in processes))
        self.assertTrue(any(line.startswith("GlobalAtomInfo:") for line in processes))
        self.assertIn("===== Autoruns =====", lines)
        # the install folder fell back to the tool's own folder
        self.assertIn("VantrelInfoHelpV2.exe   Ver:%s   MD5:" % product.FILE_VERSION, text)


class RedirectedDesktop(unittest.TestCase):
    """A desktop folder whose path does not contain "desktop": the other
    message, then Explorer opened on the archive."""

    def test_saved_to_message_and_explorer_selects_the_archive(self):
        session = Session("gui-redirected")
        try:
            target_dir = "C:\\Reports\\Schreibtisch"
            os.makedirs(winebed.unix_path(session.prefix, target_dir), exist_ok=True)
            self.assertTrue(session.tool.reg("add", SHELL_FOLDERS, "/v", "Desktop", "/t", "REG_EXPAND_SZ",
                                             "/d", target_dir, "/f"))
            tool = session.tool.start()
            tool.press_button()
            box = tool.message_box(A_RUN)
            self.assertEqual(box.get("caption"), product.INFORMATION, "no completion message: %r" % box)
            target = target_dir + "\\" + product.ARCHIVE
            self.assertEqual(box["text"], product.saved_message(target, on_desktop=False))
            self.assertEqual(tool.wait(60), 0)
            self.assertTrue(os.path.isfile(winebed.unix_path(session.prefix, target)))
            commands = subprocess.run(["ps", "-eo", "args"], capture_output=True, text=True).stdout
            self.assertIn("/select," + target, commands)
        finally:
            session.close()


def prefix_processes(prefix, name):
    """Process ids of the Wine processes of `prefix` whose command line names
    `name`."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                environ = f.read().split(b"\0")
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        if ("WINEPREFIX=" + os.path.abspath(prefix)).encode() in environ and name.lower() in cmdline.lower():
            found.append(pid)
    return found


class ClosedWithoutARun(unittest.TestCase):
    """The window starts the system-information command when it opens (here
    a stand-in that never ends and starts a child that never ends either),
    in the run's private area. Closed without pressing the button, the tool
    ends both and removes the area."""

    def areas(self, prefix):
        places = (winebed.temp_dir(prefix), os.path.join(winebed.drive_c(prefix), "windows", "temp"))
        return [os.path.join(p, n) for p in places for n in os.listdir(p) if n.startswith(product.WORK_FOLDER)]

    def test_closing_the_window_ends_the_command_and_leaves_nothing(self):
        session = Session("gui-closed", {"WINEDLLOVERRIDES": "mscoree,mshtml=;systeminfo.exe=n",
                                         "VANTREL_FAKE_HANG": "1", "VANTREL_FAKE_CHILD": "1"})
        try:
            windows = os.path.join(winebed.drive_c(session.prefix), "windows")
            for folder in ("system32", "syswow64"):
                winebed.replace_file(FAKE, os.path.join(windows, folder, "systeminfo.exe"))
            tool = session.tool.start()
            tool.main_window()
            deadline = time.monotonic() + 120
            while len(prefix_processes(session.prefix, "systeminfo.exe")) < 2 and time.monotonic() < deadline:
                time.sleep(0.2)
            self.assertGreaterEqual(len(prefix_processes(session.prefix, "systeminfo.exe")), 2,
                                    "the command and its child run while the window is read")
            areas = self.areas(session.prefix)
            self.assertEqual(len(areas), 1)
            self.assertEqual([n[:11] for n in os.listdir(areas[0])], ["SystemInfo_"])  # its raw output
            self.assertTrue(tool.close_window())
            self.assertEqual(tool.wait(60), 0)
            self.assertEqual(self.areas(session.prefix), [])
            deadline = time.monotonic() + 30
            while prefix_processes(session.prefix, "systeminfo.exe") and time.monotonic() < deadline:
                time.sleep(0.2)
            self.assertEqual(prefix_processes(session.prefix, "systeminfo.exe"), [])
        finally:
            session.close()


if __name__ == "__main__":
    unittest.main()
