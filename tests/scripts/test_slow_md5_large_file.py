#!/usr/bin/env python3
"""A file far larger than a 32-bit process can map at once gets its true
digest from the tool, the same as md5sum gives for the same bytes."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import winebed

BUILD = os.environ["VANTREL_BUILD"]
FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]

GIB = 1 << 30
MIB = 1 << 20


def make_sparse(path, size, marks):
    """A sparse file of `size` bytes, zeros except for the marked spots."""
    with open(path, "wb") as f:
        f.truncate(size)
        for offset, data in marks:
            f.seek(offset)
            f.write(data)


def md5sum(path):
    out = subprocess.run(["md5sum", path], check=True, capture_output=True, text=True).stdout
    return out.split()[0]


def tool_md5(path):
    exe = os.path.join(FIXTURES, "md5file", "md5file.exe")
    run = subprocess.run([os.path.join(BUILD, "wine-run"), exe, winebed.windows_path(path)],
                         check=True, capture_output=True, text=True, timeout=1200)
    return run.stdout.strip().splitlines()[-1]


class LargeFileDigest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="md5large_", dir=BUILD)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_digest_of_a_file_past_four_gibibytes(self):
        size = 5 * GIB + 12345
        path = os.path.join(self.dir, "large.bin")
        # Marks at the start, across a view boundary, across the 4 GiB line
        # and at the very end, so a skipped, repeated or cut view shows.
        make_sparse(path, size, [
            (0, b"head of the file"),
            (64 * MIB - 5, b"across a view boundary"),
            (4 * GIB - 7, b"across four gibibytes"),
            (size - 9, b"last-byte"),
        ])
        self.assertLess(os.stat(path).st_blocks * 512, 64 * MIB, "the test file should be sparse")
        expected = md5sum(path)
        self.assertNotEqual(expected, "d41d8cd98f00b204e9800998ecf8427e")
        self.assertEqual(tool_md5(path), expected)


if __name__ == "__main__":
    sys.exit(0 if unittest.main(exit=False, verbosity=2).result.wasSuccessful() else 1)
