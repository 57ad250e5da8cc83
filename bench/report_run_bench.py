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

  C  packing alone: the zip_folder fixture on a copy of the working folder
     a run packs (the text report, "SystemInfo.txt" and the collected
     folders as their copies would lie there), with 2 threads; the whole run
     is compared with it.

While each A run lasts, the run's private areas in both temporary folders
are measured every 50 ms: TEMPPEAK is the most their files ever held.

The corpus archive is checked both ways: zip_folder packs the copy of the
working folder as files and, with its "handles" mode, the same files from
handles opened as the job collects them, with 1 and 2 threads; the archives
must be the same bytes. With --before-jobrun, the last archives of both
jobrun builds must hold the same members in the same order with the same
stored bytes, the text report and "SystemInfo.txt" (whose times differ)
aside.

The last line is for scripts:
  RUN <s> PACK <s> RATIO <x> TEMPPEAK <bytes> ARCHIVE <bytes>
RUN and PACK the medians of A and C, RATIO the median of A/C per round;
target RATIO <= 1.6 and TEMPPEAK <= ARCHIVE + the text report +
"SystemInfo.txt" + 1 MiB.

systeminfo.exe is replaced by the fakesysteminfo stand-in, printing a
systeminfo-sized text at once (or after --systeminfo-delay-ms).

With --before-exe and --before-jobrun (the product and the jobrun fixture
built from an earlier commit, copied anywhere), A and B also run with those,
in turn with the current ones, and both stage tables are printed side by
side.

Usage: bench/report_run_bench.py [--runs N] [--corpus DIR] [--systeminfo-delay-ms MS]
                                 [--before-exe EXE --before-jobrun EXE]
