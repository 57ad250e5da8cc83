#!/usr/bin/env python3
"""The benchmarks' corpus, made here and always the same bytes.

    bench/make_corpus.py DIR [--size-mb 150]     a working folder as a report
                                                 run leaves it
    bench/make_corpus.py --large-log FILE [--mib 256]
                                                 one product log of that size

The working folder holds what the report job stages: the UTF-16 text report
and "SystemInfo.txt" at the top; AppPath (the product's logs, one large, a
few middling, several hundred small ones of a helper component), Updater
(the updater's logs and a binary plan), AppData (databases, settings,
property lists, more logs, per-device folders of small backup files) and
iTunesDll (support libraries). Zero-length files are spread through it. A
corpus of 150 MB holds about 1100 files.

Every byte comes from a generator seeded with the file's name, the
databases are SQLite files with their version stamps cleared, the libraries
are synthetic PE images (code, strings, tables), and every time stamp is
fixed; the last line printed is a SHA-256 over names and contents.

The benchmark scripts call ensure_corpus / ensure_large_log, which build
below build/bench on first use (build/bench/corpus, build/bench/large) and
keep a stamp beside what they built.
"""
import argparse
import datetime
import hashlib
import os
import random
import shutil
import sqlite3
import struct
import sys

SEED = "vantrel-corpus-1"
# Stamp keys: changed whenever what is made changes.
CORPUS_KIND = "corpus-2"
LARGE_KIND = "large-1"
MIB = 1 << 20
EPOCH = datetime.datetime(2016, 3, 14, 9, 30, 0)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH_DIR = os.path.join(ROOT, "build", "bench")
DEFAULT_CORPUS = os.path.join(BENCH_DIR, "corpus")
DEFAULT_LARGE_LOG = os.path.join(BENCH_DIR, "large", "Vantrel.log")


def seeded(name):
    digest = hashlib.sha256(("%s:%s" % (SEED, name)).encode()).digest()
    return random.Random(int.from_bytes(digest[:8], "big"))


# ------------------------------------------------------------------ words
SYLLABLES = ("ar bel cor dan el fa gor hin is jul ka lem mor nat ob pel qua ros sil tam ur ven wil xo yar zen "
             "tri sto ple gra").split()


def vocabulary(rng, count):
    words = set()
    while len(words) < count:
        words.add("".join(rng.choice(SYLLABLES) for _ in range(rng.randint(1, 3))))
    return sorted(words)


class Skewed:
    """Picks from a list with a heavy head, as words and paths recur in logs."""

    def __init__(self, rng, items):
        self.rng, self.items = rng, list(items)

    def __call__(self):
        return self.items[int(len(self.items) * self.rng.random() ** 3)]


# ------------------------------------------------------------------ logs
SUBSYSTEMS = ("Sync", "Device", "Library", "Http", "Update", "Store", "Artwork", "Mux", "Player", "Account",
              "Backup", "Settings", "Window", "Jobs", "Search", "Cipher", "Plugins", "Stats", "License", "Watch")
LEVELS = ("INF", "INF", "INF", "DBG", "DBG", "DBG", "VRB", "VRB", "WRN", "ERR")
RESULTS = ("0x00000000", "0x80070002", "0x80070005", "0x80004005", "0x8007000E", "0xE8000015", "0x80072EE2")
SERVERS = ("sync.vantrel.example", "store.vantrel.example", "cdn.vantrel.example", "auth.vantrel.example")


