#!/usr/bin/env python3
"""A whole report run on a seeded product, and where its time goes.

A private Wine prefix is seeded from the benchmark corpus (bench/make_corpus.py):
its AppPath tree becomes the install folder (with the uninstall entry), its
Updater tree the registered updater's folder, its AppData tree the roaming
product data, its iTunesDll folder the Apple support libraries. Then, in
turn, after one warm-up of each:

  A  the product under Xvfb: a click on "Save report to Desktop", timed until
     the success message appears (the whole job, packing and copying the
     archive to the desktop included);
  B  the jobrun fixture: the same job with the tool's own stages in one
     process, each stage timed; the rest of the job (saving the text report,
     emptying and removing the working folder, copying the archive) is the
     total minus the stages.

Usage: bench/report_run_bench.py [--runs N] [--corpus DIR]
Needs the win and wintest builds (scripts/build.sh win wintest).
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import winebed  # noqa: E402
import make_corpus  # noqa: E402  (beside this script)

BUILD = os.path.join(ROOT, "build")
EXE = os.path.join(BUILD, "win", "VantrelInfoHelpV2.exe")
FIXTURES = os.path.join(BUILD, "wintest", "tests", "fixtures")
GUIPROBE = os.path.join(FIXTURES, "guiprobe", "guiprobe.exe")
JOBRUN = os.path.join(FIXTURES, "jobrun", "jobrun.exe")
WORK = os.path.join(BUILD, "bench", "report_run")
CAPTION = "Vantrel Helper V2"

SEED_REG = r"""Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel_is1]
"InstallLocation"="C:\\Program Files (x86)\\Vantrel"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Vantrel\Vantrel Updater]
"AppPath"="C:\\Program Files (x86)\\Vantrel Updater\\VNTUpdater.exe"
"""


def seed(prefix, corpus):
    env = winebed.wine_env(prefix)
    reg = os.path.join(WORK, "seed.reg")
    with open(reg, "w", newline="\r\n", encoding="utf-16") as f:
        f.write(SEED_REG)
    subprocess.run(["wine", "reg", "import", winebed.windows_path(reg), "/reg:64"], env=env, check=True,
                   capture_output=True, timeout=300)
    places = {
        "AppPath": r"C:\Program Files (x86)\Vantrel",
        "Updater": r"C:\Program Files (x86)\Vantrel Updater",
        "AppData": r"C:\users\%s\AppData\Roaming\Vantrel\VNT" % winebed.user_name(),
        "iTunesDll": r"C:\Program Files (x86)\Common Files\Apple\Apple Application Support",
    }
    for tree, place in places.items():
        shutil.copytree(os.path.join(corpus, tree), winebed.unix_path(prefix, place), dirs_exist_ok=True)
    with open(winebed.unix_path(prefix, places["Updater"] + r"\VNTUpdater.exe"), "wb") as f:
        f.write(b"MZ")


def click_to_message(prefix, display):
    """Seconds from the click to the success message."""
    tool = winebed.ToolRun(EXE, prefix, display, guiprobe=GUIPROBE).start()
    try:
        window = tool.probe("describe", CAPTION, 120000)
        button = [c for c in window["children"] if c["text"] == "Save report to Desktop"][0]
        x, y, w, h = button["screen_rect"]
        start = time.perf_counter()
        tool.click_at(x + w // 2, y + h // 2)
        while not tool.xdotool("search", "--name", "^Information$").split():
            if time.perf_counter() - start > 900:
                raise RuntimeError("no success message")
            time.sleep(0.02)
        elapsed = time.perf_counter() - start
        tool.press_return(tool.find_x_window("Information"))
        if tool.wait(60) != 0:
            raise RuntimeError("the tool did not end with 0")
        return elapsed
    finally:
        tool.kill()


def stage_times(prefix):
    with tempfile.TemporaryFile() as out:
        subprocess.run(["wine", JOBRUN, r"C:\jobrun.zip"], env=winebed.wine_env(prefix), stdout=out,
                       stderr=subprocess.DEVNULL, check=True, timeout=900)
        out.seek(0)
        return json.loads(out.read().decode("utf-8").strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--corpus", help="the folder to seed from (default: the project's corpus)")
    options = parser.parse_args()
    options.corpus = options.corpus or make_corpus.ensure_corpus()

    os.makedirs(WORK, exist_ok=True)
    prefix = winebed.fresh(winebed.ensure_template(os.path.join(BUILD, "wintest", "wine", "template")),
                           os.path.join(WORK, "prefix"))
    gui, timed = [], []
    try:
        seed(prefix, options.corpus)
        with winebed.Display() as display:
            click_to_message(prefix, display.name), stage_times(prefix)  # warm-up
            for _ in range(options.runs):
                gui.append(click_to_message(prefix, display.name))
                timed.append(stage_times(prefix))
        archive = os.path.getsize(os.path.join(winebed.desktop_dir(prefix), "Vantrel_Debug_Info.zip"))
    finally:
        winebed.stop(prefix)
        shutil.rmtree(WORK, ignore_errors=True)

    print("%d runs; archive on the desktop: %.1f MB" % (options.runs, archive / 1e6))
    print("A  click to success message   s: min %.2f  median %.2f  max %.2f" %
          (min(gui), statistics.median(gui), max(gui)))
    totals = [t["total_ms"] / 1000 for t in timed]
    print("B  job in one process          s: min %.2f  median %.2f  max %.2f" %
          (min(totals), statistics.median(totals), max(totals)))
    names = [name for name, _ in timed[0]["stages"]]
    for name in names:
        values = [dict(t["stages"])[name] / 1000 for t in timed]
        print("     %-22s s: median %.2f  (%.0f%%)" % (name, statistics.median(values),
                                                       100 * statistics.median(values) / statistics.median(totals)))
    rest = [t["total_ms"] / 1000 - sum(v for _, v in t["stages"]) / 1000 for t in timed]
    print("     %-22s s: median %.2f" % ("rest of the job", statistics.median(rest)))
    print("   progress messages of the last run: %s" % timed[-1]["messages"])


if __name__ == "__main__":
    main()