Needs the win and wintest builds (scripts/build.sh win wintest; the 64-bit
trees where Wine cannot start 32-bit programs, see bench_trees.py).
"""
import argparse
import os
import shutil
import filecmp
import statistics
import subprocess
import sys
import threading
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import bench_trees  # noqa: E402  (beside this script; before winebed)
import product  # noqa: E402
import tooldriver  # noqa: E402
import winebed  # noqa: E402
import xdisplay  # noqa: E402
import make_corpus  # noqa: E402  (beside this script)

EXE = bench_trees.EXE
FIXTURES = bench_trees.FIXTURES
GUIPROBE = os.path.join(FIXTURES, "guiprobe", "guiprobe.exe")
JOBRUN = os.path.join(FIXTURES, "jobrun", "jobrun.exe")
FAKE = os.path.join(FIXTURES, "fakesysteminfo", "fakesysteminfo.exe")
ZIPPER = os.path.join(FIXTURES, "zip_folder", "zip_folder.exe")
WORK = os.path.join(bench_trees.BENCH, "report_run")
# Wine runs its own systeminfo for a program of that name in the native
# system folder unless told to take the file that is there.
STAND_IN_FIRST = "mscoree,mshtml=;systeminfo.exe=n"


def systeminfo_like_text():
    """About 6 KB shaped like real output, with letters outside ASCII."""
    lines = ["", "Host Name:                 PRÜFSTAND-07", "OS Name:                   Windows 7 Professionnel"]
    lines += ["Hotfix(s):                 180 Hotfix(s) Installed."]
    lines += ["                           [%02d]: KB%07d" % (i, 2479943 + i) for i in range(1, 181)]
    lines += ["Network Card(s):           1 NIC(s) ─ Straße"]
    return ("\r\n".join(lines) + "\r\n").encode("cp437")


def install_stand_in(prefix, scratch):
    """Puts the stand-in in both system folders; the environment that makes
    Wine run it, printing a systeminfo-like text (delay still to be added)."""
    windows = os.path.join(winebed.drive_c(prefix), "windows")
    for folder in ("system32", "syswow64"):
        winebed.replace_file(FAKE, os.path.join(windows, folder, "systeminfo.exe"))
    os.makedirs(scratch, exist_ok=True)
    output = os.path.join(scratch, "systeminfo_output.bin")
    with open(output, "wb") as f:
        f.write(systeminfo_like_text())
    return {"WINEDLLOVERRIDES": STAND_IN_FIRST, "VANTREL_FAKE_OUTPUT": winebed.windows_path(output)}


def seed(prefix, corpus):
    winebed.import_registry(prefix, product.installed_registry())
    for tree, place in product.collected_folders().items():
        shutil.copytree(os.path.join(corpus, tree), winebed.unix_path(prefix, place), dirs_exist_ok=True)
    with open(winebed.unix_path(prefix, product.UPDATER_EXE), "wb") as f:
        f.write(b"MZ")


class TempWatch:
    """The most bytes the files of the runs' private areas (in the user's
    and the Windows folder's Temp) held at once, looked at every 50 ms
    while it runs."""

    def __init__(self, prefix):
        self.places = (winebed.temp_dir(prefix), os.path.join(winebed.drive_c(prefix), "windows", "temp"))
        self.peak = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)

    def _size_now(self):
        total = 0
        for place in self.places:
            for name in os.listdir(place) if os.path.isdir(place) else []:
                if not name.startswith(product.WORK_FOLDER):
                    continue
                for folder, _, files in os.walk(os.path.join(place, name)):
                    for f in files:
                        try:
                            total += os.lstat(os.path.join(folder, f)).st_size
                        except OSError:
                            pass
        return total

    def _watch(self):
        while not self._stop.is_set():
            try:
                self.peak = max(self.peak, self._size_now())
            except OSError:
                pass
            self._stop.wait(0.05)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()


def click_to_message(prefix, display, extra_env=None, exe=EXE, click_after=0.0, temp_peaks=None):
    """Seconds from the click to the success message; the click comes
    `click_after` s after the window appears. With `temp_peaks` (a list),
    the run's peak of temporary bytes is appended to it."""
    with tooldriver.ToolRun(exe, prefix, display, GUIPROBE, extra_env=extra_env).start() as tool:
        window = tool.main_window()
        if click_after:
            time.sleep(click_after)
        watch = TempWatch(prefix) if temp_peaks is not None else None
        if watch:
            watch.__enter__()
        start = time.perf_counter()
        tool.press_button(window)
        # Each look is an xdotool process: looking more often than this takes
        # a noticeable share of two cores from the run being measured.
        if tool.find_x_window(product.INFORMATION, timeout=900, poll=0.1) is None:
            raise RuntimeError("no success message")
        elapsed = time.perf_counter() - start
        if watch:
            watch.__exit__()
            temp_peaks.append(watch.peak)
        if tool.message_box(60).get("caption") != product.INFORMATION or tool.wait(60) != 0:
            raise RuntimeError("the tool did not end with 0 after its success message")
        return elapsed


def stage_times(prefix, extra_env=None, option=None, jobrun=JOBRUN, keep_as=None):
    """jobrun's report: the stages' and the whole job's milliseconds. With
    `keep_as`, its archive is copied there."""
    args = [jobrun, r"C:\jobrun.zip"] + ([option] if option else [])
    code, text = winebed.run_program(winebed.wine_env(prefix, extra=extra_env), args, timeout=900)
    if code != 0:
        raise RuntimeError("jobrun failed: %s" % text)
    if keep_as:
        shutil.copyfile(winebed.unix_path(prefix, r"C:\jobrun.zip"), keep_as)
    return winebed.last_json(text)


def working_folder(prefix, scratch):
    """A copy of the working folder as the last jobrun packed it, unpacked
    from its archive into the prefix; its Windows path."""
    folder = os.path.join(scratch, "workcopy")
    shutil.rmtree(folder, ignore_errors=True)
    with zipfile.ZipFile(winebed.unix_path(prefix, r"C:\jobrun.zip")) as archive:
        archive.extractall(folder)
    return folder


def pack_time(prefix, folder, threads, handles=False, keep_as=None):
    """Seconds zip_folder takes for `folder` with `threads` threads, its
    Wine start-up included; with `handles`, the files below the folder's
    subfolders packed from open handles. With `keep_as`, the archive is
    moved there."""
    out = os.path.join(os.path.dirname(folder), "pack.zip")
    env = winebed.wine_env(prefix)
    start = time.perf_counter()
    code, text = winebed.run_program(env, [ZIPPER, winebed.windows_path(folder), winebed.windows_path(out),
                                           str(threads)] + (["handles"] if handles else []), timeout=900)
    elapsed = time.perf_counter() - start
    if code != 0:
        raise RuntimeError("zip_folder failed: %s" % text)
    if keep_as:
        os.replace(out, keep_as)
    else:
        os.remove(out)
    return elapsed


