#!/usr/bin/env python3
"""The product imports none of the system functions it looks up at run time:
an import of one of them keeps the program from loading on systems that
lack it."""
import os
import re
import subprocess
import unittest

LOOKED_UP = (
    "RtlGetVersion", "NtQuerySystemInformation", "QueryFullProcessImageNameW", "GetProcessImageFileNameW",
    "GetModuleFileNameExW", "GetProcessMemoryInfo", "GetGuiResources", "GlobalMemoryStatusEx",
    "GetNativeSystemInfo", "IsWow64Process",
)


class RuntimeLookups(unittest.TestCase):
    def test_no_looked_up_function_is_imported(self):
        dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", os.environ["VANTREL_EXE"]], check=True,
                              capture_output=True, text=True).stdout
        imported = set(re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)\s*$", dump, re.MULTILINE))
        self.assertIn("GetVersionExW", imported)  # the import table was read
        for name in LOOKED_UP:
            for form in (name, "K32" + name):
                self.assertNotIn(form, imported)


if __name__ == "__main__":
    unittest.main()
