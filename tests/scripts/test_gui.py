"""The window under Xvfb: layout, the button, the failure and the second try.

The product runs in a private prefix; guiprobe (a test fixture in the same Wine
session) reads window facts, xdotool presses the button like a user."""
import os
import shutil
import unittest

import winebed

EXE = os.environ["VANTREL_EXE"]
BUILD = os.environ["VANTREL_BUILD"]
GUIPROBE = os.path.join(os.environ["VANTREL_FIXTURE_DIR"], "guiprobe", "guiprobe.exe")
ARTIFACTS = os.path.join(BUILD, "artifacts")
CAPTION = "Vantrel Helper V2"

WS_THICKFRAME, WS_MAXIMIZEBOX, WS_MINIMIZEBOX = 0x40000, 0x10000, 0x20000
WS_EX_TOOLWINDOW, WS_EX_APPWINDOW = 0x80, 0x40000
PBS_SMOOTH = 0x1


def centre(control):
    x, y, w, h = control["screen_rect"]
    return x + w // 2, y + h // 2


class MainWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(BUILD, "e2e", "gui", "prefix"))
        cls.display = winebed.Display().__enter__()
        cls.tool = winebed.ToolRun(EXE, cls.prefix, cls.display.name, guiprobe=GUIPROBE).start()
        try:
            cls.window = cls.tool.probe("describe", CAPTION, 120000)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.tool.kill()
        winebed.stop(cls.prefix)
        cls.display.__exit__(None, None, None)

    def control(self, cls_name, text=None):
        for c in self.window["children"]:
            if c["class"].lower() == cls_name.lower() and (text is None or c["text"] == text):
                return c
        self.fail("no %s %r among %r" % (cls_name, text, [(c["class"], c["text"]) for c in self.window["children"]]))

    def test_1_layout(self):
        w = self.window
        self.assertTrue(w["found"])
        self.tool.screenshot(os.path.join(ARTIFACTS, "main_window.png"))
        self.assertEqual(w["class"], "TForm_OrbeloInfo")
        self.assertEqual(w["caption"], CAPTION)
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
        link = self.control("Static", "Privacy Policy.")
        self.assertEqual(link["rect"], [29, 57, 69, 13])
        button = self.control("Button", "Save report to Desktop")
        self.assertEqual(button["rect"], [61, 91, 169, 25])
        self.assertEqual((button["visible"], button["enabled"]), (1, 1))
        bar = self.control("msctls_progress32")
        self.assertEqual(bar["rect"], [44, 122, 253, 17])
        self.assertEqual(bar["visible"], 0)
        self.assertTrue(bar["style"] & PBS_SMOOTH)
        # tab order follows creation order: the button first, the bar second
        order = [c["class"].lower() for c in w["children"]]
        self.assertLess(order.index("button"), order.index("msctls_progress32"))

    def test_2_a_failed_run_returns_to_idle_and_runs_again(self):
        # A folder in the archive's place on the desktop makes the final copy fail.
        target = os.path.join(winebed.desktop_dir(self.prefix), "Vantrel_Debug_Info.zip")
        os.makedirs(target, exist_ok=True)
        button = self.control("Button", "Save report to Desktop")
        for attempt in range(2):
            self.tool.click_at(*centre(button))
            box = self.tool.probe("dialog", "Error", 600000)
            self.tool.screenshot(os.path.join(ARTIFACTS, "failed_%d.png" % attempt))
            self.assertTrue(box["found"], "no error message on attempt %d" % attempt)
            self.assertEqual(box["text"], "The info file save failed")
            self.assertEqual(self.tool.wait(1), None)  # the window stays open
            self.assertEqual(self.tool.probe("enabled", CAPTION, "Save report to Desktop")["enabled"], 1)
            bar = self.tool.probe("progress", CAPTION)
            self.assertEqual((bar["visible"], bar["pos"]), (0, 0))
        self.assertTrue(os.path.isdir(target))


if __name__ == "__main__":
    unittest.main()
