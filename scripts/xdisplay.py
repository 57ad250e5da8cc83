#!/usr/bin/env python3
"""Private X displays for the tests: an Xvfb server that picks a free display
number itself, accepts only clients that hold its cookie, and ends with its
owner.

Command line:
    xdisplay.py [--size WxHxD] [--] COMMAND [ARG...]
        runs COMMAND with DISPLAY and XAUTHORITY naming a private display,
        ends the display afterwards and exits with COMMAND's exit code.

Several servers may start at once on one machine (test runs in other
checkouts, parallel tests): the server chooses its number with -displayfd,
where binding the display's socket is the test for a free number, and says
it on a pipe once it accepts clients. No lock file is read to guess a number.
The server gets the termination signal when the process that started it
ends, however it ends, so no server outlives its test.
"""
import ctypes
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

PR_SET_PDEATHSIG = 1
FAMILY_WILD = 0xFFFF
START_TIMEOUT = 60  # seconds; a loaded machine may be slow to start a server


def _authority_entry(cookie):
    """One entry of an X authority file: a MIT-MAGIC-COOKIE-1 cookie for any
    address and any display number (the server reads the cookie only)."""
    def field(data):
        return struct.pack(">H", len(data)) + data
    return struct.pack(">H", FAMILY_WILD) + field(b"") + field(b"") + field(b"MIT-MAGIC-COOKIE-1") + field(cookie)


def _end_with_parent():
    """In the server's process before it starts: the signal to end it when its
    parent ends."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


class Display:
    """A private Xvfb server. `name` is its display (":N"); `environ()` gives
    the variables a client needs."""

    def __init__(self, size="1024x768x24"):
        self.size = size
        self.proc = None
        self.name = None
        self.folder = None
        self.authority = None

    def start(self):
        self.folder = tempfile.mkdtemp(prefix="vantrel-display-")
        self.authority = os.path.join(self.folder, "authority")
        with open(self.authority, "wb") as f:
            f.write(_authority_entry(os.urandom(16)))
        read_end, write_end = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-auth", self.authority, "-screen", "0", self.size,
                 "-nolisten", "tcp"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                pass_fds=(write_end,), preexec_fn=_end_with_parent)
            os.close(write_end)
            write_end = None
            number = self._read_number(read_end)
        except BaseException:
            if write_end is not None:
                os.close(write_end)
            os.close(read_end)
            self.close()
            raise
        os.close(read_end)
        self.name = ":%d" % number
        return self

    def _read_number(self, pipe):
        """The display number the server writes once it accepts clients."""
        text = b""
        deadline = time.monotonic() + START_TIMEOUT
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([pipe], [], [], left)[0]:
                raise RuntimeError("Xvfb did not start within %d s" % START_TIMEOUT)
            chunk = os.read(pipe, 64)
            if not chunk:
                raise RuntimeError("Xvfb ended at start with exit code %s" % self.proc.wait())
            text += chunk
        return int(text)

    def environ(self):
        """DISPLAY and XAUTHORITY for a client of this display."""
        return {"DISPLAY": self.name, "XAUTHORITY": self.authority}

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None
        if self.folder is not None:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.close()


def run_on_private_display(command, size, parent):
    """Runs `command` on a private display; its exit code. A termination or
    hang-up signal to this process is passed on to the command (before the
    command starts, it ends this process), and the display ends in every
    case. `parent` is the process that started this one."""
    running = []

    def on_signal(signum, frame):
        if not running:
            raise SystemExit(128 + signum)
        running[0].send_signal(signum)
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, on_signal)
    _end_with_parent()  # the display must not outlive the script that asked for it
    if os.getppid() != parent:
        return 128 + signal.SIGTERM  # that script has ended already
    with Display(size) as display:
        env = dict(os.environ)
        env.update(display.environ())
        running.append(subprocess.Popen(command, env=env))
        try:
            code = running[0].wait()
        except KeyboardInterrupt:  # the command had the interrupt too
            code = running[0].wait()
    return 128 - code if code < 0 else code  # ended by a signal: as a shell reports it


def main(argv):
    parent = os.getppid()
    args = argv[1:]
    size = "1024x768x24"
    if len(args) >= 2 and args[0] == "--size":
        size, args = args[1], args[2:]
    if args and args[0] == "--":
        args = args[1:]
    if not args:
        print(__doc__, file=sys.stderr)
        return 2
    return run_on_private_display(args, size, parent)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
