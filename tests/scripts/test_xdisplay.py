"""The private displays the GUI tests run on: servers started at once get
numbers of their own, admit only clients with their cookie, and end with
their owner however it ends."""
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import xdisplay

SCRIPT = xdisplay.__file__


def admitted(env):
    """Whether xdpyinfo can talk to the display named in `env`."""
    return subprocess.run(["xdpyinfo"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=60).returncode == 0


def ended(pid):
    """Whether the process `pid` is gone (or a zombie nobody has reaped yet)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] in ("Z", "X")
    except FileNotFoundError:
        return True


def children(pid):
    with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
        return [int(p) for p in f.read().split()]


def command_of(pid):
    with open("/proc/%d/cmdline" % pid, "rb") as f:
        return f.read().replace(b"\0", b" ").decode()


def wait_until(condition, timeout=60):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


class PrivateDisplay(unittest.TestCase):
    def test_displays_started_together_are_separate_and_admit_only_their_cookie(self):
        with xdisplay.Display() as one, xdisplay.Display() as two:
            self.assertNotEqual(one.name, two.name)
            with tempfile.NamedTemporaryFile() as no_cookie:
                for display in (one, two):
                    with self.subTest(display=display.name):
                        env = dict(os.environ, **display.environ())
                        self.assertTrue(admitted(env))
                        self.assertFalse(admitted(dict(env, XAUTHORITY=no_cookie.name)))
            server, folder = one.proc, one.folder
        self.assertIsNotNone(server.poll())
        self.assertFalse(os.path.exists(folder))

    def test_command_line_passes_the_display_and_the_exit_code(self):
        result = subprocess.run([sys.executable, SCRIPT, "sh", "-c", "xdpyinfo >/dev/null && exit 3"], timeout=120)
        self.assertEqual(result.returncode, 3)

    def test_the_server_ends_when_its_owner_is_killed(self):
        owner = subprocess.Popen([sys.executable, SCRIPT, "sleep", "600"])
        kids = []
        try:
            # The owner's children: the server, then the command.
            self.assertTrue(wait_until(lambda: len(children(owner.pid)) == 2), "the display did not start")
            kids = children(owner.pid)
            server = [pid for pid in kids if command_of(pid).startswith("Xvfb")][0]
            self.assertFalse(ended(server))
            owner.send_signal(signal.SIGKILL)
            owner.wait()
            self.assertTrue(wait_until(lambda: ended(server)), "the server outlived its owner")
        finally:
            if owner.poll() is None:
                owner.kill()
                owner.wait()
            for pid in kids:
                if not ended(pid):
                    os.kill(pid, signal.SIGKILL)


if __name__ == "__main__":
    unittest.main()
