#!/usr/bin/env python3
"""Packs a folder with the tool's ZipFolder under Wine (one thread and
several) and with Info-ZIP's `zip -r -9`, in alternating rounds in one
invocation, and prints median times, the time and size ratios against
Info-ZIP, whether every thread count wrote the same archive, and the peak
memory of each.

    bench/zip_vs_infozip.py [--corpus DIR] [--rounds N] [--threads N]
        the project's corpus (bench/make_corpus.py, made in build/bench/corpus
        on first use) or another folder
    bench/zip_vs_infozip.py --large [--rounds N]
        one log-like file of 256 MiB (build/bench/large): ZipFolder with 1, 2
        and 8 threads side by side; the time of 2 threads over 1, whether the
        archives are identical, the member's size over one zlib level-9
        stream of the same bytes, and the peak memory over that of packing an
        empty folder
    bench/zip_vs_infozip.py --memory
        large files: what the extra threads hold in memory

Needs the Windows test build (scripts/build.sh wintest; wintest64 where Wine
cannot start 32-bit programs, see bench_trees.py): the zip_folder fixture
program and the Wine template prefix. The machine may be shared:
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
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import bench_trees  # noqa: E402  (beside this script; before winebed)
import winebed  # noqa: E402
import make_corpus  # noqa: E402  (beside this script)


def timed(args, cwd=None, env=None):
    """Runs a command; returns (wall seconds, peak resident MiB, CPU seconds
    of its process). GNU time reports the peak: a child forked from this
    Python process would count the parent's pages in its own peak. The CPU
    time shows what a shared machine gave: two threads at full speed take
    twice their wall time."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.perf_counter()
        r = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", report.name] + args, cwd=cwd, env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        if r.returncode != 0:
            raise SystemExit("%s failed with %d" % (" ".join(args), r.returncode))
        peak, user, system = report.read().split()[-3:]
        return wall, int(peak) / 1024.0, float(user) + float(system)


class Bed:
    def __init__(self, build):
        build = os.path.abspath(build)
        self.root = tempfile.mkdtemp(prefix="zipbench-", dir=build)
        self.prefix = winebed.fresh(os.path.join(build, "wine", "template"), os.path.join(self.root, "prefix"))
        self.env = winebed.wine_env(self.prefix)
        self.exe = os.path.join(build, "tests", "fixtures", "zip_folder", "zip_folder.exe")
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)

    def close(self):
        winebed.stop(self.prefix)
        shutil.rmtree(self.root, ignore_errors=True)


def zip_folder_run(bed, folder, threads, out_name=None):
    """A function running ZipFolder on `folder` with `threads` threads; it
    returns (seconds, MiB, CPU seconds, archive path)."""
    out = os.path.join(bed.root, out_name or "zipfolder-%d.zip" % threads)

    def run():
        wall, mib, cpu = timed(["wine", bed.exe, winebed.windows_path(folder), winebed.windows_path(out),
                                str(threads)], env=bed.env)
        return wall, mib, cpu, out
    return run


def contenders(bed, folder, threads):
    """name -> function running one pack; each returns (seconds, MiB, CPU seconds, archive path)."""
    def info_zip():
        out = os.path.join(bed.root, "infozip.zip")
        if os.path.exists(out):
            os.remove(out)  # zip would update an existing archive
        wall, mib, cpu = timed(["zip", "-r", "-9", "-q", out, "."], cwd=folder)
        return wall, mib, cpu, out

    named = {"Info-ZIP zip -r -9": info_zip, "ZipFolder, 1 thread": zip_folder_run(bed, folder, 1)}
    if threads > 1:
        named["ZipFolder, %d threads" % threads] = zip_folder_run(bed, folder, threads)
    return named


def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x, y = fa.read(1 << 20), fb.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


def run_rounds(runs, rounds):
    """Runs every contender once as a warm-up, then `rounds` times in turn,
    the order rotating; returns times, peaks, CPU times and the last archive
    of each."""
    names = list(runs)
    for name in names:  # warm-up: caches, the prefix's first start
        runs[name]()
    times = {n: [] for n in names}
    peaks = {n: [] for n in names}
    cpus = {n: [] for n in names}
    archives = {}
    for r in range(rounds):
        order = names[r % len(names):] + names[:r % len(names)]
        for name in order:
            wall, mib, cpu, archives[name] = runs[name]()
            times[name].append(wall)
            peaks[name].append(mib)
            cpus[name].append(cpu)
        print("round %d: %s" % (r + 1, ", ".join("%s %.2f s" % (n, times[n][-1]) for n in names)), flush=True)
    return times, peaks, cpus, archives