def same_both_ways(prefix, folder):
    """Whether the working folder packed as files and packed from handles
    gives the same bytes, with 1 and 2 threads."""
    answers = []
    for threads in (1, 2):
        as_files = os.path.join(WORK, "as_files.zip")
        from_handles = os.path.join(WORK, "from_handles.zip")
        pack_time(prefix, folder, threads, keep_as=as_files)
        pack_time(prefix, folder, threads, handles=True, keep_as=from_handles)
        answers.append(filecmp.cmp(as_files, from_handles, shallow=False))
    return all(answers)


def same_members(before, now):
    """Differences between two jobrun archives, the text report and
    "SystemInfo.txt" aside: member order, names and, per member, what is
    stored (sizes, CRC, time, attributes, data)."""
    differences = []
    with zipfile.ZipFile(before) as a, zipfile.ZipFile(now) as b:
        names_a, names_b = a.namelist(), b.namelist()
        if names_a != names_b:
            differences.append("members: %d before, %d now, or in another order" % (len(names_a), len(names_b)))
        for info_a in a.infolist():
            if info_a.filename in (product.REPORT, product.SYSTEM_INFO) or info_a.filename not in names_b:
                continue
            info_b = b.getinfo(info_a.filename)
            fields = ("compress_type", "compress_size", "file_size", "CRC", "date_time", "external_attr",
                      "flag_bits", "create_version", "extract_version")
            if any(getattr(info_a, f) != getattr(info_b, f) for f in fields):
                differences.append(info_a.filename)
    return differences


def spread(values):
    return "median %.2f  (%.2f .. %.2f)" % (statistics.median(values), min(values), max(values))


