"""A member of several GiB deflated in pieces on several threads, written by
the tool's ZipFolder under Wine: one thread and eight write the same
archive, and the independent readers get the file back byte for byte.

The file repeats a random block of 20000 bytes (inside the deflate window,
so the pieces need their dictionaries to find the repeats) with a counter
after each block, so that no two pieces hold the same bytes."""
import hashlib
import os
import random
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zipcheck  # noqa: E402
from zip_fixture import ZipBed  # noqa: E402

GIB = 1 << 30
SIZE = 3 * GIB + 777777  # not a whole number of pieces


def write_member(path, size):
    block = random.Random(12).randbytes(20000)
    digest = hashlib.sha256()
    written, n = 0, 0
    with open(path, "wb") as f:
        while written < size:
            parts = []
            for _ in range(50):
                parts.append(block)
                parts.append(b"%08d" % n)
                n += 1
            chunk = b"".join(parts)[:size - written]
            f.write(chunk)
            digest.update(chunk)
            written += len(chunk)
    return size, digest.hexdigest()


class LargeMember(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bed = ZipBed("zip-large-member")

    @classmethod
    def tearDownClass(cls):
        cls.bed.close()

    def test_member_of_several_gibibytes_in_pieces(self):
        src = self.bed.path("large")
        os.makedirs(src)
        expected = {"huge.log": write_member(os.path.join(src, "huge.log"), SIZE)}
        with open(os.path.join(src, "note.txt"), "wb") as f:
            f.write(b"beside the large one")
        expected["note.txt"] = (20, hashlib.sha256(b"beside the large one").hexdigest())

        archives = []
        for threads in (1, 8):
            archive = self.bed.path("large-%d.zip" % threads)
            self.assertEqual(self.bed.zip_folder(src, archive, threads), (0, "2"))
            archives.append(archive)
        os.remove(os.path.join(src, "huge.log"))  # the digests above are what counts now
        with open(archives[0], "rb") as one, open(archives[1], "rb") as eight:
            self.assertTrue(one.read() == eight.read(), "eight threads wrote another archive than one")
        os.remove(archives[1])

        zipcheck.check_readers(archives[0], 2)
        for reader, got in zipcheck.stream_digests(archives[0], sorted(expected)).items():
            self.assertEqual(got, expected, reader)


if __name__ == "__main__":
    unittest.main()
