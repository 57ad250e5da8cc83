#!/usr/bin/env python3
"""Packs one folder with the tool's ZipFolder under Wine (one thread and
several) and with Info-ZIP's `zip -r -9`, in alternating rounds in one
invocation, and prints median times, the time and size ratios against
Info-ZIP, whether every thread count wrote the same archive, and the peak
memory of each.

    bench/zip_vs_infozip.py --corpus DIR [--rounds N] [--threads N]
    bench/zip_vs_infozip.py --make-corpus SCRIPT   (SCRIPT DIR builds the corpus)
    bench/zip_vs_infozip.py --memory              (large files: what the extra
                                                   threads hold in memory)

Needs the Windows test build (scripts/build.sh wintest): the zip_folder
fixture program and the Wine template prefix. The machine may be shared:
the rounds alternate the programs so that a change of load hits all of them,
and the ratios are medians of per-round ratios.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import winebed  # noqa: E402


def timed(args, cwd=None, env=None):
    """Runs a command; returns (wall seconds, peak resident MiB of its
    process). GNU time reports the peak: a child forked from this Python
    process would count the parent's pages in its own peak."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.perf_counter()
        r = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + args, cwd=cwd, env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        if r.returncode != 0:
            raise SystemExit("%s failed with %d" % (" ".join(args), r.returncode))
        return wall, int(report.read().split()[-1]) / 1024.0


class Bed:
    def __init__(self, build):
        self.root = tempfile.mkdtemp(prefix="zipbench-", dir=build)
        self.prefix = winebed.fresh(os.path.join(build, "wine", "template"), os.path.join(self.root, "prefix"))
        self.env = winebed.wine_env(self.prefix)
        self.exe = os.path.join(build, "tests", "fixtures", "zip_folder", "zip_folder.exe")
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    def close(self):
        winebed.stop(self.prefix)
        shutil.rmtree(self.root, ignore_errors=True)


def contenders(bed, folder, threads):
    """name -> function running one pack; each returns (seconds, MiB, archive path)."""
    def info_zip():
        out = os.path.join(bed.root, "infozip.zip")
        if os.path.exists(out):
            os.remove(out)  # zip would update an existing archive
        wall, mib = timed(["zip", "-r", "-9", "-q", out, "."], cwd=folder)
        return wall, mib, out

    def zip_folder(n):
        def run():
            out = os.path.join(bed.root, "zipfolder-%d.zip" % n)
            wall, mib = timed(["wine", bed.exe, winebed.windows_path(folder), winebed.windows_path(out), str(n)],
                              env=bed.env)
            return wall, mib, out
        return run

    named = {"Info-ZIP zip -r -9": info_zip, "ZipFolder, 1 thread": zip_folder(1)}
    if threads > 1:
        named["ZipFolder, %d threads" % threads] = zip_folder(threads)
    return named


def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x, y = fa.read(1 << 20), fb.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


def bench(bed, folder, rounds, threads):
    runs = contenders(bed, folder, threads)
    names = list(runs)
    for name in names:  # warm-up: caches, the prefix's first start
        runs[name]()
    times = {n: [] for n in names}
    peaks = {n: [] for n in names}
    archives = {}
    for r in range(rounds):
        order = names[r % len(names):] + names[:r % len(names)]
        for name in order:
            wall, mib, archives[name] = runs[name]()
            times[name].append(wall)
            peaks[name].append(mib)
        print("round %d: %s" % (r + 1, ", ".join("%s %.2f s" % (n, times[n][-1]) for n in names)), flush=True)

    base = names[0]
    print()
    print("%-22s %9s %7s %7s %9s %14s" % ("", "median s", "min", "max", "peak MiB", "archive bytes"))
    for n in names:
        print("%-22s %9.2f %7.2f %7.2f %9.1f %14d" % (n, statistics.median(times[n]), min(times[n]), max(times[n]),
                                                   max(peaks[n]), os.path.getsize(archives[n])))
    print()
    for n in names[1:]:
        ratios = [a / b for a, b in zip(times[n], times[base])]
        print("%s / Info-ZIP: time %.3f (median of rounds; %.3f to %.3f), size %.4f" % (
            n, statistics.median(ratios), min(ratios), max(ratios),
            os.path.getsize(archives[n]) / os.path.getsize(archives[base])))
    if len(names) > 2:
        print("archive of %s identical to 1 thread: %s" % (names[2], same_bytes(archives[names[1]], archives[names[2]])))
        print("peak memory, %s over 1 thread: %+.1f MiB" % (names[2], max(peaks[names[2]]) - max(peaks[names[1]])))


def log_lines(size, seed):
    rng = random.Random(seed)
    parts = []
    total = 0
    while total < size:
        line = "2016-03-14 %02d:%02d:%02d.%03d [%04x] SyncEngine INFO item %d of %d, %s\r\n" % (
            rng.randrange(24), rng.randrange(60), rng.randrange(60), rng.randrange(1000), rng.randrange(1 << 16),
            rng.randrange(100000), rng.randrange(100000), rng.choice(["ok", "retry", "0x80070005", "skipped"]))
        parts.append(line)
        total += len(line)
    return "".join(parts).encode("ascii")[:size]


def memory_folder(root):
    """A slow file first (text at level 9), then incompressible ones: the
    threads that run ahead produce far more than the writer may take yet."""
    folder = os.path.join(root, "memory")
    os.makedirs(folder)
    with open(os.path.join(folder, "a_first.log"), "wb") as f:
        block = log_lines(8 << 20, 1)
        for _ in range(12):
            f.write(block)
    for i in range(3):
        with open(os.path.join(folder, "b_random%d.bin" % i), "wb") as f:
            for _ in range(100):
                f.write(os.urandom(1 << 20))
    return folder


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--corpus", help="the folder to pack")
    parser.add_argument("--make-corpus", help="script that builds the corpus in the folder it is given")
    parser.add_argument("--memory", action="store_true", help="pack large files to see the memory the threads hold")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "wintest"))
    args = parser.parse_args()

    bed = Bed(args.build)
    try:
        if args.memory:
            folder = memory_folder(bed.root)
        elif args.corpus:
            folder = os.path.abspath(args.corpus)
        elif args.make_corpus:
            folder = os.path.join(bed.root, "corpus")
            subprocess.run([args.make_corpus, folder], check=True, stdout=subprocess.DEVNULL)
        else:
            parser.error("give --corpus, --make-corpus or --memory")
        count = sum(len(files) for _, _, files in os.walk(folder))
        size = sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(folder) for f in files)
        print("folder %s: %d files, %d bytes; %d rounds; load average %.2f" % (
            folder, count, size, args.rounds, os.getloadavg()[0]), flush=True)
        bench(bed, folder, args.rounds, args.threads)
        print("load average at the end %.2f" % os.getloadavg()[0])
    finally:
        bed.close()


if __name__ == "__main__":
    main()