class LogWriter:
    """Lines of a product log: time stamp, thread, level, subsystem and one of
    a few dozen messages with changing fields; now and then a loop that
    repeats one message, and a hex dump."""

    STYLES = {
        "app": lambda t, th, lvl, sub, msg: "%s.%03d %s %s %-8s %s\r\n" % (
            t.strftime("%Y-%m-%d %H:%M:%S"), t.microsecond // 1000, th, lvl, sub, msg),
        "updater": lambda t, th, lvl, sub, msg: "[%s] %s (%s) %s\r\n" % (
            t.strftime("%d.%m.%Y %H:%M:%S"), lvl, sub, msg),
        "helper": lambda t, th, lvl, sub, msg: "%sZ|%s|%s|%s\n" % (
            t.strftime("%Y-%m-%dT%H:%M:%S.%f")[:-3], th, lvl[0], msg),
    }

    def __init__(self, name, start, style="app"):
        self.rng = seeded(name)
        rng = self.rng
        self.words = Skewed(rng, vocabulary(rng, 1500))
        self.time = start
        self.style = self.STYLES[style]
        self.threads = ["T%05d" % rng.randrange(100, 30000) for _ in range(8)]
        self.devices = ["%08x%08x" % (rng.getrandbits(32), rng.getrandbits(32)) for _ in range(3)]
        self.counter = rng.randrange(1000)
        self.repeat, self.repeated = 0, None

    def path(self):
        w = self.words
        return "C:\\Users\\Owner\\Music\\Vantrel\\%s\\%s\\%s %s.m4a" % (
            w().capitalize(), w().capitalize(), w(), w())

    def message(self):
        r, w = self.rng, self.words
        self.counter += 1
        kind = r.randrange(20)
        if kind < 4:
            return "Sync", "device %s: step %d of %d, %s" % (r.choice(self.devices), self.counter % 1500, 1500,
                                                          r.choice(("tracks", "artwork", "playlists", "notes")))
        if kind < 6:
            return "Http", "GET https://%s/api/%s/%s -> %d in %d ms (%d bytes)" % (
                r.choice(SERVERS), w(), "%x" % r.getrandbits(40), r.choice((200, 200, 200, 304, 404, 503)),
                r.randrange(5, 3000), r.randrange(0, 200000))
        if kind < 8:
            return "Jobs", "job %s done in %d ms, next in %d s" % (w(), r.randrange(1, 60000),
                                                                  r.choice((10, 60, 600, 3600)))
        if kind < 10:
            return "Mux", "frame %d len %d dev %s" % (r.randrange(65536), r.randrange(8, 16384),
                                                      r.choice(self.devices))
        if kind == 10:
            return "Library", "copy '%s' (%d bytes) %s" % (self.path(), r.randrange(1000000, 15000000),
                                                         r.choice(("ok", "ok", "skipped", "retry")))
        if kind == 11:
            return "Watch", "CreateFileW('%s') -> %s" % (self.path(), r.choice(RESULTS))
        if kind == 12:
            return "Stats", "mem %d K, handles %d, gdi %d, queue %d" % (
                r.randrange(80000, 200000), r.randrange(400, 900), r.randrange(100, 400), r.randrange(50))
        if kind == 13:
            return "Settings", "%s.%s = %s" % (r.choice(SUBSYSTEMS), w(), r.choice(("true", "false", w(),
                                                                                       str(r.randrange(999)))))
        if kind == 14:
            return "Account", "token for %s@example.com renewed, %d s left, id {%08X-%04X-%04X}" % (
                w(), r.randrange(3600), r.getrandbits(32), r.getrandbits(16), r.getrandbits(16))
        if kind == 15:
            return "Player", "track %016x at %d of %d ms" % (r.getrandbits(64), r.randrange(300000), 300000)
        if kind == 16:
            return "Search", "%d hits for '%s %s' in %.2f ms" % (r.randrange(500), w(), w(), r.random() * 30)
        if kind == 17:
            return "Plugins", "loaded %s.dll at 0x%08X" % (w(), r.randrange(0x10000000, 0x70000000, 0x10000))
        if kind == 18:
            return "Backup", "chunk %08x of %d bytes, sha1 %040x" % (r.getrandbits(32), r.randrange(1 << 20),
                                                                     r.getrandbits(160))
        return "Device", "%s: %s -> %s" % (r.choice(self.devices), r.choice(("attached", "paired", "idle")),
                                           r.choice(("syncing", "idle", "detached")))

    def line(self):
        r = self.rng
        if self.repeat == 0 and r.random() < 0.03:
            self.repeat, self.repeated = r.randrange(4, 50), self.message()
        if self.repeat:
            self.repeat -= 1
            sub, msg = self.repeated
            self.time += datetime.timedelta(microseconds=r.randrange(2000))
        else:
            sub, msg = self.message()
            self.time += datetime.timedelta(microseconds=int(r.expovariate(1 / 200000.0)))
        text = self.style(self.time, r.choice(self.threads), r.choice(LEVELS), sub, msg)
        if r.random() < 0.003:
            blob = r.randbytes(16 * r.randrange(1, 8))
            text += "".join("    %04x  %s\r\n" % (i, blob[i:i + 16].hex(" ")) for i in range(0, len(blob), 16))
        return text

    def write(self, path, size):
        """Writes about `size` bytes of lines to `path` (cut at `size`)."""
        with open(path, "wb") as f:
            left = size
            while left > 0:
                block = "".join(self.line() for _ in range(2000)).encode("ascii")[:left]
                f.write(block)
                left -= len(block)




def write_fault_log(path, size, name):
    r = seeded(name)
    modules = ("Vantrel.exe", "VNTCore.dll", "ASL.dll", "CoreFoundation.dll", "ntdll.dll", "kernel32.dll")
    out, total, when = [], 0, EPOCH - datetime.timedelta(days=60)
    while total < size:
        when += datetime.timedelta(seconds=r.randrange(600, 500000))
        lines = ["--- fault at %s ---" % when.strftime("%Y-%m-%d %H:%M:%S"),
                 "code 0x%08X address 0x%08X thread %d" % (r.choice((0xC0000005, 0xC0000409, 0xE06D7363)),
                                                          r.getrandbits(32), r.randrange(100, 9000))]
        lines += ["  %2d %s+0x%05X" % (i, r.choice(modules), r.randrange(1 << 20)) for i in range(r.randrange(5, 25))]
        text = "\r\n".join(lines) + "\r\n\r\n"
        out.append(text)
        total += len(text)
    with open(path, "wb") as f:
        f.write("".join(out).encode("ascii")[:size])


# ------------------------------------------------------------------ UTF-16 texts
def write_utf16(path, lines):
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "".join(line + "\r\n" for line in lines).encode("utf-16-le"))


