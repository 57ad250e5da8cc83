"""Zip64 for real: members of 4 GiB and more (sparse files of zeros with
marks at both ends) and an archive of 65535 entries, written by the tool's
ZipFolder under Wine and read back by the independent readers."""
import hashlib
import os
import struct
import unittest
import zipfile

import zipcheck
from zip_fixture import ZipBed

GIB = 1 << 30
# Over 4 GiB: its sizes need Zip64. Just under 4 GiB but past the point
# where deflate could overflow 32 bits: its local header carries the Zip64
# field while its central header needs none.
BIG = {"big.bin": 4 * GIB + 4321, "near.bin": 0xFFFFFFFF - 4321}


def make_sparse(path, size, mark):
    with open(path, "wb") as f:
        f.write(mark * 1000)
        f.seek(size - len(mark))
        f.write(mark)


def digest(path):
    h, n = hashlib.sha256(), 0
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 22), b""):
            h.update(block)
            n += len(block)
    return n, h.hexdigest()


def central_and_local(archive, name):
    """The extra fields and 32-bit size fields of `name`'s two headers."""
    with zipfile.ZipFile(archive) as z:
        info = z.getinfo(name)
    with open(archive, "rb") as f:
        f.seek(info.header_offset)
        local = f.read(30)
        _, _, _, _, _, _, _, csize, usize, nlen, xlen = struct.unpack("<IHHHHHIIIHH", local)
        f.seek(nlen, 1)
        local_extra = f.read(xlen)
    return info, (csize, usize, local_extra)


class Zip64(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bed = ZipBed("zip64")

    @classmethod
    def tearDownClass(cls):
        cls.bed.close()

    def test_members_of_four_gibibytes(self):
        src = self.bed.path("big")
        os.makedirs(src)
        for name, size in BIG.items():
            make_sparse(os.path.join(src, name), size, name[:4].encode())
        with open(os.path.join(src, "small.txt"), "wb") as f:
            f.write(b"after the big ones")
        archive = self.bed.path("big.zip")
        self.assertEqual(self.bed.zip_folder(src, archive), (0, "3"))

        zipcheck.check_readers(archive, 3, read_data=False)
        big, (csize, usize, local_extra) = central_and_local(archive, "big.bin")
        self.assertEqual((big.file_size, big.extract_version), (BIG["big.bin"], 45))
        self.assertEqual((csize, usize, len(local_extra)), (0xFFFFFFFF, 0xFFFFFFFF, 20))
        near, (csize, usize, local_extra) = central_and_local(archive, "near.bin")
        self.assertEqual((near.file_size, near.extract_version, near.extra), (BIG["near.bin"], 45, b""))
        self.assertEqual((csize, usize, len(local_extra)), (0xFFFFFFFF, 0xFFFFFFFF, 20))

        names = sorted(BIG) + ["small.txt"]
        expected = {name: digest(os.path.join(src, name)) for name in names}
        for reader, got in zipcheck.stream_digests(archive, names).items():
            self.assertEqual(got, expected, reader)

    def test_archive_of_65535_entries(self):
        src = self.bed.path("many")
        files = {}
        for n in range(65535):
            files["d%03d/f%03d.txt" % (n // 256, n % 256)] = b"%d" % n
        for name, data in files.items():
            path = os.path.join(src, *name.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        archive = self.bed.path("many.zip")
        self.assertEqual(self.bed.zip_folder(src, archive), (0, "65535"))
        with open(archive, "rb") as f:
            f.seek(-22 - 20 - 56, 2)
            tail = f.read()
        self.assertEqual(tail[:4], b"PK\x06\x06")
        self.assertEqual(struct.unpack("<Q", tail[24:32])[0], 65535)
        self.assertEqual(tail[56:60], b"PK\x06\x07")
        self.assertEqual(struct.unpack("<HH", tail[76 + 8:76 + 12]), (0xFFFF, 0xFFFF))
        zipcheck.check_readers(archive, 65535)
        zipcheck.check_extraction(archive, files)


if __name__ == "__main__":
    unittest.main()
