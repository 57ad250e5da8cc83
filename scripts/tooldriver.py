"""Drives the product's window under Wine as a user would: starts the tool,
finds its window, clicks its button, reads and dismisses its message boxes,
and waits for its end.

Windows are read with the guiprobe fixture (a Windows program in the same
Wine session: window geometry, controls, the text of a message box, which it
closes with OK); the mouse is xdotool's, on the X display the tool runs on."""
import os
import subprocess
import time

import product
import winebed

BOXES = (product.INFORMATION, product.ERROR)


class ToolRun:
    """The product (or another Windows GUI program) running in `prefix` on
    `display` (an xdisplay.Display; None: the display this process has).
    `guiprobe` is the guiprobe fixture; without it the run can only be
    started, waited for and ended."""

    def __init__(self, exe, prefix, display, guiprobe=None, extra_env=None):
        self.exe = exe
        self.prefix = prefix
        self.env = winebed.wine_env(prefix, display=display, extra=extra_env)
        self.guiprobe = guiprobe
        self.proc = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()

    def start(self):
        self.proc = subprocess.Popen(["wine", self.exe], env=self.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def wait(self, timeout):
        """The program's exit code, or None when it is still running after `timeout` s."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    # ---- reading windows ---------------------------------------------------

    def probe(self, *args, timeout=120):
        """Runs guiprobe with `args`; its JSON answer."""
        if self.guiprobe is None:
            raise RuntimeError("reading windows needs the guiprobe fixture")
        _, text = winebed.run_program(self.env, [self.guiprobe] + list(args), timeout)
        return winebed.last_json(text, {"found": False})

    def main_window(self, timeout=120):
        """The tool's window (geometry, styles and controls) once it shows."""
        window = self.probe("describe", product.CAPTION, timeout * 1000, timeout=timeout + 60)
        if not window.get("found"):
            raise AssertionError("the window did not appear")
        return window

    def message_box(self, timeout):
        """The first message box to show within `timeout` s, closed with OK:
        {"found": true, "caption": ..., "text": ...} or {"found": false}."""
        return self.probe("dialog", timeout * 1000, *BOXES, timeout=timeout + 60)

    def button_enabled(self):
        return self.probe("enabled", product.CAPTION, product.BUTTON)["enabled"]

    def close_window(self):
        """Closes the tool's window as its close box does."""
        return self.probe("close", product.CAPTION)["found"]

    def progress_bar(self):
        """The progress bar's range ("max"), position ("pos") and visibility."""
        return self.probe("progress", product.CAPTION)

    def screenshot(self, path):
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        subprocess.run(["import", "-window", "root", path], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # ---- acting --------------------------------------------------------------

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True, text=True).stdout

    def click_at(self, x, y):
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def press_button(self, window=None):
        """Clicks the centre of "Save report to Desktop" in `window` (as
        main_window gives it; read now when not given)."""
        window = window or self.main_window()
        buttons = [c for c in window["children"] if c["class"].lower() == "button" and c["text"] == product.BUTTON]
        if not buttons:
            raise AssertionError("no button %r among %r" % (product.BUTTON, window["children"]))
        x, y, w, h = buttons[0]["screen_rect"]
        self.click_at(x + w // 2, y + h // 2)

    def find_x_window(self, caption, timeout=60, poll=0.1):
        """The X window id of a top-level window with exactly this caption, or
        None after `timeout` s."""
        deadline = time.monotonic() + timeout
        while True:
            ids = self.xdotool("search", "--name", "^%s$" % caption).split()
            if ids:
                return ids[0]
            if time.monotonic() >= deadline:
                return None
            time.sleep(poll)

    def reg(self, *args):
        """`wine reg ...` in this prefix; True when it succeeded."""
        return subprocess.run(["wine", "reg"] + list(args), env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
