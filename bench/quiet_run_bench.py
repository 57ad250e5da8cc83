#!/usr/bin/env python3
"""A run without a window against the clicked run, on the same seeded
product, taking turns.

The private prefix is seeded from the benchmark corpus as for
report_run_bench.py (install folder, updater, roaming data, Apple
libraries; systeminfo.exe replaced by a stand-in that prints a
systeminfo-sized text at once). Then, after one warm-up of each, in turn
(the quiet run first in every other round):

  A  the clicked run under Xvfb: the click on "Save report to Desktop"
     until the success message shows (as report_run_bench.py measures it);
  Q  "VantrelInfoHelpV2.exe /quiet /out C:\\collect": from starting the
     process until it has ended, Wine's process start included, which A
     does not count (its window was already there).

Also printed: the clicked run from starting the process until the
message (window, click and job), the same span for A as Q covers.

Usage: bench/quiet_run_bench.py [--runs N] [--corpus DIR]
Needs the win and wintest builds (scripts/build.sh win wintest; the 64-bit
trees where Wine cannot start 32-bit programs, see bench_trees.py).
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import bench_trees  # noqa: E402  (beside this script; before winebed)
import product  # noqa: E402
import tooldriver  # noqa: E402
import winebed  # noqa: E402
import xdisplay  # noqa: E402
import make_corpus  # noqa: E402  (beside this script)
from report_run_bench import GUIPROBE, install_stand_in, seed, spread  # noqa: E402

EXE = bench_trees.EXE
WORK = os.path.join(bench_trees.BENCH, "quiet_run")
COLLECT = r"C:\collect"


def clicked(prefix, display, env):
    """Seconds from the click to the success message, and from the process's
    start to the message."""
    started = time.perf_counter()
    with tooldriver.ToolRun(EXE, prefix, display, GUIPROBE, extra_env=env).start() as tool:
        window = tool.main_window()
        click = time.perf_counter()
        tool.press_button(window)
        if tool.find_x_window(product.INFORMATION, timeout=900, poll=0.1) is None:
            raise RuntimeError("no success message")
        shown = time.perf_counter()
        if tool.message_box(60).get("caption") != product.INFORMATION or tool.wait(60) != 0:
            raise RuntimeError("the tool did not end with 0 after its success message")
    return shown - click, shown - started


def quiet(prefix, display, env):
    """Seconds from the start of "/quiet /out" to the process's end."""
    run_env = winebed.wine_env(prefix, display=display, extra=env)
    started = time.perf_counter()
    code = subprocess.run(["wine", EXE, "/quiet", "/out", COLLECT], env=run_env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=900).returncode
    elapsed = time.perf_counter() - started
    if code != 0:
        raise RuntimeError("the quiet run ended with %d" % code)
    collect = winebed.unix_path(prefix, COLLECT)
    shutil.rmtree(collect)
    os.makedirs(collect)
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--corpus", help="the folder to seed from (default: the project's corpus)")
    options = parser.parse_args()
    options.corpus = options.corpus or make_corpus.ensure_corpus()

    os.makedirs(WORK, exist_ok=True)
    prefix = winebed.fresh(winebed.ensure_template(bench_trees.TEMPLATE), os.path.join(WORK, "prefix"))
    clicks, starts, quiets = [], [], []
    try:
        seed(prefix, options.corpus)
        env = install_stand_in(prefix, os.path.join(WORK, "scratch"))
        os.makedirs(winebed.unix_path(prefix, COLLECT), exist_ok=True)
        subprocess.run(["wineserver", "-p"], env=winebed.wine_env(prefix), check=True)
        with xdisplay.Display() as display:
            clicked(prefix, display, env), quiet(prefix, display, env)  # warm-up
            for round_number in range(options.runs):
                if round_number % 2 == 0:
                    quiets.append(quiet(prefix, display, env))
                click, start = clicked(prefix, display, env)
                clicks.append(click)
                starts.append(start)
                if round_number % 2 == 1:
                    quiets.append(quiet(prefix, display, env))
    finally:
        winebed.stop(prefix)
        shutil.rmtree(WORK, ignore_errors=True)

    print(bench_trees.describe())
    print("%d runs each, taking turns" % options.runs)
    print("A  clicked: click to success message       s: %s" % spread(clicks))
    print("Q  quiet: process start to process end     s: %s" % spread(quiets))
    print("   clicked: process start to message        s: %s" % spread(starts))
    print("Q/A per round: %s" % spread([q / a for q, a in zip(quiets, clicks)]))


if __name__ == "__main__":
    main()
