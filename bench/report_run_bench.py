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

With --compare EXE, another build of the product (an earlier version, say)
is timed as in A too, its runs taking turns with this build's, so that the
two are measured side by side under the same load.

Usage: bench/report_run_bench.py [--runs N] [--corpus DIR] [--compare EXE]
Needs the win and wintest builds (scripts/build.sh win wintest); where Wine
cannot start 32-bit programs (VANTREL_WINE_BIN set, as scripts/test.sh and
scripts/run.sh do), the win64 and wintest64 builds instead.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import product  # noqa: E402
import tooldriver  # noqa: E402
import winebed  # noqa: E402
import xdisplay  # noqa: E402
import make_corpus  # noqa: E402  (beside this script)

BUILD = os.path.join(ROOT, "build")
BITS = "64" if winebed.SIXTY_FOUR_BIT_TOOL else ""
EXE = os.path.join(BUILD, "win" + BITS, "VantrelInfoHelpV2.exe")
FIXTURES = os.path.join(BUILD, "wintest" + BITS, "tests", "fixtures")
GUIPROBE = os.path.join(FIXTURES, "guiprobe", "guiprobe.exe")
JOBRUN = os.path.join(FIXTURES, "jobrun", "jobrun.exe")
WORK = os.path.join(BUILD, "bench", "report_run")


def seed(prefix, corpus):
    winebed.import_registry(prefix, product.installed_registry())
    for tree, place in product.collected_folders().items():
        shutil.copytree(os.path.join(corpus, tree), winebed.unix_path(prefix, place), dirs_exist_ok=True)
    with open(winebed.unix_path(prefix, product.UPDATER_EXE), "wb") as f:
        f.write(b"MZ")


def click_to_message(prefix, display, exe=EXE):
    """Seconds from the click to the success message."""
    with tooldriver.ToolRun(exe, prefix, display, GUIPROBE).start() as tool:
        window = tool.main_window()
        start = time.perf_counter()
        tool.press_button(window)
        if tool.find_x_window(product.INFORMATION, timeout=900, poll=0.02) is None:
            raise RuntimeError("no success message")
        elapsed = time.perf_counter() - start
        if tool.message_box(60).get("caption") != product.INFORMATION or tool.wait(60) != 0:
            raise RuntimeError("the tool did not end with 0 after its success message")
        return elapsed


def stage_times(prefix):
    code, text = winebed.run_program(winebed.wine_env(prefix), [JOBRUN, r"C:\jobrun.zip"], timeout=900)
    if code != 0:
        raise RuntimeError("jobrun failed: %s" % text)
    return winebed.last_json(text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--corpus", help="the folder to seed from (default: the project's corpus)")
    parser.add_argument("--compare", help="another build of the product, timed in turn with this one")
    options = parser.parse_args()
    options.corpus = options.corpus or make_corpus.ensure_corpus()

    os.makedirs(WORK, exist_ok=True)
    prefix = winebed.fresh(winebed.ensure_template(os.path.join(BUILD, "wintest" + BITS, "wine", "template")),
                           os.path.join(WORK, "prefix"))
    gui, timed, other = [], [], []
    try:
        seed(prefix, options.corpus)
        with xdisplay.Display() as display:
            click_to_message(prefix, display), stage_times(prefix)  # warm-up
            if options.compare:
                click_to_message(prefix, display, options.compare)
            for _ in range(options.runs):
                gui.append(click_to_message(prefix, display))
                if options.compare:
                    other.append(click_to_message(prefix, display, options.compare))
                timed.append(stage_times(prefix))
        archive = os.path.getsize(os.path.join(winebed.desktop_dir(prefix), product.ARCHIVE))
    finally:
        winebed.stop(prefix)
        shutil.rmtree(WORK, ignore_errors=True)

    print("%d runs; archive on the desktop: %.1f MB" % (options.runs, archive / 1e6))
    print("A  click to success message   s: min %.2f  median %.2f  max %.2f" %
          (min(gui), statistics.median(gui), max(gui)))
    if other:
        print("A' the other build (%s)  s: min %.2f  median %.2f  max %.2f" %
              (os.path.basename(os.path.dirname(os.path.abspath(options.compare))), min(other),
               statistics.median(other), max(other)))
        ratios = sorted(a / b for a, b in zip(gui, other))
        print("   this build / the other, run by run: median %.3f  (range %.3f to %.3f)" %
              (statistics.median(ratios), ratios[0], ratios[-1]))
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
