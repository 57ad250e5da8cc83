#!/usr/bin/env python3
"""The Wine test bed: prefixes inside the build tree, Xvfb displays, and
running Windows programs in them.

Command line:
    winebed.py template DIR         create the template prefix DIR if missing
    winebed.py fresh TEMPLATE DEST  DEST := a fresh copy of TEMPLATE (made if missing)
    winebed.py stop PREFIX          end every process of PREFIX
"""
import contextlib
import fcntl
import os
import shutil
import subprocess
import sys
import time

PROFILE_LINKS = ("Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos", "Templates")


def wine_env(prefix, display=None, extra=None):
    """The environment for Wine programs in `prefix`."""
    env = dict(os.environ)
    home = os.path.join(os.path.dirname(os.path.abspath(prefix)), "home")
    os.makedirs(home, exist_ok=True)
    env.update({
        "WINEPREFIX": os.path.abspath(prefix),
        "WINEARCH": "win64",
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "HOME": home,
        "LANG": "C.UTF-8",
        "TZ": env.get("TZ", "UTC"),
    })
    if display is not None:
        env["DISPLAY"] = display
    if extra:
        env.update(extra)
    return env


def _replace_profile_links(prefix):
    """A default prefix links Desktop, Documents and others into $HOME; the
    test prefixes get plain folders instead, so nothing leaves the build tree."""
    users = os.path.join(prefix, "drive_c", "users")
    for root, dirs, files in os.walk(users):
        for name in list(dirs) + list(files):
            path = os.path.join(root, name)
            if os.path.islink(path) and name in PROFILE_LINKS:
                os.unlink(path)
                os.makedirs(path)


