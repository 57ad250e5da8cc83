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
SOURCE = os.environ["VANTREL_SOURCE"]
TABLE = os.path.join(SOURCE, "src", "platform", "base", "optional_api_win.h")

# DLLs the executable may import: Windows maps each from the system folder
# whatever lies beside the program (known DLLs on Windows 2000 to 11), and the
# common controls, which the manifest binds side by side.
KNOWN_DLLS = {"advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
              "oleaut32.dll", "shell32.dll", "user32.dll"}
SIDE_BY_SIDE = {"comctl32.dll"}
# Loaded at run time by full path, never imported.
RUN_TIME_DLLS = {"psapi.dll", "version.dll", "wtsapi32.dll"}
# Newer than Windows 2000 and never needed: the runtime of the other thread
# model would pull it in.
NEVER_IMPORTED = {"GetTickCount64"}


def optional_table():
    """The rows of the optional-function table: (module, function name)."""
    with open(TABLE, encoding="utf-8") as f:
        text = f.read()
    body = text[text.index("#define VANTREL_OPTIONAL_FUNCTIONS(X)"):]
    body = body[:body.index("\n\n")]
    return re.findall(r"\bX\((\w+), (\w+),", body)


def imports(path):
    """{dll name in lower case: set of imported function names} of a PE file."""
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-p", path], capture_output=True, text=True,
                             check=True).stdout
    table = {}
    current = None
    for line in listing.splitlines():
        dll = re.match(r"\s*DLL Name: (\S+)", line)
        if dll:
            current = table.setdefault(dll.group(1).lower(), set())
            continue
        entry = re.match(r"^\s+[0-9a-f]+\s+[0-9a-f]+\s+(\w+)$", line)
        if entry and current is not None:
            current.add(entry.group(1))
    return table


def import_faults(table, rows):
    """What is wrong with an import table: functions of the optional table
    imported, DLLs outside the known set, run-time DLLs imported."""
    optional = {name for _, name in rows} | NEVER_IMPORTED
    faults = []
    for dll, functions in sorted(table.items()):
        for name in sorted(functions & optional):
            faults.append("%s imports %s" % (dll, name))
        if dll in RUN_TIME_DLLS:
            faults.append("%s is imported" % dll)
        elif dll not in KNOWN_DLLS | SIDE_BY_SIDE:
            faults.append("%s is not a known system DLL" % dll)
    return faults


def objdump():
    return subprocess.run(["i686-w64-mingw32-objdump", "-p", EXE], capture_output=True, text=True,
                          check=True).stdout


class Imports(unittest.TestCase):
    def test_table_is_read(self):
        rows = optional_table()
        names = {name for _, name in rows}
        # A few rows each kind of caller relies on: the parse found the table.
        for name in ("IsWow64Process", "RtlGetVersion", "GetProcessMemoryInfo", "VerQueryValueW",
                     "WTSQuerySessionInformationW", "SetDefaultDllDirectories"):
            self.assertIn(name, names)
        self.assertEqual({module for module, _ in rows}, {"Kernel32", "Ntdll", "User32", "Psapi", "Version",
                                                          "Wtsapi32", "Advapi32"})

    def test_only_known_system_dlls_and_nothing_from_the_table(self):
        table = imports(EXE)
        self.assertIn("CreateFileW", table.get("kernel32.dll", set()))  # the listing was read at all
        self.assertEqual(import_faults(table, optional_table()), [])
        self.assertFalse(RUN_TIME_DLLS & set(table))

    def test_the_check_finds_a_naive_import(self):
        # A program that imports the version resource functions and a
        # function of the table directly is caught.
        naive = {"kernel32.dll": {"CreateFileW", "IsWow64Process"}, "version.dll": {"GetFileVersionInfoW"},
                 "msimg32.dll": {"AlphaBlend"}}
        self.assertEqual(import_faults(naive, optional_table()),
                         ["kernel32.dll imports IsWow64Process", "msimg32.dll is not a known system DLL",
                          "version.dll imports GetFileVersionInfoW", "version.dll is imported"])


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
