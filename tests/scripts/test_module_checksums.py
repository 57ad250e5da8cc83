#!/usr/bin/env python3
"""The module text under Wine: every module outside the Windows folder carries
the CRC-32 of its file, as Python's zlib computes it; modules inside carry
none; the columns line up."""
import os
import re
import subprocess
import tempfile
import unittest
import zlib

import winebed

BUILD = os.environ["VANTREL_BUILD"]
FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]
PREFIX = os.path.join(BUILD, "wine", "prefix")


def parse_module_lines(lines):
    """(base, name, details, folder) per line, the columns found from the
    widest name and the widest details as the layout defines them. The base
    has eight digits in the 32-bit tool (more where the test tree builds it
    as a 64-bit program)."""
    digits = 16 if winebed.SIXTY_FOUR_BIT_TOOL else 8
    for line in lines:
        assert re.match(r"^[0-9a-f]{8,%d} \S" % digits, line), line
    starts = [line.index(" ") + 1 for line in lines]
    names = [line[start:].split(" ", 1)[0] for line, start in zip(lines, starts)]
    name_width = max(len(n) for n in names) + 1
    details = [line[start + name_width:].split(" ", 1)[0] for line, start in zip(lines, starts)]
    details_width = max(len(d) for d in details) + 1
    rows = []
    for line, start, name, detail in zip(lines, starts, names, details):
        assert line[start:start + name_width] == name.ljust(name_width), line
        assert line[start + name_width:start + name_width + details_width] == detail.ljust(details_width), line
        rows.append((int(line[:start - 1], 16), name, detail, line[start + name_width + details_width:]))
    return rows


class ModuleChecksums(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isdir(PREFIX):
            winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], PREFIX)
        with tempfile.TemporaryDirectory(dir=BUILD) as work:
            out = os.path.join(work, "dump.txt")
            dll = winebed.windows_path(os.path.join(FIXTURES, "versioned", "full.dll"))
            exe = os.path.join(FIXTURES, "inventory_dump", "inventory_dump.exe")
            subprocess.run(["wine", exe, winebed.windows_path(out), dll], env=winebed.wine_env(PREFIX),
                           check=True, timeout=300)
            with open(out, encoding="utf-8", newline="") as f:
                text = f.read()
        module_text, _, cls.process_text = text.partition("\r\n--\r\n")
        cls.rows = parse_module_lines(module_text.split("\r\n"))

    def row(self, name):
        found = [r for r in self.rows if r[1].lower() == name.lower()]
        self.assertEqual(len(found), 1, name)
        return found[0]

    def test_checksums_match_the_files_outside_the_windows_folder(self):
        checked = 0
        for base, name, details, folder in self.rows:
            with self.subTest(module=name):
                match = re.fullmatch(r"(.*),\$([0-9a-f]{8})", details)
                if folder.lower().startswith("c:\\windows"):
                    self.assertIsNone(match, details)
                    continue
                self.assertIsNotNone(match, details)
                with open(winebed.unix_path(PREFIX, folder + "\\" + name), "rb") as f:
                    self.assertEqual(int(match.group(2), 16), zlib.crc32(f.read()))
                checked += 1
        self.assertGreaterEqual(checked, 2)

    def test_the_executable_the_loaded_library_and_ntdll_are_listed(self):
        bases = [r[0] for r in self.rows]
        self.assertEqual(bases, sorted(bases))
        self.assertTrue(self.row("inventory_dump.exe")[2].startswith(",$"))
        self.assertRegex(self.row("full.dll")[2], r"^1\.0\.0\.1,\$[0-9a-f]{8}$")
        ntdll = self.row("ntdll.dll")
        self.assertEqual(ntdll[3].lower(), "c:\\windows\\system32")
        self.assertNotIn("$", ntdll[2])

    def test_the_process_text_ends_with_the_summary_lines(self):
        lines = self.process_text.split("\r\n")
        self.assertEqual(lines[-1], "")
        self.assertEqual(lines[-5], "")
        self.assertTrue(lines[-4].startswith("Virtual memory:"))
        self.assertTrue(lines[-3].startswith("GlobalAtomInfo:Atom:"))
        self.assertTrue(lines[-2].startswith("DesktopHeap:"))
        self.assertTrue(any(" inventory_dump.exe " in line for line in lines[:-5]))


if __name__ == "__main__":
    unittest.main()
