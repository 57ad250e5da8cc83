#!/usr/bin/env python3
"""The Wine test bed: prefixes inside the build tree, their environment and
paths, seeding their registry, and running Windows programs in them. The
displays are xdisplay's, the product's window is driven by tooldriver.

Command line:
    winebed.py template DIR         create the template prefix DIR if missing
    winebed.py fresh TEMPLATE DEST  DEST := a fresh copy of TEMPLATE (made if missing)
    winebed.py stop PREFIX          end every process of PREFIX
    winebed.py run PREFIX PROGRAM [ARG...]
                                    run a Windows program in PREFIX (replaces this process)
"""
import contextlib
import fcntl
import getpass
import json
import os
import shutil
import subprocess
import sys
import tempfile

# Set by a 64-bit test tree: the folder of its own "wine", which starts
# wine64 (tests/CMakeLists.txt). Such a tree's tool is a 64-bit program, so
# what only a 32-bit process on 64-bit Windows meets (WOW64) is not tested.
WINE_BIN = os.environ.get("VANTREL_WINE_BIN", "")
SIXTY_FOUR_BIT_TOOL = bool(WINE_BIN)
SKIP_WOW64 = "the tool is built as a 64-bit program here, no WOW64: run as 32-bit code in the emulated guest"

PROFILE_LINKS = ("Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos", "Templates")


def wine_env(prefix, display=None, extra=None):
    """The environment for Wine programs in `prefix`, on `display` (an
    xdisplay.Display; without one, the display this process has)."""
    env = dict(os.environ)
    if display is not None:
        env.update(display.environ())
    elif env.get("DISPLAY") and "XAUTHORITY" not in env:
        # Wine gets a home of its own: the user's X cookie stays where it is.
        cookie = os.path.join(os.path.expanduser("~"), ".Xauthority")
        if os.path.isfile(cookie):
            env["XAUTHORITY"] = cookie
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
    if WINE_BIN:
        env["PATH"] = WINE_BIN + os.pathsep + env.get("PATH", "")
        env["WINELOADER"] = "/usr/lib/wine/wine64"
        env["VANTREL_WINE_BIN"] = WINE_BIN
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
        with tempfile.TemporaryFile() as errors:  # not a pipe: the services it starts would keep it open
            code = subprocess.run(["wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=errors,
                                  timeout=600).returncode
            if code != 0:
                errors.seek(0)
                raise RuntimeError("wineboot -i failed with exit code %d: %s"
                                   % (code, errors.read().decode("utf-8", "replace").strip()[-2000:]))
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


def run_program(env, args, timeout):
    """Runs a Windows program (`args` after "wine"); its exit code and what it
    printed. The output goes through a file, not a pipe: a Wine process that
    the program happens to start (the desktop, services) would inherit a pipe
    and hold it open long after the program has ended."""
    with tempfile.TemporaryFile() as out:
        result = subprocess.run(["wine"] + [str(a) for a in args], env=env, stdout=out,
                                stderr=subprocess.DEVNULL, timeout=timeout)
        out.seek(0)
        return result.returncode, out.read().decode("utf-8", "replace").strip()


def last_json(text, missing=None):
    """The JSON object on the last line of a program's output (`missing` when
    there is no output)."""
    return json.loads(text.splitlines()[-1]) if text else missing


def reg_file_text(keys):
    """The text of a .reg file that writes `keys`: {full key path: {value
    name ("" for the default value): text}}."""
    def quoted(text):
        return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys.items():
        lines.append("[%s]" % key)
        lines.extend("%s=%s" % ("@" if name == "" else quoted(name), quoted(data)) for name, data in values.items())
        lines.append("")
    return "\n".join(lines)


def import_registry(prefix, keys, view="/reg:64"):
    """Writes `keys` (as for reg_file_text) into the prefix's registry with
    `reg import` in the given view. In the 64-bit view every path is taken as
    written: the 32-bit view of HKLM\\SOFTWARE is the branch below Wow6432Node."""
    with tempfile.TemporaryDirectory(dir=os.path.dirname(os.path.abspath(prefix))) as work:
        reg = os.path.join(work, "seed.reg")
        with open(reg, "w", newline="\r\n", encoding="utf-16") as f:
            f.write(reg_file_text(keys))
        result = subprocess.run(["wine", "reg", "import", windows_path(reg), view], env=wine_env(prefix),
                                capture_output=True, timeout=300)
    if result.returncode != 0:
        raise RuntimeError("reg import failed: %r" % result.stdout)


def main(argv):
    if len(argv) >= 3 and argv[1] == "template":
        ensure_template(argv[2])
    elif len(argv) >= 4 and argv[1] == "fresh":
        fresh(argv[2], argv[3])
    elif len(argv) >= 3 and argv[1] == "stop":
        stop(argv[2])
    elif len(argv) >= 4 and argv[1] == "run":
        os.execvpe("wine", ["wine"] + argv[3:], wine_env(argv[2]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