def report_lines(size_chars):
    r = seeded("report")
    words = Skewed(r, vocabulary(r, 600))
    lines = ["Version:\t1.1.0.298", "Date:\t14.03.2016 09:30:12", "*" * 81,
             "Operating system:\tWindows 7 Professional Service Pack 1 (6.1.7601) 64-bit",
             "Processors:\t4", "Memory:\t8 192 MB", "*" * 81]
    total = sum(len(line) for line in lines)
    pid = 4
    while total < size_chars * 0.6:
        pid += 4 * r.randrange(1, 40)
        process = ["%-30s PID: %d Threads: %d Memory: %d K" % (words() + ".exe", pid, r.randrange(1, 90),
                                                               r.randrange(500, 400000))]
        process += ["    C:\\Windows\\SysWOW64\\%s.dll\t%08X" % (words(), r.randrange(0x10000000, 0x7F000000))
                    for _ in range(r.randrange(3, 40))]
        lines += process
        total += sum(len(line) + 2 for line in process)
    lines.append("*" * 81)
    while total < size_chars:
        line = "C:\\Program Files (x86)\\Vantrel\\%s\\%s.%s\t1.%d.%d.%d\t%032x\t%02d.%02d.2016 %02d:%02d" % (
            words(), words(), r.choice(("dll", "exe", "dat", "xml")), r.randrange(9), r.randrange(99),
            r.randrange(9999), r.getrandbits(128), r.randrange(1, 29), r.randrange(1, 13), r.randrange(24),
            r.randrange(60))
        lines.append(line)
        total += len(line) + 2
    return lines


def systeminfo_lines():
    r = seeded("systeminfo")
    lines = ["", "Host Name:                 OWNER-PC", "OS Name:                   Windows 7 Professional",
             "OS Version:                6.1.7601 Service Pack 1 Build 7601", "System Type:               x64-based PC",
             "Total Physical Memory:     8,192 MB", "Hotfix(s):                 180 Hotfix(s) Installed."]
    lines += ["                           [%02d]: KB%d" % (i + 1, r.randrange(2400000, 4100000)) for i in range(180)]
    lines += ["Network Card(s):           1 NIC(s) Installed.", "                           [01]: Ethernet"]
    return lines


# ------------------------------------------------------------------ databases
def finish_database(path):
    """Clears the stamps SQLite leaves that differ between its versions."""
    with open(path, "r+b") as f:
        f.seek(92)
        f.write(b"\0" * 8)


