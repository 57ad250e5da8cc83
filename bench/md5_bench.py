#!/usr/bin/env python3
"""MD5 throughput, measured side by side in one run.

1. Native: the project's MD5 code (built with -O2 as the product is, without
   sanitizers) against md5sum over the same files of the benchmark corpus.
2. Under Wine: FileMD5 (mapped views) over the install-like part of the
   corpus (AppPath and iTunesDll) against a plain ReadFile-and-digest loop in
   the same program, both built with the product's compiler.

The two commands of a pair run in turn (A B A B ...) after a warm-up run of
each, so page cache and machine load are alike for both; the ratio is the
median of the per-pair ratios. Targets: native digest >= 0.9x md5sum's
throughput; FileMD5 under Wine >= 0.9x the read loop's.

Usage: bench/md5_bench.py [--corpus DIR] [--runs N] [--passes P]
Without --corpus, the project's corpus (bench/make_corpus.py, made in
build/bench/corpus on first use).
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
import winebed  # noqa: E402
import make_corpus  # noqa: E402  (beside this script)

OUT = os.path.join(ROOT, "build", "bench")
MB = 1e6


def sh(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def build_programs():
    os.makedirs(OUT, exist_ok=True)
    src = [os.path.join(ROOT, "bench", "md5_bench.cpp"), os.path.join(ROOT, "src", "platform", "md5.cpp")]
    native = os.path.join(OUT, "md5_bench")
    sh(["g++", "-std=c++17", "-O2", "-g", "-I", os.path.join(ROOT, "src"), "-o", native] + src)
    exe = os.path.join(OUT, "md5_bench.exe")
    sh(["i686-w64-mingw32-g++-win32", "-std=c++17", "-O2", "-g", "-DUNICODE", "-D_UNICODE", "-municode",
        "-static", "-I", os.path.join(ROOT, "src"), "-o", exe] + src +
       [os.path.join(ROOT, "src", "platform", name) for name in ("md5_win.cpp", "file_io_win.cpp", "text.cpp")])
    return native, exe


def files_below(*dirs):
    found = []
    for d in dirs:
        for root, _, names in os.walk(d):
            found.extend(os.path.join(root, n) for n in names)
    return sorted(found)


def timed(cmd, env=None):
    start = time.perf_counter()
    run = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    return time.perf_counter() - start, run.stdout.decode()


def alternate(a, b, runs, env=None):
    """Runs a and b in turn; returns their times and outputs (warm-up dropped)."""
    timed(a, env)
    timed(b, env)
    ta, tb, outs_a, outs_b = [], [], [], []
    for _ in range(runs):
        t, out = timed(a, env)
        ta.append(t)
        outs_a.append(out)
        t, out = timed(b, env)
        tb.append(t)
        outs_b.append(out)
    return ta, tb, outs_a, outs_b


def report(name_a, name_b, ta, tb, nbytes):
    ratio = statistics.median(b / a for a, b in zip(ta, tb))  # throughput of a relative to b
    for name, t in ((name_a, ta), (name_b, tb)):
        med = statistics.median(t)
        print("  %-34s median %.3f s (min %.3f, max %.3f)  %.0f MB/s" % (name, med, min(t), max(t), nbytes / med / MB))
    print("  throughput ratio %s / %s: %.2f (median of pairs)" % (name_a, name_b, ratio))
    return ratio


def native_bench(native, corpus, runs, repeat):
    files = files_below(corpus)
    nbytes = sum(os.path.getsize(f) for f in files) * repeat
    args = files * repeat
    ours = [native] + args
    theirs = ["md5sum"] + args
    ta, tb, oa, ob = alternate(ours, theirs, runs)
    if oa[0] != ob[0]:
        sys.exit("native digests differ from md5sum's")
    print("native: %d files, %.1f MB per run (corpus x%d), digests equal to md5sum's" % (len(files), nbytes / MB, repeat))
    return report("project MD5 (native, -O2)", "md5sum", ta, tb, nbytes)


def wine_bench(exe, corpus, runs, passes):
    subset = [os.path.join(corpus, "AppPath"), os.path.join(corpus, "iTunesDll")]
    nbytes = sum(os.path.getsize(f) for f in files_below(*subset)) * passes
    prefix = os.path.join(OUT, "wine", "prefix")
    template = os.path.join(ROOT, "build", "wintest", "wine", "template")
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    winebed.fresh(template, prefix)
    env = winebed.wine_env(prefix)
    server = subprocess.Popen(["wineserver", "-f", "-p"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        # The program walks one folder: one that links to the two parts.
        link_dir = os.path.join(OUT, "install_like")
        shutil.rmtree(link_dir, ignore_errors=True)
        os.makedirs(link_dir)
        for d in subset:
            os.symlink(os.path.abspath(d), os.path.join(link_dir, os.path.basename(d)))
        folder = winebed.windows_path(link_dir)
        mapped = ["wine", exe, "map", str(passes), folder]
        loop = ["wine", exe, "read", str(passes), folder]
        ta, tb, oa, ob = alternate(mapped, loop, runs, env)
        combined = {o.split()[3] for o in oa + ob}
        if len(combined) != 1:
            sys.exit("FileMD5 and the read loop disagree: %s" % combined)
        files = int(oa[0].split()[1])
        print("wine: %d files, %.1f MB per run (install-like part x%d passes), same digests both ways"
              % (files, nbytes / MB, passes))
        print(" whole process, Wine start included:")
        whole = report("FileMD5", "ReadFile loop", ta, tb, nbytes)
        inner_a = [float(o.split()[7]) for o in oa]
        inner_b = [float(o.split()[7]) for o in ob]
        print(" digest loop only, timed inside the program:")
        inner = report("FileMD5", "ReadFile loop", inner_a, inner_b, nbytes)
        return whole, inner
    finally:
        subprocess.run(["wineserver", "-k"], env=env, check=False)
        server.wait(30)
        shutil.rmtree(os.path.dirname(prefix), ignore_errors=True)  # a prefix copy is over 1 GB


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--corpus", help="the folder to digest (default: the project's corpus)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--passes", type=int, default=4, help="passes over the install-like folder per Wine run")
    parser.add_argument("--repeat", type=int, default=3, help="times each corpus file is named per native run")
    args = parser.parse_args()
    args.corpus = args.corpus or make_corpus.ensure_corpus()
    native, exe = build_programs()
    native_ratio = native_bench(native, args.corpus, args.runs, args.repeat)
    _, inner = wine_bench(exe, args.corpus, args.runs, args.passes)
    print("targets: native >= 0.90 x md5sum: %.2f %s; FileMD5 >= 0.90 x read loop (inside the program): %.2f %s"
          % (native_ratio, "met" if native_ratio >= 0.9 else "MISSED", inner, "met" if inner >= 0.9 else "MISSED"))


if __name__ == "__main__":
    main()
