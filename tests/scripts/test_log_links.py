#!/usr/bin/env python3
"""The tool's log beside the executable, in a folder its user can write,
against links that user puts at the log's names.

Links are made from the Unix side (Wine shows a Unix symbolic link to a file
as a plain file, and `os.link` makes real hard links). The logwrite fixture
writes one message through the tool's log manager; with --by-name it writes
the way a log that trusts its names would, which every case's check must
catch."""
import os
import shutil
import subprocess
import tempfile
import unittest

import winebed

FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]
LOGWRITE = os.path.join(FIXTURES, "logwrite", "logwrite.exe")
ROTATION_SIZE = 10 * 1024 * 1024
MARK = b"\xff\xfe"


class LogLinks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="loglinks_", dir=os.environ["VANTREL_BUILD"])
        cls.prefix = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(cls.scratch, "prefix"))

    @classmethod
    def tearDownClass(cls):
        winebed.stop(cls.prefix)
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def setUp(self):
        self.dir = tempfile.mkdtemp(dir=self.scratch)
        self.folder = os.path.join(self.dir, "downloads")
        self.private = os.path.join(self.dir, "private")
        os.makedirs(self.folder)
        os.makedirs(self.private)
        self.log = os.path.join(self.folder, "app.log")

    def write(self, text, by_name=False):
        args = ["wine", LOGWRITE] + (["--by-name"] if by_name else []) + [winebed.windows_path(self.log), text]
        subprocess.run(args, env=winebed.wine_env(self.prefix), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)

    def full_log(self):
        """A log of exactly the rotation size, so the next message rotates it."""
        with open(self.log, "wb") as f:
            f.write(MARK + b"x" * (ROTATION_SIZE - 2))

    def lines(self, path):
        with open(path, "rb") as f:
            data = f.read()
        self.assertEqual(data[:2], MARK)
        return data[2:].decode("utf-16-le").split("\r\n")[:-1]

    def test_dangling_link_at_the_backup_creates_nothing_there(self):
        target = os.path.join(self.private, "planted.txt")
        for by_name in (True, False):
            with self.subTest(by_name=by_name):
                for name in os.listdir(self.folder):
                    os.unlink(os.path.join(self.folder, name))
                self.full_log()
                os.symlink(target, self.log + ".bak1")
                self.write("rotated", by_name)
                if by_name:
                    # The name-trusting writer creates the link's target.
                    self.assertTrue(os.path.exists(target))
                    os.unlink(target)
                    continue
                self.assertFalse(os.path.lexists(target))
                self.assertFalse(os.path.islink(self.log + ".bak1"))
                self.assertEqual(os.path.getsize(self.log + ".bak1"), ROTATION_SIZE)
                self.assertEqual(len(self.lines(self.log)), 1)
                self.assertEqual(sorted(os.listdir(self.folder)), ["app.log", "app.log.bak1"])

    def test_link_at_the_backup_to_another_file_leaves_that_file(self):
        victim = os.path.join(self.private, "private.dat")
        for by_name in (True, False):
            with self.subTest(by_name=by_name):
                for name in os.listdir(self.folder):
                    os.unlink(os.path.join(self.folder, name))
                with open(victim, "wb") as f:
                    f.write(b"keep me")
                self.full_log()
                os.symlink(victim, self.log + ".bak1")
                self.write("rotated", by_name)
                with open(victim, "rb") as f:
                    unchanged = f.read() == b"keep me"
                self.assertEqual(unchanged, not by_name)
                if not by_name:
                    self.assertFalse(os.path.islink(self.log + ".bak1"))
                    self.assertEqual(os.path.getsize(self.log + ".bak1"), ROTATION_SIZE)

    def test_linked_log_of_the_rotation_size_is_neither_copied_nor_emptied(self):
        victim = os.path.join(self.private, "private.dat")
        content = MARK + b"p" * (ROTATION_SIZE - 2)
        for by_name in (True, False):
            with self.subTest(by_name=by_name):
                for name in os.listdir(self.folder):
                    os.unlink(os.path.join(self.folder, name))
                with open(victim, "wb") as f:
                    f.write(content)
                os.link(victim, self.log)
                self.write("beside the link", by_name)
                with open(victim, "rb") as f:
                    unchanged = f.read() == content
                self.assertEqual(unchanged, not by_name)
                self.assertEqual(os.path.exists(self.log + ".bak1"), by_name)
                if not by_name:
                    lines = self.lines(os.path.join(self.folder, "app_1.log"))
                    self.assertEqual(len(lines), 1)
                    self.assertTrue(lines[0].endswith("  beside the link"))


if __name__ == "__main__":
    unittest.main()