def fill_database(path, size, schema, row):
    """Creates `path` with `schema` and adds rows from `row()` until the file
    reaches `size` bytes."""
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("PRAGMA journal_mode=OFF")
    db.execute("PRAGMA page_size=4096")
    db.execute(schema)
    table = schema.split()[2].split("(")[0]
    while os.path.getsize(path) < size:
        rows = [row() for _ in range(500)]
        db.executemany("INSERT INTO %s VALUES (%s)" % (table, ",".join("?" * len(rows[0]))), rows)
        db.commit()
    db.close()
    finish_database(path)


def track_table(name):
    r = seeded(name)
    words = Skewed(r, vocabulary(r, 2500))
    counter = [0]

    def row():
        counter[0] += 1
        title = " ".join(words() for _ in range(r.randint(1, 4))).title()
        return (counter[0], "%016X" % r.getrandbits(64), title, words().title(), words().title(),
                r.choice(("Rock", "Pop", "Jazz", "Classical", "Podcast")), r.randrange(30000, 900000),
                r.choice((128, 256, 320)), "C:\\Users\\Owner\\Music\\Vantrel\\%s\\%s.m4a" % (words(), title),
                1400000000 + r.randrange(60000000), r.randrange(50))
    return ("CREATE TABLE tracks(id INTEGER PRIMARY KEY, pid TEXT, title TEXT, artist TEXT, album TEXT, "
            "genre TEXT, ms INT, kbps INT, path TEXT, added INT, plays INT)"), row


def artwork_table(name):
    r = seeded(name)
    counter = [0]

    def row():
        counter[0] += 1
        return (counter[0], "%016X" % r.getrandbits(64), b"\xff\xd8\xff\xe0" + r.randbytes(r.randrange(2000, 9000)))
    return "CREATE TABLE art(id INTEGER PRIMARY KEY, pid TEXT, jpeg BLOB)", row


def event_table(name):
    r = seeded(name)
    words = Skewed(r, vocabulary(r, 800))
    state = [0, 1457900000]

    def row():
        state[0] += 1
        state[1] += r.randrange(1, 900)
        return (state[0], state[1], "%s/%s" % (words(), words()), "https://%s/api/%s" % (r.choice(SERVERS), words()),
                r.choice((200, 200, 304, 404)), "%032x" % r.getrandbits(128),
                " ".join(words() for _ in range(r.randrange(0, 10))))
    return ("CREATE TABLE events(id INTEGER PRIMARY KEY, at INT, what TEXT, url TEXT, status INT, tag TEXT, "
            "note TEXT)"), row


# ------------------------------------------------------------------ small files
def plist(r, words, keys):
    out = ['<?xml version="1.0" encoding="UTF-8"?>', '<plist version="1.0">', "<dict>"]
    for _ in range(keys):
        out.append("\t<key>%s%s</key>" % (words().title(), words().title()))
        kind = r.randrange(4)
        if kind == 0:
            out.append("\t<string>%s</string>" % " ".join(words() for _ in range(r.randrange(1, 5))))
        elif kind == 1:
            out.append("\t<integer>%d</integer>" % r.randrange(1 << 31))
        elif kind == 2:
            out.append("\t<%s/>" % r.choice(("true", "false")))
        else:
            out.append("\t<data>%s</data>" % r.randbytes(r.randrange(12, 90)).hex())
    return "\n".join(out + ["</dict>", "</plist>", ""]).encode()


