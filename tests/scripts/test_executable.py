"""The product executable as Windows loads it: imports, PE header, resources,
debug information kept apart.

Read with independent tools (objdump, 7z), not with the product's own code."""
import binascii
import os
import re
import struct
import subprocess
import tempfile
import unittest

EXE = os.environ["VANTREL_EXE"]

# Functions that older Windows versions lack; the tool looks them up at run time.
RUN_TIME_ONLY = [
    "IsWow64Process", "Wow64DisableWow64FsRedirection", "Wow64RevertWow64FsRedirection", "RtlGetVersion",
    "NtQuerySystemInformation", "QueryFullProcessImageNameW", "GetProcessImageFileNameW",
    "GetModuleFileNameExW", "GetProcessMemoryInfo", "GetGuiResources", "GlobalMemoryStatusEx",
    "WTSGetActiveConsoleSessionId", "GetNativeSystemInfo", "GetTickCount64", "GetProcessId",
]
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
               "oleaut32.dll", "shell32.dll", "user32.dll", "version.dll", "wtsapi32.dll"}


def objdump():
    return subprocess.run(["i686-w64-mingw32-objdump", "-p", EXE], capture_output=True, text=True,
                          check=True).stdout


class Imports(unittest.TestCase):
    def test_no_function_that_is_looked_up_at_run_time_is_imported(self):
        imported = set(re.findall(r"^\s+[0-9a-f]+\s+[0-9a-f]+\s+(\w+)$", objdump(), re.M))
        self.assertIn("CreateFileW", imported)  # the listing was read at all
        self.assertEqual(sorted(imported & set(RUN_TIME_ONLY)), [])

    def test_only_system_dlls(self):
        dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", objdump())}
        self.assertTrue(dlls)
        self.assertLessEqual(dlls, SYSTEM_DLLS)
        self.assertNotIn("psapi.dll", dlls)  # loaded at run time


class Header(unittest.TestCase):
    def test_32_bit_gui_for_windows_2000(self):
        text = objdump()
        self.assertIn("file format pei-i386", subprocess.run(["i686-w64-mingw32-objdump", "-f", EXE],
                                                            capture_output=True, text=True).stdout)
        self.assertRegex(text, r"Subsystem\s+00000002\s+\(Windows GUI\)")
        self.assertRegex(text, r"MajorSubsystemVersion\s+5\n")
        self.assertRegex(text, r"MinorSubsystemVersion\s+0\n")


def section_names(path):
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-h", path], capture_output=True, text=True,
                             check=True).stdout
    return re.findall(r"^\s*\d+\s+(\S+)\s+[0-9a-f]{8}\s", listing, re.M)


def symbols(path):
    return subprocess.run(["i686-w64-mingw32-nm", path], capture_output=True, text=True).stdout


class DebugInformation(unittest.TestCase):
    """The shipped file has no debug sections; its debug link names the file
    beside it that holds the symbols, with that file's CRC-32."""

    def test_shipped_without_debug_sections_and_linked_to_its_symbols(self):
        shipped = section_names(EXE)
        self.assertIn(".text", shipped)  # the listing was read at all
        self.assertEqual([s for s in shipped if s.startswith(".debug")], [])
        self.assertIn(".gnu_debuglink", shipped)
        with tempfile.TemporaryDirectory() as scratch:
            link = os.path.join(scratch, "link")
            subprocess.run(["i686-w64-mingw32-objcopy", "--dump-section", ".gnu_debuglink=" + link, EXE,
                            os.path.join(scratch, "copy.exe")], check=True)
            with open(link, "rb") as f:
                data = f.read()
        name = data[:data.index(b"\0")].decode()
        self.assertEqual(name, os.path.basename(EXE) + ".debug")
        symbols_file = os.path.join(os.path.dirname(EXE), name)
        with open(symbols_file, "rb") as f:
            self.assertEqual(struct.unpack("<I", data[-4:])[0], binascii.crc32(f.read()))
        # The same listing finds the debug sections where they are.
        self.assertIn(".debug_info", section_names(symbols_file))
        function = r"\sT __ZN7vantrel9ZipFolder"
        self.assertRegex(symbols(symbols_file), function)
        self.assertNotRegex(symbols(EXE), function)


class Resources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        subprocess.run(["7z", "x", "-y", "-o" + cls.dir, EXE, ".rsrc/*"], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(cls.dir, ".rsrc", "MANIFEST", "1"), encoding="utf-8") as f:
            cls.manifest = f.read()
        with open(os.path.join(cls.dir, ".rsrc", "version.txt"), "rb") as f:
            cls.version = f.read().decode("utf-16-le")

    def test_manifest(self):
        m = self.manifest
        self.assertRegex(m, r'<assemblyIdentity[^>]*name="Zumbrel"[^>]*version="1\.0\.0\.0"')
        self.assertRegex(m, r'name="Microsoft\.Windows\.Common-Controls"[^>]*version="6\.0\.0\.0"')
        self.assertRegex(m, r'<requestedExecutionLevel\s+level="requireAdministrator"\s+uiAccess="false"')
        self.assertNotIn("supportedOS", m)
        self.assertNotIn("compatibility", m)

    def test_version_resource(self):
        v = " ".join(self.version.split())
        self.assertIn("FILEVERSION 1,1,0,298 PRODUCTVERSION 1,0,0,0", v)
        self.assertIn('BLOCK "040904E4"', v)
        self.assertIn('VALUE "FileVersion", "1.1.0.298"', v)
        self.assertIn('VALUE "ProductVersion", "1.0.0.0"', v)
        self.assertIn('VALUE "Translation", 0x409, 1252', v)


if __name__ == "__main__":
    unittest.main()
