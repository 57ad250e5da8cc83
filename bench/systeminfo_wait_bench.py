#!/usr/bin/env python3
"""How much the system-information capture adds to the command's own time.

In a private Wine prefix, systeminfo.exe is replaced (both system folders) by
the fakesysteminfo fixture, which waits a set time and then prints a
systeminfo-sized text in the OEM code page. The sysinfocapture fixture then
runs, in turn (A B A B ...), after one warm-up of each:

  A  the capture as the tool does it (SaveSystemInfo: start through the shell,
     wait, read, decode, save "SystemInfo.txt");
  B  the bare command, cmd.exe /d /c systeminfo>"file", started with
     CreateProcessW and waited for.

Both time themselves inside the process (the Wine start-up of each program is
not counted). The added delay is A - B, pair by pair; target: at most 100 ms.

Usage: bench/systeminfo_wait_bench.py [--runs N] [--delay-ms MS]
Needs the wintest build (scripts/build.sh wintest).
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import winebed  # noqa: E402

BUILD = os.path.join(ROOT, "build", "wintest")
FIXTURES = os.path.join(BUILD, "tests", "fixtures")
CAPTURE = os.path.join(FIXTURES, "sysinfocapture", "sysinfocapture.exe")
FAKE = os.path.join(FIXTURES, "fakesysteminfo", "fakesysteminfo.exe")
PREFIX = os.path.join(ROOT, "build", "bench", "systeminfo", "prefix")


def systeminfo_like_text():
    """About 6 KB shaped like real output, with letters outside ASCII."""
    lines = ["", "Host Name:                 PRÜFSTAND-07", "OS Name:                   Windows 7 Professionnel"]
    lines += ["Hotfix(s):                 180 Hotfix(s) Installed."]
    lines += ["                           [%02d]: KB%07d" % (i, 2479943 + i) for i in range(1, 181)]
    lines += ["Network Card(s):           1 NIC(s) ─ Straße"]
    return ("\r\n".join(lines) + "\r\n").encode("cp437")


def run(env, *args):
    with tempfile.TemporaryFile() as out:
        subprocess.run(["wine", CAPTURE] + list(args), env=env, stdout=out, stderr=subprocess.DEVNULL,
                       check=True, timeout=600)
        out.seek(0)
        return json.loads(out.read().decode("utf-8").strip().splitlines()[-1])["elapsed_ms"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--delay-ms", type=int, default=2000)
    options = parser.parse_args()

    winebed.fresh(winebed.ensure_template(os.path.join(BUILD, "wine", "template")), PREFIX)
    try:
        windows = os.path.join(winebed.drive_c(PREFIX), "windows")
        for folder in ("system32", "syswow64"):
            shutil.copyfile(FAKE, os.path.join(windows, folder, "systeminfo.exe"))
        scratch = os.path.join(os.path.dirname(PREFIX), "scratch")
        os.makedirs(os.path.join(scratch, "temp"), exist_ok=True)
        os.makedirs(os.path.join(scratch, "work"), exist_ok=True)
        output = os.path.join(scratch, "output.bin")
        with open(output, "wb") as f:
            f.write(systeminfo_like_text())
        env = winebed.wine_env(PREFIX, extra={"VANTREL_FAKE_OUTPUT": winebed.windows_path(output),
                                              "VANTREL_FAKE_DELAY_MS": str(options.delay_ms)})
        temp = winebed.windows_path(os.path.join(scratch, "temp")) + "\\"
        work = winebed.windows_path(os.path.join(scratch, "work")) + "\\"

        def capture():
            return run(env, "capture", temp, work, "120000")

        def direct():
            return run(env, "direct", temp + "direct.txt")

        capture(), direct()  # warm-up
        pairs = [(capture(), direct()) for _ in range(options.runs)]
    finally:
        winebed.stop(PREFIX)
        shutil.rmtree(os.path.dirname(PREFIX), ignore_errors=True)

    a = [p[0] for p in pairs]
    b = [p[1] for p in pairs]
    added = [p[0] - p[1] for p in pairs]
    print("command time set by the stand-in: %d ms; %d pairs" % (options.delay_ms, len(pairs)))
    print("capture (A)      ms: min %.1f  median %.1f  max %.1f" % (min(a), statistics.median(a), max(a)))
    print("bare command (B) ms: min %.1f  median %.1f  max %.1f" % (min(b), statistics.median(b), max(b)))
    print("added A-B        ms: min %.1f  median %.1f  max %.1f  (target <= 100)" %
          (min(added), statistics.median(added), max(added)))


if __name__ == "__main__":
    main()
