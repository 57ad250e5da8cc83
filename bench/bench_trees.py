"""The build trees a benchmark runs against, chosen as scripts/run.sh and
scripts/test.sh choose: the 32-bit trees (win, wintest) where Wine can start
32-bit programs, otherwise the same sources built as 64-bit programs (win64,
wintest64) under wine64. Import this before winebed: the 64-bit choice sets
VANTREL_WINE_BIN, which winebed reads when it is imported."""
import os
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("VANTREL_BUILD_DIR", os.path.join(ROOT, "build"))


def _runs_32_bit_natively():
    script = os.path.join(ROOT, "scripts", "wine32.sh")
    return subprocess.run(["bash", "-c", 'source "$1" && runs_32_bit_natively', "bash", script],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


if "VANTREL_WINE_BIN" not in os.environ and not _runs_32_bit_natively():
    os.environ["VANTREL_WINE_BIN"] = os.path.join(BUILD, "wintest64", "wine", "bin")
SIXTY_FOUR_BIT = bool(os.environ.get("VANTREL_WINE_BIN"))
BITS = "64" if SIXTY_FOUR_BIT else ""
WIN = os.path.join(BUILD, "win" + BITS)
WINTEST = os.path.join(BUILD, "wintest" + BITS)
EXE = os.path.join(WIN, "VantrelInfoHelpV2.exe")
FIXTURES = os.path.join(WINTEST, "tests", "fixtures")
TEMPLATE = os.path.join(WINTEST, "wine", "template")
BENCH = os.path.join(BUILD, "bench")


def describe():
    """One line naming the trees, for the benchmark's output."""
    if SIXTY_FOUR_BIT:
        return "trees win64/wintest64: the tool built as a 64-bit program under wine64 (no 32-bit Wine here)"
    return "trees win/wintest: the 32-bit tool"