def print_table(names, times, peaks, cpus, archives, extra=None):
    print()
    print("%-22s %9s %7s %7s %7s %9s %14s" % ("", "median s", "min", "max", "CPU s", "peak MiB", "archive bytes") +
          ("  %s" % extra[0] if extra else ""))
    for n in names:
        print("%-22s %9.2f %7.2f %7.2f %7.2f %9.1f %14d" % (
            n, statistics.median(times[n]), min(times[n]), max(times[n]), statistics.median(cpus[n]),
            max(peaks[n]), os.path.getsize(archives[n])) + ("  %s" % extra[1](n) if extra else ""))
    print()


def ratio_line(what, times, name, base):
    ratios = [a / b for a, b in zip(times[name], times[base])]
    return "%s: time %.3f (median of rounds; %.3f to %.3f)" % (what, statistics.median(ratios), min(ratios),
                                                                max(ratios))


def bench(bed, folder, rounds, threads):
    runs = contenders(bed, folder, threads)
    names = list(runs)
    times, peaks, cpus, archives = run_rounds(runs, rounds)
    base = names[0]
    print_table(names, times, peaks, cpus, archives)
    for n in names[1:]:
        print("%s, size %.4f" % (ratio_line(n + " / Info-ZIP", times, n, base),
                                 os.path.getsize(archives[n]) / os.path.getsize(archives[base])))
    if len(names) > 2:
        print("archive of %s identical to 1 thread: %s" % (names[2], same_bytes(archives[names[1]], archives[names[2]])))
        print("peak memory, %s over 1 thread: %+.1f MiB" % (names[2], max(peaks[names[2]]) - max(peaks[names[1]])))


def zlib_stream_size(path):
    """Bytes of one raw deflate stream of the file at level 9, memory level 8."""
    stream = zlib.compressobj(9, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY)
    size = 0
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            size += len(stream.compress(block))
    return size + len(stream.flush())


def bench_large(bed, rounds):
    log = make_corpus.ensure_large_log()
    folder = os.path.dirname(log)
    empty = os.path.join(bed.root, "empty")
    os.makedirs(empty)
    counts = (1, 2, 8)
    runs = {"ZipFolder, %d thread%s" % (n, "s" if n > 1 else ""): zip_folder_run(bed, folder, n) for n in counts}
    names = list(runs)
    print("zlib level 9 over the same bytes ...", flush=True)
    reference = zlib_stream_size(log)
    # What Wine and the program hold without packing anything.
    idle = {}
    for name, n in zip(names, counts):
        run = zip_folder_run(bed, empty, n, "empty-%d.zip" % n)
        idle[name] = min(run()[1] for _ in range(3))
    times, peaks, cpus, archives = run_rounds(runs, rounds)
    print_table(names, times, peaks, cpus, archives,
                ("extra MiB", lambda n: "%9.1f" % (max(peaks[n]) - idle[n])))
    for n in names[1:]:
        print(ratio_line(n + " / 1 thread", times, n, names[0]))
    print("archives of 1, 2 and 8 threads identical: %s" % all(same_bytes(archives[names[0]], archives[n])
                                                               for n in names[1:]))
    with zipfile.ZipFile(archives[names[0]]) as z:
        member = z.infolist()[0]
    print("member %s: %d bytes compressed, one zlib level-9 stream %d bytes: %.5f" % (
        member.filename, member.compress_size, reference, member.compress_size / reference))
    print("peak memory over an empty folder's run, MiB: %s" % ", ".join(
        "%s %.1f" % (n, max(peaks[n]) - idle[n]) for n in names))


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
    parser.add_argument("--corpus", help="the folder to pack (default: the project's corpus)")
    parser.add_argument("--large", action="store_true", help="one log-like file of 256 MiB, 1, 2 and 8 threads")
    parser.add_argument("--memory", action="store_true", help="pack large files to see the memory the threads hold")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--build", default=bench_trees.WINTEST)
    args = parser.parse_args()

    bed = Bed(args.build)
    try:
        print(bench_trees.describe())
        print("load average at the start %.2f" % os.getloadavg()[0], flush=True)
        if args.large:
            bench_large(bed, args.rounds)
        else:
            if args.memory:
                folder = memory_folder(bed.root)
            else:
                folder = os.path.abspath(args.corpus or make_corpus.ensure_corpus())
            count = sum(len(files) for _, _, files in os.walk(folder))
            size = sum(os.path.getsize(os.path.join(d, f)) for d, _, files in os.walk(folder) for f in files)
            print("folder %s: %d files, %d bytes; %d rounds" % (folder, count, size, args.rounds), flush=True)
            bench(bed, folder, args.rounds, args.threads)
        print("load average at the end %.2f" % os.getloadavg()[0])
    finally:
        bed.close()


if __name__ == "__main__":
    main()
