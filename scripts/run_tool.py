#!/usr/bin/env python3
"""Runs the tool under Wine in a prefix inside the build tree.

With a display (DISPLAY set and reachable) the window opens there for you to
use. Without one, the tool runs on a private Xvfb display: its button is
clicked, the message box is read and closed, and the archive's path and
listing are printed.
"""
import os
import subprocess
import sys
import zipfile

import product
import tooldriver
import winebed
import xdisplay

A_RUN = 900  # seconds a whole run may take on a loaded machine


def display_works():
    if not os.environ.get("DISPLAY"):
        return False
    return subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def report(prefix):
    archive = os.path.join(winebed.desktop_dir(prefix), product.ARCHIVE)
    if not os.path.isfile(archive):
        print("No archive was saved on the desktop (%s)." % archive)
        return 1
    print("Archive: %s" % product.desktop_target())
    print("   (on this machine: %s)" % archive)
    with zipfile.ZipFile(archive) as z:
        print("%12s  %-19s  %s" % ("size", "modified", "name"))
        for info in z.infolist():
            print("%12d  %04d-%02d-%02d %02d:%02d:%02d  %s" % ((info.file_size,) + info.date_time + (info.filename,)))
        print("%d members" % len(z.infolist()))
    return 0


def run_headless(exe, prefix, guiprobe):
    with xdisplay.Display() as display, tooldriver.ToolRun(exe, prefix, display, guiprobe) as tool:
        try:
            tool.start()
            window = tool.main_window()
            print('Pressing "%s" ...' % product.BUTTON)
            tool.press_button(window)
            box = tool.message_box(A_RUN)
            if not box["found"]:
                print("No message box appeared.")
                return 1
            print("Message box %s: %s" % (box["caption"], box["text"].replace("\r", " ")))
            if box["caption"] == product.INFORMATION:
                print("The tool ended with exit code %s." % tool.wait(60))
        finally:
            tool.kill()
            winebed.stop(prefix)
    return report(prefix)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    build = os.environ.get("VANTREL_BUILD_DIR", os.path.join(root, "build"))
    # The 64-bit build where this machine's Wine cannot start 32-bit programs
    # (scripts/run.sh chooses).
    bits = "64" if winebed.SIXTY_FOUR_BIT_TOOL else ""
    exe = os.path.join(build, "win" + bits, "VantrelInfoHelpV2.exe")
    guiprobe = os.path.join(build, "wintest" + bits, "tests", "fixtures", "guiprobe", "guiprobe.exe")
    run = os.path.join(build, "run" + bits)
    prefix = winebed.fresh(os.path.join(run, "template"), os.path.join(run, "prefix"))
    if display_works():
        tool = tooldriver.ToolRun(exe, prefix, None).start()
        tool.wait(None)
        winebed.stop(prefix)
        return report(prefix)
    return run_headless(exe, prefix, guiprobe)


if __name__ == "__main__":
    sys.exit(main())
