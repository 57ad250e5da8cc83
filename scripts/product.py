"""What the scripts know of the product: the texts of its window and message
boxes, the names of what it writes, and the seed of a machine with the
product installed (registry entries, folders) that tests and benchmarks plant
in a prefix. Each of them is written here once."""
import os

import winebed

# The window and its message boxes.
CAPTION = "Vantrel Helper V2"
BUTTON = "Save report to Desktop"
INFORMATION = "Information"
ERROR = "Error"
SAVE_FAILED = "The info file save failed"

# What a run writes.
ARCHIVE = "Vantrel_Debug_Info.zip"  # on the desktop
TEMP_ARCHIVE = "Vantrelt_Debug_Info.zip"  # its source in the temporary folder
WORK_FOLDER = "GetInfoDir"  # in the temporary folder while a run lasts
REPORT = "Vantrel_Debug_Info.txt"
SYSTEM_INFO = "SystemInfo.txt"
FILE_VERSION = "1.1.0.298"


def saved_message(target, on_desktop=True):
    """The success message's text for the archive at `target`."""
    if on_desktop:
        return "The info file: %s has been saved to your desktop.\r%s" % (ARCHIVE, target)
    return "The info file: %s has been saved to:\r%s" % (ARCHIVE, target)


def desktop_target():
    """The archive's Windows path on the desktop of the prefix's user."""
    return "C:\\users\\%s\\Desktop\\%s" % (winebed.user_name(), ARCHIVE)


# The installed product, as its 32-bit installers leave it.
UNINSTALL_KEY = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel_is1"
UPDATER_KEY = r"SOFTWARE\Vantrel\Vantrel Updater"
INSTALL_DIR = r"C:\Program Files (x86)\Vantrel"
UPDATER_DIR = r"C:\Program Files (x86)\Vantrel Updater"
UPDATER_EXE = UPDATER_DIR + r"\VNTUpdater.exe"
# The common files of programs of the tool's own bitness.
APPLE_DIR = r"C:\Program Files%s\Common Files\Apple\Apple Application Support" % (
    "" if winebed.SIXTY_FOUR_BIT_TOOL else " (x86)")


def roaming_dir():
    """The product's roaming data folder of the prefix's user."""
    return r"C:\users\%s\AppData\Roaming\Vantrel\VNT" % winebed.user_name()


# The registry view the tool reads: the 32-bit one, where the product's
# installers write, unless the test tree built the tool as a 64-bit program.
TOOL_BITS = 64 if winebed.SIXTY_FOUR_BIT_TOOL else 32
OTHER_BITS = 96 - TOOL_BITS
TOOL_VIEW = "/reg:%d" % TOOL_BITS


def machine_key(key, bits=None):
    """`key` below HKEY_LOCAL_MACHINE in the given view (by default the
    tool's), as a path that a `reg import` in the 64-bit view writes as it
    stands."""
    bits = bits or TOOL_BITS
    if bits == 64:
        return "HKEY_LOCAL_MACHINE\\" + key
    return "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\" + key.split("\\", 1)[1]


def installed_registry():
    """The uninstall entry and the registered updater (for
    winebed.import_registry)."""
    return {
        machine_key(UNINSTALL_KEY): {"InstallLocation": INSTALL_DIR},
        machine_key(UPDATER_KEY): {"AppPath": UPDATER_EXE},
    }


def collected_folders():
    """The folder of the archive -> the Windows folder its copies come from."""
    return {
        "AppPath": INSTALL_DIR,
        "Updater": UPDATER_DIR,
        "AppData": roaming_dir(),
        "iTunesDll": APPLE_DIR,
    }


# A small installed product: one file of each collected folder -> its member
# in the archive.
SMALL_PRODUCT = {
    INSTALL_DIR + r"\Vantrel.log": "AppPath/Vantrel.log",
    roaming_dir() + r"\core.ini": "AppData/core.ini",
    APPLE_DIR + r"\ASL.dll": "iTunesDll/ASL.dll",
}


def seed_small_product(prefix):
    """Installs SMALL_PRODUCT in `prefix`: the registry entries, and each
    file holding its member's name 50 times."""
    winebed.import_registry(prefix, installed_registry())
    for path, member in SMALL_PRODUCT.items():
        unix = winebed.unix_path(prefix, path)
        os.makedirs(os.path.dirname(unix), exist_ok=True)
        with open(unix, "wb") as f:
            f.write(member.encode("ascii") * 50)
