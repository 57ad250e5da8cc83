#!/usr/bin/env python3
"""DLLs planted beside the executable are not loaded.

The tool usually runs elevated from the user's Downloads folder, where the
user can put files. Stand-ins for version.dll, wtsapi32.dll and psapi.dll
(the plantdll fixture: each leaves "<name>.loaded" beside itself when it is
loaded) lie beside the product, and Wine is told to prefer a DLL from the
program's folder as Windows' search order would. A whole run (button, report,
archive) must load none of them. The naive loader in the same folder, which
loads the three by bare name, must load all of them: the plant works, so the
check can fail."""
import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import product
import tooldriver
import winebed
import xdisplay

FIXTURES = os.environ["VANTREL_FIXTURE_DIR"]
GUIPROBE = os.path.join(FIXTURES, "guiprobe", "guiprobe.exe")
PLANT = os.path.join(FIXTURES, "plantdll")
DLLS = ("version.dll", "wtsapi32.dll", "psapi.dll")
NATIVE_FIRST = {"WINEDLLOVERRIDES": "mscoree,mshtml=;version,wtsapi32,psapi=n,b"}
# Wine's own user32 imports version.dll (Windows' does not), so a planted
# version.dll preferred for the whole process would be loaded by Wine before
# the tool's first instruction. The whole run prefers only the other two; the
# tool loads version.dll by full path the same way as them (the optional-
# function table, which the executable's import test reads).
WHOLE_RUN_NATIVE_FIRST = {"WINEDLLOVERRIDES": "mscoree,mshtml=;wtsapi32,psapi=n,b"}


class PlantedDlls(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        scratch = os.path.join(os.environ["VANTREL_BUILD"], "scripttests")
        os.makedirs(scratch, exist_ok=True)
        cls.root = tempfile.mkdtemp(prefix="dll-planting-", dir=scratch)
        cls.prefix = winebed.fresh(os.environ["VANTREL_WINE_TEMPLATE"], os.path.join(cls.root, "prefix"))
        cls.folder = winebed.unix_path(cls.prefix, "C:\\users\\%s\\Downloads\\" % winebed.user_name())
        os.makedirs(cls.folder, exist_ok=True)
        for name in DLLS + ("naiveloader.exe",):
            shutil.copyfile(os.path.join(PLANT, name), os.path.join(cls.folder, name))
        cls.exe = os.path.join(cls.folder, "VantrelInfoHelpV2.exe")
        shutil.copyfile(os.environ["VANTREL_EXE"], cls.exe)

    @classmethod
    def tearDownClass(cls):
        winebed.stop(cls.prefix)
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        for name in DLLS:
            marker = os.path.join(self.folder, name + ".loaded")
            if os.path.exists(marker):
                os.unlink(marker)

    def loaded(self):
        return sorted(name for name in DLLS if os.path.exists(os.path.join(self.folder, name + ".loaded")))

    def test_a_naive_program_in_the_same_folder_loads_them(self):
        env = winebed.wine_env(self.prefix, extra=NATIVE_FIRST)
        with tempfile.TemporaryFile() as out:
            subprocess.run(["wine", os.path.join(self.folder, "naiveloader.exe")], env=env, stdout=out,
                           stderr=subprocess.DEVNULL, timeout=300, check=True)
            out.seek(0)
            lines = out.read().decode("utf-8", "replace").split()
        self.assertEqual(self.loaded(), sorted(DLLS), lines)

    def test_a_whole_run_loads_none_of_them(self):
        with xdisplay.Display() as display, \
                tooldriver.ToolRun(self.exe, self.prefix, display, GUIPROBE, extra_env=WHOLE_RUN_NATIVE_FIRST) as tool:
            tool.start()
            tool.press_button()
            box = tool.message_box(300)
            code = tool.wait(60)
        self.assertEqual(box.get("caption"), product.INFORMATION, box)
        self.assertEqual(code, 0)
        self.assertEqual(self.loaded(), [])
        # The run got what it needs of the system's own DLLs: the version
        # resource (version.dll) in the header.
        desktop = os.path.join(winebed.desktop_dir(self.prefix), product.ARCHIVE)
        with zipfile.ZipFile(desktop) as z:
            report = z.read("Vantrel_Debug_Info.txt")[2:].decode("utf-16-le")
        self.assertEqual(report.split("\r\n")[0], "Version:1.1.0.298")


if __name__ == "__main__":
    unittest.main()
