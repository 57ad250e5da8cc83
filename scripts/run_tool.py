#!/usr/bin/env python3
"""Runs the tool under Wine in a prefix inside the build tree.

With a display (DISPLAY set and reachable) the window opens there for you to
use. Without one, an Xvfb is started, the button is pressed with xdotool, the
message box is recognised by its caption and dismissed,
and the archive's path and listing are printed.
"""
import os
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winebed  # noqa: E402

CAPTION = "Vantrel Helper V2"


def display_works():
    if not os.environ.get("DISPLAY"):
        return False
    return subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def report(prefix):
    archive = os.path.join(winebed.desktop_dir(prefix), "Vantrel_Debug_Info.zip")
    if not os.path.isfile(archive):
        print("No archive was saved on the desktop (%s)." % archive)
        return 1
    print("Archive: C:\\users\\%s\\Desktop\\Vantrel_Debug_Info.zip" % winebed.user_name())
    print("   (on this machine: %s)" % archive)
    with zipfile.ZipFile(archive) as z:
        print("%12s  %-19s  %s" % ("size", "modified", "name"))
        for info in z.infolist():
            print("%12d  %04d-%02d-%02d %02d:%02d:%02d  %s" % ((info.file_size,) + info.date_time + (info.filename,)))
        print("%d members" % len(z.infolist()))
    return 0


def button_centre(tool, window):
    """Screen position of the button's centre: client (145, 103), the client
    area sitting at the bottom of the frame, centred between its borders."""
    geometry = tool.xdotool("getwindowgeometry", "--shell", window)
    values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
    border = (int(values["WIDTH"]) - 305) // 2
    client_top = int(values["Y"]) + int(values["HEIGHT"]) - 147 - border
    return int(values["X"]) + border + 145, client_top + 103


def wait_for_message_box(tool, timeout):
    """(caption, X window id) of the first message box to appear, or (None, None)."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        for caption in ("Information", "Error"):
            found = tool.xdotool("search", "--name", "^%s$" % caption).split()
            if found:
                return caption, found[0]
        if tool.proc.poll() is not None:
            break
        time.sleep(0.2)
    return None, None


def run_headless(exe, prefix):
    with winebed.Display() as display:
        tool = winebed.ToolRun(exe, prefix, display.name).start()
        try:
            window = tool.find_x_window(CAPTION, timeout=120)
            if window is None:
                print("The window did not appear.")
                return 1
            print('Pressing "Save report to Desktop" ...')
            tool.click_at(*button_centre(tool, window))
            caption, box = wait_for_message_box(tool, 900)
            if caption is None:
                print("No message box appeared.")
                return 1
            print("Message box: %s" % caption)
            tool.press_return(box)
            if caption == "Information":
                print("The tool ended with exit code %s." % tool.wait(60))
        finally:
            tool.kill()
            winebed.stop(prefix)
    return report(prefix)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    build = os.environ.get("VANTREL_BUILD_DIR", os.path.join(root, "build"))
    exe = os.path.join(build, "win", "VantrelInfoHelpV2.exe")
    prefix = winebed.fresh(os.path.join(build, "run", "template"), os.path.join(build, "run", "prefix"))
    if display_works():
        tool = winebed.ToolRun(exe, prefix, os.environ["DISPLAY"]).start()
        tool.wait(None)
        winebed.stop(prefix)
        return report(prefix)
    return run_headless(exe, prefix)


if __name__ == "__main__":
    sys.exit(main())