def stop(prefix):
    if not os.path.isdir(prefix):
        return
    subprocess.run(["wineserver", "-k"], env=wine_env(prefix), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    subprocess.run(["wineserver", "-w"], env=wine_env(prefix), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False, timeout=60)


@contextlib.contextmanager
def _locked(path):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            yield
        finally:
            fcntl.flock(lock, fcntl.LOCK_UN)


def ensure_template(template):
    """Creates the template prefix once (about 15 s); later calls return at once."""
    template = os.path.abspath(template)
    with _locked(template):
        if os.path.isfile(os.path.join(template, ".ready")):
            return template
        shutil.rmtree(template, ignore_errors=True)
        env = wine_env(template)
        env.pop("DISPLAY", None)
        subprocess.run(["wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=600)
        subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=600)
        _replace_profile_links(template)
        with open(os.path.join(template, ".ready"), "w") as marker:
            marker.write("ok\n")
    return template


# Wine's own program files: nothing in a prefix writes them in place, so a
# fresh prefix shares them with the template by hard link; everything else
# (registry files, ini files, profiles) is copied. A test that swaps one of
# them replaces the file (`replace_file`) instead of writing into it.
SHARED_EXTENSIONS = frozenset((".dll", ".exe", ".nls", ".drv", ".msstyles", ".ocx", ".acm", ".sys",
                               ".cpl", ".tlb", ".ds", ".ax", ".com", ".vxd"))


def _copy_prefix(template, dest):
    for root, dirs, files in os.walk(template):
        target = os.path.join(dest, os.path.relpath(root, template))
        os.makedirs(target, exist_ok=True)
        for name in dirs + files:
            source = os.path.join(root, name)
            copy = os.path.join(target, name)
            if os.path.islink(source):
                os.symlink(os.readlink(source), copy)
                if name in dirs:
                    dirs.remove(name)
            elif name in files:
                if os.path.splitext(name)[1].lower() in SHARED_EXTENSIONS:
                    try:
                        os.link(source, copy)
                        continue
                    except OSError:
                        pass
                shutil.copy2(source, copy)
        shutil.copystat(root, target)


def fresh(template, dest):
    """`dest` becomes a fresh copy of the template."""
    ensure_template(template)
    dest = os.path.abspath(dest)
    stop(dest)
    shutil.rmtree(dest, ignore_errors=True)
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    _copy_prefix(os.path.abspath(template), dest)
    return dest


def replace_file(source, dest):
    """Puts a copy of `source` at `dest` without writing into the file that
    was there (it may be shared with the template)."""
    if os.path.lexists(dest):
        os.unlink(dest)
    shutil.copyfile(source, dest)


def drive_c(prefix):
    return os.path.join(prefix, "drive_c")


def unix_path(prefix, windows_path):
    """C:\\a\\b inside `prefix` as a Unix path."""
    drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/").lstrip("/")
    return os.path.join(prefix, "dosdevices", drive + ":", rest)


def windows_path(unix):
    """Any Unix path as seen through drive Z:."""
    return "Z:" + os.path.abspath(unix).replace("/", "\\")


def user_name():
    import getpass
    return getpass.getuser()


def user_dir(prefix):
    return os.path.join(drive_c(prefix), "users", user_name())


def desktop_dir(prefix):
    return os.path.join(user_dir(prefix), "Desktop")


def temp_dir(prefix):
    """The user's temporary folder: the TEMP value of the prefix's user
    environment (Wine 8 puts it at C:\\users\\<user>\\Temp)."""
    try:
        with open(os.path.join(prefix, "user.reg"), encoding="utf-8", errors="replace") as reg:
            for line in reg:
                if line.startswith('"TEMP"="'):
                    value = line.strip()[len('"TEMP"="'):-1].replace("\\\\", "\\")
                    return unix_path(prefix, value)
    except OSError:
        pass
    return os.path.join(user_dir(prefix), "Temp")


class Display:
    """An Xvfb server on a free display number."""

    def __init__(self, size="1024x768x24"):
        self.size = size
        self.proc = None
        self.name = None

    def __enter__(self):
        for number in range(90, 190):
            if os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
                continue
            proc = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", self.size, "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(100):
                if os.path.exists("/tmp/.X11-unix/X%d" % number):
                    break
                if proc.poll() is not None:
                    break
                time.sleep(0.05)
            if proc.poll() is None and os.path.exists("/tmp/.X11-unix/X%d" % number):
                self.proc = proc
                self.name = ":%d" % number
                return self
        raise RuntimeError("no free X display")

    def __exit__(self, *exc):
        if self.proc is not None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()


class ToolRun:
    """The product (or any Windows GUI program) running in a prefix on a display,
    with the means to look at it and drive it."""

    def __init__(self, exe, prefix, display, guiprobe=None, extra_env=None):
        self.exe = exe
        self.prefix = prefix
        self.env = wine_env(prefix, display=display, extra=extra_env)
        self.guiprobe = guiprobe
        self.proc = None

    def start(self):
        self.proc = subprocess.Popen(["wine", self.exe], env=self.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def wait(self, timeout):
        """The program's exit code, or None when it is still running after `timeout` s."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True, text=True).stdout

    def find_x_window(self, caption, timeout=60):
        """The X window id of a top-level window with exactly this caption."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            ids = self.xdotool("search", "--name", "^%s$" % caption).split()
            if ids:
                return ids[0]
            time.sleep(0.1)
        return None

    def click_at(self, x, y):
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def press_return(self, window_id):
        self.xdotool("windowactivate", "--sync", window_id)
        self.xdotool("key", "--window", window_id, "Return")

    def screenshot(self, path):
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        subprocess.run(["import", "-window", "root", path], env=self.env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def reg(self, *args):
        """`wine reg ...` in this prefix; True when it succeeded."""
        return subprocess.run(["wine", "reg"] + list(args), env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def probe(self, *args, timeout=120):
        """Runs the guiprobe fixture in the same session; its JSON answer."""
        import json
        import tempfile
        # Output goes through a file, not a pipe: a Wine process that the probe
        # happens to start (the desktop, services) would inherit a pipe and hold
        # it open long after the probe has ended.
        with tempfile.TemporaryFile() as out:
            subprocess.run(["wine", self.guiprobe] + [str(a) for a in args], env=self.env,
                           stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            text = out.read().decode("utf-8", "replace").strip()
        return json.loads(text.splitlines()[-1]) if text else {"found": False}


def main(argv):
    if len(argv) >= 3 and argv[1] == "template":
        ensure_template(argv[2])
    elif len(argv) >= 4 and argv[1] == "fresh":
        fresh(argv[2], argv[3])
    elif len(argv) >= 3 and argv[1] == "stop":
        stop(argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
