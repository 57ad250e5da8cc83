#!/usr/bin/env python3
"""Runs the 32-bit group inside the emulated guest (see guest.py, which lays
out the share and boots the guest).

Command line (in the guest): guest_group.py SHARE

SHARE/group.json says what to run; SHARE/payload holds the programs and the
scripts. Programs run from the guest's own disk, never from the share (a
Windows program started from the share crashes at start-up), so the payload
is copied to /vantrel first. Every step prints one "guest:" line on the
console; SHARE/results/results.json gets one record per step and
SHARE/results/<step>.log its whole output.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import time

HOME = "/vantrel"
STEP_TIMEOUT = 1800  # seconds for one program or one test script in the guest


def say(text):
    print("guest: " + text, flush=True)


def environment(layout):
    """The variables CTest gives the tests in a test tree, with the guest's paths."""
    build = os.path.join(HOME, layout["test_tree"])
    env = dict(os.environ)
    env.update({
        "HOME": "/root",
        "LANG": "C.UTF-8",
        "VANTREL_EXE": os.path.join(HOME, layout["exe"]),
        "VANTREL_BUILD": build,
        "VANTREL_SOURCE": os.path.join(HOME, "source"),
        "VANTREL_WINE_TEMPLATE": os.path.join(build, "wine", "template"),
        "VANTREL_FIXTURE_DIR": os.path.join(build, "tests", "fixtures"),
        "PYTHONPATH": os.path.join(HOME, "source", "scripts"),
        "VANTREL_WINE_BIN": "",
    })
    return env


def gtest_counts(json_path):
    """(passed, failed, skipped, names of failed cases) from Google Test's JSON report."""
    with open(json_path, encoding="utf-8") as f:
        report = json.load(f)
    passed = failed = skipped = 0
    failures = []
    for suite in report.get("testsuites", []):
        for case in suite.get("testsuite", []):
            name = "%s.%s" % (suite["name"], case["name"])
            if case.get("failures"):
                failed += 1
                failures.append(name)
            elif case.get("result") == "SKIPPED" or case.get("status") == "NOTRUN":
                skipped += 1
            else:
                passed += 1
    return passed, failed, skipped, failures


def unittest_counts(output):
    """(passed, failed, skipped, names of failed cases) from unittest's -v output."""
    passed = failed = skipped = 0
    failures = []
    for match in re.finditer(r"^(\w+) \(([\w.]+)\)(?: \.\.\.|\n.*?\.\.\.) (ok|skipped.*|FAIL|ERROR)$", output,
                             re.MULTILINE):
        result = match.group(3)
        if result == "ok":
            passed += 1
        elif result.startswith("skipped"):
            skipped += 1
        else:
            failed += 1
            failures.append(match.group(1))
    if re.search(r"^(FAILED|ERROR)", output, re.MULTILINE) and failed == 0:
        failed, failures = 1, ["(the script itself)"]
    return passed, failed, skipped, failures