def backup_blob(r, words, size):
    kind = r.randrange(3)
    if kind == 0:
        return r.randbytes(size)
    if kind == 1:
        return plist(r, words, size // 50 + 2)[:size]
    records = b"".join(struct.pack("<IHH12s", r.getrandbits(32), r.randrange(4), r.randrange(999),
                                   words().encode()[:12]) for _ in range(size // 20 + 1))
    return records[:size]


def ini(r, words, sections):
    out = []
    for _ in range(sections):
        out.append("[%s]" % words().title())
        out += ["%s=%s" % (words().title(), r.choice((words(), str(r.randrange(5000)), "1", "0")))
                for _ in range(r.randrange(3, 12))]
        out.append("")
    return "\r\n".join(out).encode()


# ------------------------------------------------------------------ libraries
# Synthetic x86 code: prologues, moves through the frame, calls, compares and
# short jumps, epilogues, padding; then strings, a pointer table and
# relocation blocks, as a compiled library has them.
OPCODES = (
    (8, lambda r: bytes((0x8B, r.choice((0x45, 0x4D, 0x55, 0x75, 0x7D)), (-4 * r.randrange(1, 16)) & 0xFF))),
    (6, lambda r: bytes((0x89, r.choice((0x45, 0x4D, 0x55)), (-4 * r.randrange(1, 16)) & 0xFF))),
    (5, lambda r: b"\xE8" + struct.pack("<i", r.randrange(-0x40000, 0x40000))),
    (4, lambda r: bytes((0x85, r.choice((0xC0, 0xC9, 0xD2, 0xF6)), 0x74, r.randrange(2, 60)))),
    (4, lambda r: bytes((0x83, 0xF8, r.randrange(16), 0x75, r.randrange(2, 60)))),
    (3, lambda r: bytes((0x6A, r.randrange(16)))),
    (3, lambda r: bytes((r.choice((0x50, 0x51, 0x52, 0x56, 0x57)),))),
    (3, lambda r: b"\x68" + struct.pack("<I", 0x10001000 + 4 * r.randrange(0x4000))),
    (2, lambda r: b"\xFF\x15" + struct.pack("<I", 0x10030000 + 4 * r.randrange(200))),
    (2, lambda r: bytes((0x33, r.choice((0xC0, 0xC9, 0xD2))))),
    (2, lambda r: bytes((0x8D, 0x45, (-4 * r.randrange(1, 32)) & 0xFF))),
    (1, lambda r: b"\x83\xC4" + bytes((4 * r.randrange(1, 8),))),
)
WEIGHTED = [make for weight, make in OPCODES for _ in range(weight)]


def code_section(r, size):
    out = bytearray()
    while len(out) < size:
        out += b"\x55\x8B\xEC\x83\xEC" + bytes((4 * r.randrange(1, 20),))
        for _ in range(r.randrange(5, 80)):
            out += r.choice(WEIGHTED)(r)
        out += r.choice((b"\x8B\xE5\x5D\xC3", b"\xC9\xC2" + bytes((4 * r.randrange(1, 5),)) + b"\x00"))
        out += b"\xCC" * (-len(out) % 16)
    return bytes(out[:size])


def library(name, size):
    r = seeded(name)
    words = Skewed(r, vocabulary(r, 900))
    header = bytearray(1024)
    header[0:2] = b"MZ"
    header[0x3C:0x40] = struct.pack("<I", 0x80)
    header[0x80:0x84] = b"PE\0\0"
    header[0x84:0x86] = struct.pack("<H", 0x14C)
    header[0x4E:0x76] = b"This program cannot be run in DOS mode.\r"
    strings = bytearray()
    while len(strings) < size * 0.18:
        text = "%s%s%s" % (words().title(), words().title(), r.choice(("", "Ex", "W", "A", "Internal")))
        strings += text.encode() + b"\0"
        if r.random() < 0.3:
            strings += (" ".join(words() for _ in range(r.randrange(3, 10))) + "\0").encode("utf-16-le")
    table = b"".join(struct.pack("<I", 0x10000000 + r.randrange(0x40000) * 4) for _ in range(int(size * 0.06) // 4))
    relocations = bytearray()
    while len(relocations) < size * 0.05:
        relocations += struct.pack("<II", 0x1000 * r.randrange(1, 200), 0x28)
        relocations += b"".join(struct.pack("<H", 0x3000 | r.randrange(4096)) for _ in range(16))
    code = code_section(r, size - len(header) - len(strings) - len(table) - len(relocations))
    image = bytes(header) + code + bytes(strings) + table + bytes(relocations)
    return image + b"\0" * (-len(image) % 512)


# Name and MiB; 30 MiB in all.
LIBRARIES = (("ASL.dll", 1.1), ("CoreFoundation.dll", 4.3), ("CFNetwork.dll", 2.4), ("objc.dll", 0.4),
             ("libdispatch.dll", 0.3), ("pthreadVC2.dll", 0.1), ("zlib1.dll", 0.1), ("libicuuc.dll", 1.2),
             ("libicuin.dll", 1.8), ("icudt46.dll", 5.8), ("libxml2.dll", 1.0), ("SQLite3.dll", 0.5),
             ("CoreGraphics.dll", 2.4), ("JavaScriptCore.dll", 3.6), ("WebKit.dll", 4.9),
             ("AppleVersions.dll", 0.1))


# ------------------------------------------------------------------ the folder
def make_corpus(root, size_mb=150.0):
    """Builds the working-folder corpus in `root` (which must not exist or be
    empty); returns (files, bytes, fingerprint)."""
    scale = size_mb / 150.0

    def mb(n):
        return max(512, int(n * scale * MIB))

    def count(n):
        return max(1, int(round(n * scale)))

    made = []

    def log(size, start, style, *parts):
        LogWriter("/".join(parts), start, style).write(place(*parts), size)

    def place(*parts):
        path = os.path.join(root, *parts)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        made.append(path)
        return path

    def empty(*parts):
        open(place(*parts), "wb").close()

    def put(data, *parts):
        with open(place(*parts), "wb") as f:
            f.write(data)

    month_ago = EPOCH - datetime.timedelta(days=30)
    write_utf16(place("Vantrel_Debug_Info.txt"), report_lines(mb(4) // 2))
    write_utf16(place("SystemInfo.txt"), systeminfo_lines())

    for name, size in LIBRARIES:
        put(library(name, max(4096, int(size * scale * MIB))), "iTunesDll", name)

    for name, size, style in (("Vantrel.log", 32, "app"), ("VNTUpdater.log", 3, "updater"),
                              ("VNTToolbox.log", 2, "app"), ("MediaFetch.log", 1, "updater"),
                              ("RuntimeFetch.log", 0.5, "updater")):
        log(mb(size), month_ago, style, "AppPath", name)
    write_fault_log(place("AppPath", "crashnote.txt"), 6000, "crashnote")
    write_fault_log(place("AppPath", "Faults.log"), mb(0.25), "faults")
    empty("AppPath", "ClipScan.log")
    r = seeded("helper logs")
    for i in range(count(480)):
        when = month_ago + datetime.timedelta(hours=6 * i)
        name = "avl_%s_%04d.log" % (when.strftime("%Y%m%d"), i)
        if r.random() < 0.03:
            empty("AppPath", "Aerovell", "logs", name)
        else:
            log(int(min(400000, r.lognormvariate(9.6, 0.9))), when, "helper", "AppPath", "Aerovell", "logs", name)

    log(mb(2), month_ago, "updater", "Updater", "Fetcher.log")
    log(mb(1), month_ago, "updater", "Updater", "VNTUpdater.log")
    r = seeded("stage plan")
    put(backup_blob(r, Skewed(r, vocabulary(r, 200)), 65536), "Updater", "update", "stageplan.spt")

    fill_database(place("AppData", "DataBase", "library.db"), mb(18), *track_table("library"))
    fill_database(place("AppData", "DataBase", "artwork.db"), mb(6), *artwork_table("artwork"))
    fill_database(place("AppData", "DataBase", "settings.db"), mb(0.3), *event_table("settings"))
    empty("AppData", "DataBase", "library.db-journal")
    fill_database(place("AppData", "Sync", "sync.db"), mb(1.5), *event_table("sync"))
    r = seeded("sync lists")
    words = Skewed(r, vocabulary(r, 700))
    for _ in range(count(40)):
        put(plist(r, words, r.randrange(10, 200)), "AppData", "Sync", "%012x.plist" % r.getrandbits(48))
    put(ini(r, words, 12), "AppData", "core.ini")
    put(ini(r, words, 6), "AppData", "media.ini")
    ten_days_ago = EPOCH - datetime.timedelta(days=10)
    log(mb(0.25), month_ago, "updater", "AppData", "log", "FirstRun.log")
    log(mb(12), ten_days_ago, "app", "AppData", "log", "Vantrel.log")
    log(mb(12), month_ago, "app", "AppData", "log", "Vantrel.log.bak1")
    log(mb(1), ten_days_ago, "updater", "AppData", "log", "Fetcher.log")
    log(mb(0.5), month_ago, "helper", "AppData", "log", "Remarks.log")
    empty("AppData", "log", "SWEEP_ERRORS.log")
    fill_database(place("AppData", "Pulls.db"), mb(6), *event_table("pulls"))
    r = seeded("devices")
    for d in range(count(4)):
        device = "%040x" % r.getrandbits(160)
        fill_database(place("AppData", "handset vault", device, "Manifest.db"), mb(0.6), *event_table(device))
        put(plist(r, words, 60), "AppData", "handset vault", device, "Info.plist")
        put(plist(r, words, 8), "AppData", "handset vault", device, "Status.plist")
        for _ in range(count(130)):
            name = "%040x" % r.getrandbits(160)
            if r.random() < 0.04:
                empty("AppData", "handset vault", device, name)
            else:
                put(backup_blob(r, words, int(min(200000, r.lognormvariate(8.6, 1.0)))),
                    "AppData", "handset vault", device, name)

    r = seeded("times")
    for path in sorted(made):
        stamp = (EPOCH - datetime.timedelta(seconds=r.randrange(40 * 86400))).timestamp()
        os.utime(path, (stamp, stamp))
    return fingerprint(root)


def fingerprint(root):
    digest, files, total = hashlib.sha256(), 0, 0
    for folder, dirs, names in os.walk(root):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                data = f.read()
            files += 1
            total += len(data)
            digest.update(os.path.relpath(path, root).encode() + b"\0" + hashlib.sha256(data).digest())
    return files, total, digest.hexdigest()


def make_large_log(path, mib=256):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    LogWriter("large log", EPOCH - datetime.timedelta(days=90)).write(path, mib * MIB)
    os.utime(path, (EPOCH.timestamp(), EPOCH.timestamp()))


# ------------------------------------------------------------------ reuse
def _ensure(path, key, make, stamp):
    """Makes `path` with make() unless `stamp` says it holds `key` already."""
    if os.path.exists(path) and os.path.exists(stamp):
        with open(stamp) as f:
            if f.read().strip() == key:
                return path
    if os.path.isdir(path):
        shutil.rmtree(path)
    elif os.path.exists(path):
        os.remove(path)
    if os.path.exists(stamp):
        os.remove(stamp)
    print("making %s ..." % path, file=sys.stderr, flush=True)
    make()
    with open(stamp, "w") as f:
        f.write(key + "\n")
    return path


def ensure_corpus(path=DEFAULT_CORPUS, size_mb=150.0):
    """The working-folder corpus at `path`, made on first use."""
    return _ensure(path, "%s %g" % (CORPUS_KIND, size_mb), lambda: make_corpus(path, size_mb),
                   path.rstrip(os.sep) + ".stamp")


def ensure_large_log(path=DEFAULT_LARGE_LOG, mib=256):
    """The large log at `path`, made on first use; its folder holds nothing
    else, so that packing the folder packs the log alone."""
    return _ensure(path, "%s %d" % (LARGE_KIND, mib), lambda: make_large_log(path, mib),
                   os.path.dirname(os.path.abspath(path)) + ".stamp")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("dir", nargs="?", help="the folder to fill (absent or empty)")
    parser.add_argument("--size-mb", type=float, default=150.0)
    parser.add_argument("--large-log", metavar="FILE", help="make one log file instead")
    parser.add_argument("--mib", type=int, default=256, help="size of the large log")
    args = parser.parse_args()
    if args.large_log:
        make_large_log(args.large_log, args.mib)
        with open(args.large_log, "rb") as f:
            print("large log: %d bytes, sha256 %s" % (args.mib * MIB, hashlib.file_digest(f, "sha256").hexdigest()))
        return
    if not args.dir:
        parser.error("give DIR or --large-log FILE")
    if os.path.exists(args.dir) and os.listdir(args.dir):
        sys.exit("%s is not empty" % args.dir)
    files, total, digest = make_corpus(args.dir, args.size_mb)
    print("corpus: %d files, %d bytes (%.1f MiB), sha256 %s" % (files, total, total / MIB, digest))


if __name__ == "__main__":
    main()