def print_stage_table(columns):
    """`columns`: title -> the jobrun reports of that build; one row a stage,
    median (range) in seconds and the share of the job, a column a build."""
    titles = list(columns)
    names = []
    for reports in columns.values():
        for name, _ in reports[0]["stages"]:
            if name not in names:
                names.append(name)
    print("B  job in one process, s: median (min .. max)  share of the job's median")
    print("     %-22s" % "" + "".join("  %-36s" % t for t in titles))

    def row(label, values_of):
        cells = []
        for title in titles:
            reports = columns[title]
            values = values_of(reports)
            if values is None:
                cells.append("  %-36s" % "-")
                continue
            total = statistics.median([t["total_ms"] / 1000 for t in reports])
            cells.append("  %-36s" % ("%s %3.0f%%" % (spread(values), 100 * statistics.median(values) / total)))
        print("     %-22s" % label + "".join(cells))

    row("whole job", lambda reports: [t["total_ms"] / 1000 for t in reports])
    for name in names:
        row(name, lambda reports, name=name: [dict(t["stages"])[name] / 1000 for t in reports]
            if name in dict(reports[0]["stages"]) else None)
    row("rest of the job", lambda reports: [t["total_ms"] / 1000 - sum(v for _, v in t["stages"]) / 1000
                                            for t in reports])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--corpus", help="the folder to seed from (default: the project's corpus)")
    parser.add_argument("--systeminfo-delay-ms", type=int, default=0)
    parser.add_argument("--before-exe", help="the product built from an earlier commit")
    parser.add_argument("--before-jobrun", help="the jobrun fixture built from the same earlier commit")
    options = parser.parse_args()
    options.corpus = options.corpus or make_corpus.ensure_corpus()
    before = bool(options.before_exe and options.before_jobrun)

    os.makedirs(WORK, exist_ok=True)
    prefix = winebed.fresh(winebed.ensure_template(bench_trees.TEMPLATE), os.path.join(WORK, "prefix"))
    gui, timed, packed, gui_before, timed_before = [], [], [], [], []
    peaks, peaks_before = [], []
    kept_now, kept_before = os.path.join(WORK, "jobrun_now.zip"), os.path.join(WORK, "jobrun_before.zip")
    try:
        seed(prefix, options.corpus)
        env = install_stand_in(prefix, os.path.join(WORK, "scratch"))
        env["VANTREL_FAKE_DELAY_MS"] = str(options.systeminfo_delay_ms)
        subprocess.run(["wineserver", "-p"], env=winebed.wine_env(prefix), check=True)
        with xdisplay.Display() as display:
            click_to_message(prefix, display, env), stage_times(prefix, env)  # warm-up
            if before:
                click_to_message(prefix, display, env, options.before_exe)
                stage_times(prefix, env, jobrun=options.before_jobrun)
            folder = working_folder(prefix, WORK)
            pack_time(prefix, folder, 2)
            identical = same_both_ways(prefix, folder)

            def earlier_build():
                gui_before.append(click_to_message(prefix, display, env, options.before_exe, temp_peaks=peaks_before))
                timed_before.append(stage_times(prefix, env, jobrun=options.before_jobrun, keep_as=kept_before))

            for round_number in range(options.runs):
                # The earlier build goes first in every other round, so that a
                # change of load does not favour one side.
                if before and round_number % 2 == 0:
                    earlier_build()
                gui.append(click_to_message(prefix, display, env, temp_peaks=peaks))
                timed.append(stage_times(prefix, env, keep_as=kept_now))
                packed.append(pack_time(prefix, folder, 2))
                if before and round_number % 2 == 1:
                    earlier_build()
            differences = same_members(kept_before, kept_now) if before else None
        archive = os.path.getsize(os.path.join(winebed.desktop_dir(prefix), product.ARCHIVE))
        with zipfile.ZipFile(os.path.join(winebed.desktop_dir(prefix), product.ARCHIVE)) as z:
            report_bytes = z.getinfo(product.REPORT).file_size
            system_info_bytes = z.getinfo(product.SYSTEM_INFO).file_size
    finally:
        winebed.stop(prefix)
        shutil.rmtree(WORK, ignore_errors=True)

    print(bench_trees.describe())
    print("%d runs; systeminfo stand-in %d ms; archive on the desktop: %.1f MB" %
          (options.runs, options.systeminfo_delay_ms, archive / 1e6))
    if before:
        print("A  click to success message, before s: %s" % spread(gui_before))
    print("A  click to success message   s: %s" % spread(gui))
    print_stage_table({"before": timed_before, "now": timed} if before else {"now": timed})
    print("C  packing the working folder, 2 threads (zip_folder, Wine start included) s: %s" % spread(packed))
    if before:
        print("A/C per run, before: %s" % spread([g / p for g, p in zip(gui_before, packed)]))
    print("A/C per run: %s" % spread([g / p for g, p in zip(gui, packed)]))
    zips = [dict(t["stages"])["ZipFolder"] / 1000 for t in timed]
    print("A/(ZipFolder stage in B) per run: %s" % spread([g / z for g, z in zip(gui, zips)]))
    print("   progress messages of the last run: %s" % timed[-1]["messages"])
    if before:
        print("peak temporary bytes of a run, before: %d" % max(peaks_before))
        print("jobrun archives before and now, report and SystemInfo.txt aside: %s" %
              ("the same" if not differences else "DIFFERENT: %s" % ", ".join(differences[:10])))
    print("corpus packed as files and from handles, 1 and 2 threads: %s" %
          ("the same bytes" if identical else "DIFFERENT"))
    limit = archive + report_bytes + system_info_bytes + (1 << 20)
    print("target RATIO <= 1.6; TEMPPEAK <= ARCHIVE + report %d + SystemInfo.txt %d + 1 MiB = %d" %
          (report_bytes, system_info_bytes, limit))
    print("RUN %.2f PACK %.2f RATIO %.2f TEMPPEAK %d ARCHIVE %d" %
          (statistics.median(gui), statistics.median(packed),
           statistics.median([g / p for g, p in zip(gui, packed)]), max(peaks), archive))


if __name__ == "__main__":
    main()
