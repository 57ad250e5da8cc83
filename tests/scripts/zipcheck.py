"""Independent checks of zip archives with the readers users have: unzip -t,
zipinfo, 7z t, Python's zipfile and bsdtar; and extraction by each of them,
compared byte for byte with the files that were packed.

Names stored in the OEM code page (no UTF-8 flag) are code page 437 in the
test prefix. Each extractor writes such a name its own way, given below.
"""
import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import zipfile


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kw)


class ArchiveCheckError(AssertionError):
    pass


def _fail(what, result=None):
    detail = "" if result is None else "\n" + result.stdout.decode("utf-8", "replace")[-3000:]
    raise ArchiveCheckError(what + detail)


# How each extractor names an entry whose name is stored as CP437 bytes.
def _oem_as_utf8(name):
    return name.encode("utf-8")


def _oem_as_latin1(name):
    return name.encode("latin-1")


def _oem_raw(name):
    return name.encode("cp437")


EXTRACTORS = {
    "unzip": (lambda archive, dest: ["unzip", "-qq", "-o", archive, "-d", dest], _oem_as_latin1),
    "7z": (lambda archive, dest: ["7z", "x", "-y", "-bd", "-o" + dest, archive], _oem_raw),
    "bsdtar": (lambda archive, dest: ["bsdtar", "--options", "hdrcharset=CP437", "-xf", archive, "-C", dest],
               _oem_as_utf8),
}


def check_readers(archive, entry_count, read_data=True):
    """unzip -t, zipinfo, 7z t, zipfile's testzip and bsdtar -t accept the
    archive. Without `read_data` the readers only list it (for members too big
    to test twice; stream_digests reads them)."""
    empty = entry_count == 0
    r = run(["unzip", "-t" if read_data else "-l", archive])
    if r.returncode != (1 if empty else 0):
        _fail("unzip failed", r)
    if empty and b"zipfile is empty" not in r.stdout:
        _fail("unzip: no empty-archive notice", r)
    r = run(["zipinfo", "-t", archive])
    counted = re.match(rb"(\d+) files?,", r.stdout)
    if not empty and (r.returncode != 0 or counted is None or int(counted.group(1)) != entry_count):
        _fail("zipinfo disagrees about the entries", r)
    if empty and b"Empty zipfile" not in r.stdout:
        _fail("zipinfo: no empty-archive notice", r)
    r = run(["7z", "t" if read_data else "l", "-bd", archive])
    if r.returncode != 0 or (read_data and b"Everything is Ok" not in r.stdout):
        _fail("7z failed", r)
    r = run(["bsdtar", "-tf", archive])
    if r.returncode != 0 or len(r.stdout.splitlines()) != entry_count:
        _fail("bsdtar -t failed", r)
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip() if read_data else None
        if bad is not None:
            _fail("zipfile: bad member " + bad)
        if len(z.infolist()) != entry_count:
            _fail("zipfile: %d entries" % len(z.infolist()))


def _tree(root):
    """Every file below `root` (as bytes paths relative to it) with its bytes."""
    files = {}
    root_b = os.fsencode(root)
    for folder, _, names in os.walk(root_b):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, root_b)] = f.read()
    return files


def check_extraction(archive, expected, oem_names=()):
    """Each extractor reproduces `expected` (entry name -> bytes) exactly,
    nothing more; `oem_names` are the entries stored as CP437 bytes."""
    for tool, (command, oem_name) in EXTRACTORS.items():
        want = {}
        for name, data in expected.items():
            want[oem_name(name) if name in oem_names else name.encode("utf-8")] = data
        dest = tempfile.mkdtemp(prefix="extract-" + tool + "-")
        try:
            r = run(command(archive, dest))
            if r.returncode != 0:
                _fail(tool + " could not extract", r)
            got = _tree(dest)
        finally:
            shutil.rmtree(dest, ignore_errors=True)
        if got != want:
            missing = sorted(set(want) - set(got))
            extra = sorted(set(got) - set(want))
            differ = sorted(k for k in set(want) & set(got) if want[k] != got[k])
            _fail("%s extracted other files: missing %r, extra %r, different %r" % (tool, missing, extra, differ))
    with zipfile.ZipFile(archive) as z:
        got = {i.filename: z.read(i) for i in z.infolist()}
    if got != expected:
        _fail("zipfile read other files: %r" % sorted(set(got) ^ set(expected)))


def stream_digests(archive, names):
    """For each reader, the SHA-256 and size of each member read to a pipe:
    {reader: {name: (size, hexdigest)}}. For members too big to extract."""
    out = {}
    commands = {
        "unzip": lambda n: ["unzip", "-p", archive, n],
        "7z": lambda n: ["7z", "x", "-so", archive, n],
        "bsdtar": lambda n: ["bsdtar", "-xOf", archive, n],
    }
    for tool, command in commands.items():
        out[tool] = {}
        for name in names:
            digest, size = hashlib.sha256(), 0
            with subprocess.Popen(command(name), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL) as proc:
                for block in iter(lambda: proc.stdout.read(1 << 20), b""):
                    digest.update(block)
                    size += len(block)
            if proc.returncode != 0:
                _fail("%s could not read %s" % (tool, name))
            out[tool][name] = (size, digest.hexdigest())
    out["zipfile"] = {}
    with zipfile.ZipFile(archive) as z:
        for name in names:
            digest, size = hashlib.sha256(), 0
            with z.open(name) as member:  # checks the CRC at the end
                for block in iter(lambda: member.read(1 << 20), b""):
                    digest.update(block)
                    size += len(block)
            out["zipfile"][name] = (size, digest.hexdigest())
    return out
