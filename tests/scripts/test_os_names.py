#!/usr/bin/env python3
"""The overview's OS name on the systems of version 10.0.

A private prefix is set to Windows 10 with winecfg; Wine 8's winecfg knows no
Windows 11 and no server of version 10.0, so the build number and the product
type are then written to the registry where Wine takes them from when a
program starts: ntdll fills the version that RtlGetVersion reports from
HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion (CurrentMajorVersionNumber,
CurrentMinorVersionNumber, CurrentBuildNumber; winecfg writes the key in both
registry views, and so does this test) and the product type from
HKLM\\System\\CurrentControlSet\\Control\\ProductOptions "ProductType" ("WinNT"
is a workstation, "ServerNT" a server, "LanmanNT" a domain controller).
GetVersionExW keeps reporting 6.2.9200 to a program that declares no
supported systems, so the "OS Version" line cannot tell these systems apart:
the name can. The reportprobe fixture prints the overview section."""
import os
import subprocess
import tempfile
import unittest

from prefix_case import PrivatePrefixCase
import winebed

BUILD = os.environ["VANTREL_BUILD"]
PROBE = os.path.join(os.environ["VANTREL_FIXTURE_DIR"], "reportprobe", "reportprobe.exe")
# Imported in the 64-bit view, so every path is taken as written: the 32-bit
# view is the branch below Wow6432Node.
SEED_REG = r"""Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion]
"CurrentBuildNumber"="%(build)s"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion]
"CurrentBuildNumber"="%(build)s"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\ProductOptions]
"ProductType"="%(product_type)s"
"""

# product type, build, the name the overview prints (with " x64": the prefix is 64-bit)
CASES = [
    ("WinNT", "19045", "Windows 10"),
    ("WinNT", "22000", "Windows 11"),
    ("ServerNT", "14300", "Windows 10"),  # below the first named 10.0 server build
    ("ServerNT", "14393", "Windows 2016"),
    ("ServerNT", "17763", "Windows 2019"),
    ("ServerNT", "20348", "Windows 2022"),
    ("ServerNT", "26100", "Windows 2025"),
    ("LanmanNT", "20348", "Windows 2022"),
]


class OsNames(PrivatePrefixCase):
    PREFIX_NAME = "osnames"

    @classmethod
    def prepare(cls):
        result = cls.wine("winecfg", "-v", "win10")
        assert result.returncode == 0, result.stderr

    @classmethod
    def wine(cls, *args):
        return subprocess.run(["wine"] + list(args), env=cls.env, capture_output=True, timeout=300)

    def overview(self, product_type, build):
        with tempfile.TemporaryDirectory(dir=self.root) as work:
            seed = os.path.join(work, "seed.reg")
            with open(seed, "w", newline="\r\n", encoding="utf-16") as f:
                f.write(SEED_REG % {"build": build, "product_type": product_type})
            result = self.wine("reg", "import", winebed.windows_path(seed), "/reg:64")
            self.assertEqual(result.returncode, 0, result.stderr)
            out = os.path.join(work, "overview.txt")
            result = self.wine(PROBE, "overview", winebed.windows_path(out))
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(out, encoding="utf-8") as f:
                return f.read().splitlines()

    def test_the_name_follows_the_build_and_the_product_type(self):
        for product_type, build, name in CASES:
            with self.subTest(product_type=product_type, build=build):
                lines = self.overview(product_type, build)
                self.assertEqual(lines[1], "OS Name:\t%s x64" % name)
                self.assertEqual(lines[2], "OS Version:\t6.2.9200")


if __name__ == "__main__":
    unittest.main()