class Shell:
    """A window held open in the prefix for the gtest steps, as a logged-on
    user's session has its shell: Wine's desktop process (explorer.exe)
    lives only while some program uses the desktop, and the cases read the
    shell's process. Waits until the window shows."""

    TITLE = "Notepad"

    def __init__(self, winebed, prefix, display):
        self.env = winebed.wine_env(prefix, display=display)
        self.proc = None

    def __enter__(self):
        started = time.monotonic()
        self.proc = subprocess.Popen(["wine", "notepad.exe"], env=self.env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        while time.monotonic() - started < 300:
            if subprocess.run(["xdotool", "search", "--name", self.TITLE], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                say("the session's window is up (%.0f s)" % (time.monotonic() - started))
                return self
            time.sleep(1)
        say("the session's window did not show within 300 s")
        return self

    def __exit__(self, *exc):
        self.proc.kill()
        self.proc.wait()


def run_step(name, command, env, results_dir, cwd=None):
    started = time.monotonic()
    log = os.path.join(results_dir, name + ".log")
    with open(log, "wb") as out:
        try:
            code = subprocess.run(command, env=env, stdout=out, stderr=subprocess.STDOUT, cwd=cwd,
                                  timeout=STEP_TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            code = "timeout"
    return code, time.monotonic() - started, log


def main(share):
    with open(os.path.join(share, "group.json"), encoding="utf-8") as f:
        group = json.load(f)
    results_dir = os.path.join(share, "results")
    os.makedirs(results_dir, exist_ok=True)
    records = []

    def record(step, kind, code, seconds, counts):
        passed, failed, skipped, failures = counts
        ok = code == 0 and failed == 0 and passed > 0
        records.append({"step": step, "kind": kind, "exit": code, "seconds": round(seconds, 1), "passed": passed,
                        "failed": failed, "skipped": skipped, "failures": failures, "ok": ok})
        say("%-34s %s  passed %d, failed %d, skipped %d  (%.0f s)"
            % (step, "ok  " if ok else "FAIL", passed, failed, skipped, seconds))
        with open(os.path.join(results_dir, "results.json"), "w", encoding="utf-8") as f:
            json.dump(records, f, indent=1)

    started = time.monotonic()
    shutil.rmtree(HOME, ignore_errors=True)
    shutil.copytree(os.path.join(share, "payload"), HOME, symlinks=True)
    say("payload copied to the guest's disk (%.0f s)" % (time.monotonic() - started))
    sys.path.insert(0, os.path.join(HOME, "source", "scripts"))
    import winebed  # noqa: E402  (from the payload)
    import xdisplay  # noqa: E402

    env = environment(group)
    os.environ.update({k: env[k] for k in ("HOME", "LANG")})
    started = time.monotonic()
    prefix = os.path.join(env["VANTREL_BUILD"], "wine", "prefix")
    # wineboot under emulation has been seen to fail once on a loaded host
    # (exit code 53 after five minutes); a second attempt starts from scratch.
    for attempt in (1, 2):
        try:
            winebed.fresh(env["VANTREL_WINE_TEMPLATE"], prefix)
            winebed.stop(prefix)
            break
        except Exception as e:  # the group cannot run without its prefix
            say("wineboot attempt %d failed: %s" % (attempt, e))
            winebed.stop(env["VANTREL_WINE_TEMPLATE"])
            if attempt == 2:
                record("wine prefix", "setup", 1, time.monotonic() - started, (0, 1, 0, [str(e)]))
                return 1
    say("win64 prefix made with wineboot (%.0f s)" % (time.monotonic() - started))

    runner = os.path.join(HOME, "source", "scripts", "winebed.py")
    with xdisplay.Display() as display, Shell(winebed, prefix, display):
        for item in group["gtest"]:
            exe = os.path.join(HOME, item["exe"])
            name = os.path.splitext(os.path.basename(exe))[0]
            report = os.path.join(results_dir, name + ".json")
            command = ["python3", runner, "run", prefix, exe, "--gtest_filter=" + item["filter"],
                       "--gtest_output=json:" + winebed.windows_path(report)]
            code, seconds, _ = run_step(name, command, dict(env, **display.environ()), results_dir)
            counts = gtest_counts(report) if os.path.isfile(report) else (0, 1, 0, ["(no report)"])
            record(name, "gtest", code, seconds, counts)
        winebed.stop(prefix)

    scripts = os.path.join(HOME, "source", "tests", "scripts")
    for item in group["scripts"]:
        name = os.path.splitext(item["script"])[0]
        command = ["python3", item["script"], "-v"] + item.get("tests", [])
        code, seconds, log = run_step(name, command, env, results_dir, cwd=scripts)
        with open(log, encoding="utf-8", errors="replace") as f:
            counts = unittest_counts(f.read())
        record(name, "script", code, seconds, counts)
    return 0 if all(r["ok"] for r in records) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
