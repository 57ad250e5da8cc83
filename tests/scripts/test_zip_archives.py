"""Archives written by the tool's ZipFolder under Wine, read back by the
independent readers, and its failure on a full volume."""
import os
import random
import unittest

import zipcheck
from zip_fixture import ZipBed


def log_text(size, seed):
    rng = random.Random(seed)
    words = ["sync", "device", "track", "artwork", "commit", "retry", "0x80070005", "ok"]
    lines = []
    total = 0
    while total < size:
        line = "2016-03-14 08:%02d:%02d.%03d %s\r\n" % (rng.randrange(60), rng.randrange(60), rng.randrange(1000),
                                                    " ".join(rng.choice(words) for _ in range(8)))
        lines.append(line)
        total += len(line)
    return "".join(lines).encode("ascii")[:size]


def random_bytes(size, seed):
    return random.Random(seed).getrandbits(8 * size).to_bytes(size, "little") if size else b""


# name -> contents, as the job's working folder might hold them; names in
# the OEM code page, in neither code page, pieces and buffers of 65535 bytes,
# a file large enough to be deflated in pieces.
VISIBLE = {
    "Vantrel_Debug_Info.txt": b"\xff\xfe" + "Version:1.1.0.298\r\n".encode("utf-16-le"),
    "SystemInfo.txt": b"\xff\xfe" + ("Host Name: X\r\n" * 3000).encode("utf-16-le"),
    "AppPath/Vantrel.log": log_text(2_000_000, 1),
    "AppPath/Vantrel.log.bak1": log_text(65535, 2),
    "AppData/log/large.log": log_text(5 * (1 << 20) + 12345, 9),  # deflated in pieces
    "AppPath/deep/er/still/empty.log": b"",
    "AppData/DataBase/library.db": random_bytes(300_000, 3),
    "AppData/exact.bin": random_bytes(65536, 4),
    "iTunesDll/ASL.dll": random_bytes(65534, 5) + log_text(100_000, 6),
    "with space/Caf\u00e9 men\u00fc.txt": b"cp437",
    "\u65e5\u672c/\u30c7\u30fc\u30bf.txt": b"utf-8 folder and name",
    "\u20acuro.txt": b"cp1252 only",
}
OEM_NAMES = {"with space/Caf\u00e9 men\u00fc.txt"}
# Left out: dot names are hidden in the test prefix; an empty folder leaves
# no trace.
HIDDEN = {
    ".hidden.txt": b"h",
    ".hidden folder/inside.txt": b"i",
}


def write_tree(root, files):
    for name, data in files.items():
        path = os.path.join(root, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


class ZipArchives(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bed = ZipBed("zip-archives")

    @classmethod
    def tearDownClass(cls):
        cls.bed.close()

    def test_readers_agree_and_extract_every_file(self):
        src = self.bed.path("work")
        write_tree(src, VISIBLE)
        write_tree(src, HIDDEN)
        os.makedirs(os.path.join(src, "EmptyFolder"))
        archives = []
        for threads in (1, 2):
            archive = self.bed.path("work-%d.zip" % threads)
            code, out = self.bed.zip_folder(src, archive, threads)
            self.assertEqual((code, out), (0, str(len(VISIBLE))))
            archives.append(archive)
        with open(archives[0], "rb") as one, open(archives[1], "rb") as two:
            self.assertTrue(one.read() == two.read(), "two threads wrote another archive than one")
        zipcheck.check_readers(archives[0], len(VISIBLE))
        zipcheck.check_extraction(archives[0], VISIBLE, OEM_NAMES)

    def test_empty_folder_gives_an_empty_archive(self):
        src = self.bed.path("empty")
        os.makedirs(os.path.join(src, "only", "folders"))
        archive = self.bed.path("empty.zip")
        self.assertEqual(self.bed.zip_folder(src, archive), (0, "0"))
        self.assertEqual(os.path.getsize(archive), 22)
        zipcheck.check_readers(archive, 0)

    def test_full_volume_raises_and_leaves_no_archive(self):
        src = self.bed.path("full")
        write_tree(src, {"a.bin": random_bytes(1_500_000, 7), "b.bin": random_bytes(1_500_000, 8)})
        for threads in (1, 2):
            archive = self.bed.path("full-%d.zip" % threads)
            code, out = self.bed.zip_folder(src, archive, threads, file_size_limit=1_000_000)
            self.assertEqual((code, out), (1, "error: Not enough room to write archive"))
            self.assertFalse(os.path.exists(archive))


if __name__ == "__main__":
    unittest.main()
