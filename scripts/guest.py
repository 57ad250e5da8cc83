#!/usr/bin/env python3
"""The 32-bit bed: an emulated guest for machines whose kernel cannot run
32-bit programs, where Wine cannot start the shipped tool.

The guest is a full system under qemu-system-x86_64 with TCG (no hardware
virtualisation needed): Debian 12 with its own kernel, which runs 32-bit
programs, and Wine with its 32-bit loader (image: guest_image.sh). One boot
runs the whole group: the programs, the test scripts and what the group is go
in through a 9p share below build/guest; the guest's PID 1 runs
guest_group.py from it and powers off; the results come back in the share.

Command line:
    guest.py run [--timeout S]   run the group, print what ran and how it went;
                                 exit 0 passed, 1 failed, 2 not run
    guest.py boot SHARE          boot the guest once on SHARE (its run.sh runs)

The group: the WOW64 cases of the Windows tests (registry views, file-system
redirection, the system overview's "OS Type" and address space, autoruns
through both registry paths, the DLL folder, the 32-bit process records) from
the 32-bit test tree, and the whole-tool script tests of the shipped 32-bit
program (the GUI run, the archive, the report sections, the systeminfo
capture from the native system folder, the module and process texts).
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("VANTREL_BUILD_DIR", os.path.join(ROOT, "build"))
GUEST = os.path.join(BUILD, "guest")
SUMMARY = os.path.join(GUEST, "summary.txt")
BOOT_TIMEOUT = 45 * 60  # seconds for one boot with the whole group

# The WOW64 cases, by test program of the 32-bit test tree.
GTEST_GROUP = [
    ("win_tests_platform", ":".join([
        "Wow64.*",                          # IsWow64 on 64-bit Windows
        "FsRedirection.*",                  # the redirection bracket, per thread
        "RegistryFixture.*",                # the 64-bit and 32-bit registry views
        "SpecialFolder.*",                  # the (x86) folders under WOW64
        "OptionalApi.*",                    # DLLs from the 32-bit system folder
    ])),
    ("win_tests_report", ":".join([
        "SystemOverview.*",                 # "OS Type" 64bit, the 2 GiB address space, the true version
        "ProcessInventory.*",               # the 32-bit process records
        "InventoryJob.*",                   # the report's processes in the 32-bit layout
        "AutorunsSection.*",                # both registry paths, Wow6432Node only under WOW64
        "ServicesSection.*",                # drivers of the native system folder
    ])),
]

# The whole-tool script tests of the shipped 32-bit program, whole or by case.
SCRIPT_GROUP = [
    ("test_gui.py", []),
    ("test_report_archive.py", []),
    ("test_report_sections.py", []),
    ("test_module_checksums.py", []),
    ("test_systeminfo_capture.py", ["SystemInfoCapture.test_the_native_command_runs",
                                    "SystemInfoCapture.test_the_command_is_in_no_section_of_the_report"]),
]

RUN_SH = """#!/bin/sh
# Written by guest.py: what the guest's PID 1 runs from the share.
exec python3 /share/payload/source/scripts/guest_group.py /share
"""


def qemu_command(share, image):
    return [
        "qemu-system-x86_64",
        # TCG on every host; without SMAP, which QEMU 7.2's TCG gets wrong on
        # the iret Wine restores a thread's context with (every Wine process dies).
        "-accel", "tcg,thread=multi", "-cpu", "max,-smap", "-smp", "2", "-m", "6G",
        "-nographic", "-no-reboot", "-nic", "none",
        "-kernel", os.path.join(GUEST, "vmlinuz"), "-initrd", os.path.join(GUEST, "initrd.img"),
        "-append", "root=/dev/vda rw console=ttyS0 quiet init=/sbin/vantrel-init",
        "-drive", "file=%s,format=raw,if=virtio,cache=unsafe,snapshot=on" % image,
        "-virtfs", "local,path=%s,mount_tag=share,security_model=passthrough,id=share" % share,
    ]


def boot(share, timeout):
    """Boots the guest on `share` once; its console goes to share/console.txt,
    and its "guest:" lines to this process's standard error as they come.
    True when it powered off by itself within `timeout` seconds."""
    command = qemu_command(share, os.path.join(GUEST, "image.raw"))
    # The disk's copy-on-write overlay (the image itself stays as built)
    # goes where QEMU's temporary files go: into the build tree.
    scratch = os.path.join(GUEST, "tmp")
    os.makedirs(scratch, exist_ok=True)
    env = dict(os.environ, TMPDIR=scratch)
    with open(os.path.join(share, "console.txt"), "wb") as console:
        proc = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                env=env)
        timer = threading.Timer(timeout, proc.kill)
        timer.start()
        try:
            for line in iter(proc.stdout.readline, b""):
                console.write(line)
                text = line.decode("utf-8", "replace").strip()
                if text.startswith("guest: "):
                    print("   " + text, file=sys.stderr, flush=True)
            proc.wait()
            return timer.is_alive()
        finally:
            timer.cancel()
            if proc.poll() is None:
                proc.kill()
                proc.wait()


def strip_copy(source, dest):
    """A copy of a Windows program without its debug sections (they are most
    of a test program's size, and the guest reads every byte through 9p)."""
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    if subprocess.run(["i686-w64-mingw32-strip", "-o", dest, source], stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL).returncode != 0:
        shutil.copy2(source, dest)


def lay_out_share(share, win, wintest):
    """The share: run.sh, group.json and the payload (sources of the scripts,
    the shipped program, the test programs and their fixtures)."""
    shutil.rmtree(share, ignore_errors=True)
    payload = os.path.join(share, "payload")
    for folder in ("scripts", os.path.join("tests", "scripts")):
        shutil.copytree(os.path.join(ROOT, folder), os.path.join(payload, "source", folder),
                        ignore=shutil.ignore_patterns("__pycache__"))
    exe = os.path.join("build", "win", "VantrelInfoHelpV2.exe")
    os.makedirs(os.path.dirname(os.path.join(payload, exe)))
    shutil.copy2(os.path.join(win, "VantrelInfoHelpV2.exe"), os.path.join(payload, exe))
    tree = os.path.join("build", "wintest")
    for name, _ in GTEST_GROUP:
        strip_copy(os.path.join(wintest, "tests", name + ".exe"), os.path.join(payload, tree, "tests", name + ".exe"))
    fixtures = os.path.join(wintest, "tests", "fixtures")
    for folder, _, files in os.walk(fixtures):
        for name in files:
            if name.lower().endswith((".exe", ".dll")):
                rel = os.path.relpath(os.path.join(folder, name), wintest)
                strip_copy(os.path.join(folder, name), os.path.join(payload, tree, rel))
    group = {
        "exe": exe,
        "test_tree": tree,
        "gtest": [{"exe": os.path.join(tree, "tests", name + ".exe"), "filter": f} for name, f in GTEST_GROUP],
        "scripts": [{"script": script, "tests": tests} for script, tests in SCRIPT_GROUP],
    }
    with open(os.path.join(share, "group.json"), "w", encoding="utf-8") as f:
        json.dump(group, f, indent=1)
    with open(os.path.join(share, "run.sh"), "w", encoding="utf-8") as f:
        f.write(RUN_SH)
    os.makedirs(os.path.join(share, "results"))


def write_summary(line):
    os.makedirs(GUEST, exist_ok=True)
    with open(SUMMARY, "w", encoding="utf-8") as f:
        f.write(line + "\n")
    print("== " + line, file=sys.stderr)


def run(timeout):
    if shutil.which("qemu-system-x86_64") is None:
        write_summary("32-bit group in the emulated guest: SKIPPED (no qemu-system-x86_64 on this machine)")
        return 2
    started = time.monotonic()
    code = subprocess.run([os.path.join(ROOT, "scripts", "guest_image.sh")]).returncode
    if code == 3:
        write_summary("32-bit group in the emulated guest: SKIPPED (no space for the guest image below %s)" % GUEST)
        return 2
    if code != 0:
        write_summary("32-bit group in the emulated guest: FAILED (the guest image could not be built, see %s)"
                      % GUEST)
        return 1
    share = os.path.join(GUEST, "share")
    lay_out_share(share, os.path.join(BUILD, "win"), os.path.join(BUILD, "wintest"))
    print("== 32-bit group: booting the guest (qemu-system-x86_64, TCG, 2 CPUs, Debian 12, Wine with wine32)",
          file=sys.stderr, flush=True)
    boot_started = time.monotonic()
    powered_off = boot(share, timeout)
    boot_seconds = time.monotonic() - boot_started
    results_file = os.path.join(share, "results", "results.json")
    records = []
    if os.path.isfile(results_file):
        with open(results_file, encoding="utf-8") as f:
            records = json.load(f)
    for r in records:
        if not r["ok"]:
            log = os.path.join(share, "results", r["step"] + ".log")
            print("== 32-bit group: %s failed (%s); the end of its output (whole: %s):"
                  % (r["step"], ", ".join(r["failures"]) or "exit %s" % r["exit"], log), file=sys.stderr)
            if os.path.isfile(log):
                with open(log, encoding="utf-8", errors="replace") as f:
                    print("".join(f.readlines()[-60:]), file=sys.stderr)
    passed = sum(r["passed"] for r in records)
    failed = sum(r["failed"] for r in records)
    skipped = sum(r["skipped"] for r in records)
    expected_steps = len(GTEST_GROUP) + len(SCRIPT_GROUP)
    ran_all = powered_off and len([r for r in records if r["kind"] != "setup"]) == expected_steps
    ok = ran_all and records and all(r["ok"] for r in records)
    detail = "%d passed, %d failed, %d skipped in %d steps; guest %.0f s, with the image %.0f s" % (
        passed, failed, skipped, len(records), boot_seconds, time.monotonic() - started)
    if not powered_off:
        detail += "; the guest did not finish within %d s (console: %s)" % (timeout, os.path.join(share, "console.txt"))
    elif not ran_all:
        detail += "; not every step ran (console: %s)" % os.path.join(share, "console.txt")
    write_summary("32-bit group in the emulated guest: %s (%s)" % ("PASSED" if ok else "FAILED", detail))
    return 0 if ok else 1


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    run_parser = sub.add_parser("run")
    run_parser.add_argument("--timeout", type=int, default=BOOT_TIMEOUT)
    boot_parser = sub.add_parser("boot")
    boot_parser.add_argument("share")
    boot_parser.add_argument("--timeout", type=int, default=BOOT_TIMEOUT)
    args = parser.parse_args(argv[1:])
    if args.command == "run":
        return run(args.timeout)
    return 0 if boot(os.path.abspath(args.share), args.timeout) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
