#include "report/process_format.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

struct NumberCase {
    std::uint64_t value;
    wchar_t separator;
    const wchar_t* expected;
};

TEST(RunTime, EachRangeAndItsBoundaries) {
    const std::uint64_t kDay = 86400000;
    const std::uint64_t kHour = 3600000;
    const NumberCase cases[] = {
        {0, L'.', L"0 ms"},
        {250, L'.', L"250 ms"},
        {999, L'.', L"999 ms"},
        {1000, L'.', L"1.00 s"},
        {1000, L',', L"1,00 s"},
        {7050, L'.', L"7.05 s"},
        {59999, L'.', L"59.99 s"},
        {60000, L'.', L"1:00 min"},
        {727000, L'.', L"12:07 min"},
        {3599999, L'.', L"59:59 min"},
        {3600000, L'.', L"1:00 h"},
        {3720000, L'.', L"1:02 h"},
        {90061000, L'.', L"25:01 h"},
        // long-running processes keep their whole days
        {31 * kDay + 2 * kHour, L'.', L"746:00 h"},
        {40 * kDay + 3 * kHour, L'.', L"963:00 h"},
        // beyond the 32-bit millisecond range (about 49.7 days)
        {0xFFFFFFFFull, L'.', L"1193:02 h"},
        {0x100000000ull, L'.', L"1193:02 h"},
        {60 * kDay + 30 * 60000ull, L'.', L"1440:30 h"},
        {400 * kDay, L'.', L"9600:00 h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(FormatRunTime(c.value, c.separator), c.expected);
    }
}

TEST(ByteSize, UnitsTruncateAndUseTheSeparator) {
    const std::uint64_t kMiB = 1ull << 20;
    const std::uint64_t kGiB = 1ull << 30;
    const NumberCase cases[] = {
        {0, L'.', L"0 Bytes"},
        {1023, L'.', L"1023 Bytes"},
        {1024, L'.', L"1.00 KB"},
        {1536, L'.', L"1.50 KB"},
        {1536, L',', L"1,50 KB"},
        {1034, L'.', L"1.00 KB"},  // 1.0097... truncated
        {kMiB - 1, L'.', L"1023.99 KB"},
        {kMiB, L'.', L"1.00 MB"},
        {kGiB - 1, L'.', L"1023.99 MB"},
        {kGiB, L'.', L"1.00 GB"},
        {119925637120ull, L'.', L"111.68 GB"},
        {13249974108ull, L'.', L"12.33 GB"},
        {1024 * kGiB * 5, L'.', L"5120.00 GB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(FormatByteSize(c.value, c.separator), c.expected);
    }
}

TEST(PriorityClass, NamesEmptyAndHexadecimal) {
    struct Case {
        std::int32_t value;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0, L""},
        {-1, L""},
        {0x20, L"normal"},
        {0x40, L"idle"},
        {0x80, L"high"},
        {0x100, L"realtime"},
        {0x4000, L"below normal"},
        {0x8000, L"above normal"},
        {0x10, L"$10"},
        {0x1abc, L"$1abc"},
        {-2, L"$fffffffe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(PriorityClassText(c.value), c.expected);
    }
}

TProcessEntry Process(std::uint32_t pid, const wchar_t* name, std::uint32_t session, std::int32_t gdi,
                      std::int32_t user, std::uint32_t handles, std::uint32_t threads, std::uint32_t ws,
                      std::uint32_t pf, std::int32_t priority, std::uint64_t run_ms, const wchar_t* folder) {
    TProcessEntry e;
    e.ProcessId = pid;
    e.Name = name;
    e.SessionId = session;
    e.GdiObjects = gdi;
    e.UserObjects = user;
    e.HandleCount = handles;
    e.ThreadCount = threads;
    e.WorkingSetMB = ws;
    e.PagefileMB = pf;
    e.PriorityClass = priority;
    e.RunTimeMs = run_ms;
    e.Folder = folder;
    return e;
}

TEST(ProcessCounters, FixedWidthsThatNeverCut) {
    struct Case {
        TProcessEntry entry;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {Process(0, L"Idle", 0, 0, 0, 0, 4, 0, 0, -1, 0, L""), L"0  , 4|  0M, 0M| ,0 ms"},
        {Process(8, L"a", 0, 0, 0, 1234, 5, 7, 3, 0x20, 250, L""), L"1234, 5|  7M, 3M| normal,250 ms"},
        {Process(8, L"a", 0, 0, 0, 12, 150, 1024, 99, 0x10, 3600000, L""), L"12 ,150| 1024M,99M| $10,1:00 h"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProcessCountersText(c.entry, L'.'), c.expected);
    }
}

TEST(ProcessLines, ColumnsPaddedToTheWidestEntryWithLinesJoinedByCrLf) {
    std::vector<TProcessEntry> entries = {
        Process(0, L"Idle", 0, 0, 0, 0, 4, 0, 0, -1, 0, L""),
        Process(4, L"System", 0, 0, 0, 900, 120, 0, 0, -1, 0, L""),
        Process(0x1a4c, L"explorer.exe", 1, 512, 300, 1200, 35, 60, 40, 0x20, 3720000, L"C:\\Windows"),
    };
    std::wstring expected =
        L"0000 Idle         0 0   0   0  , 4|  0M, 0M| ,0 ms          \r\n"
        L"0004 System       0 0   0   900,120|  0M, 0M| ,0 ms         \r\n"
        L"1a4c explorer.exe 1 512 300 1200,35| 60M,40M| normal,1:02 h C:\\Windows";
    std::wstring text = FormatProcessLines(entries, L'.');
    EXPECT_EQ(text, expected) << Printable(text);
}

TEST(ProcessLines, NoSessionColumnWhenEverySessionIsZero) {
    std::vector<TProcessEntry> entries = {
        Process(4, L"System", 0, 0, 0, 900, 120, 0, 0, -1, 0, L""),
        Process(0x2c, L"svc.exe", 0, 3, 12, 50, 3, 2, 1, 0x20, 500, L"C:\\W"),
    };
    std::wstring expected =
        L"04 System  0 0  900,120|  0M, 0M| ,0 ms        \r\n"
        L"2c svc.exe 3 12 50 , 3|  2M, 1M| normal,500 ms C:\\W";
    std::wstring text = FormatProcessLines(entries, L'.');
    EXPECT_EQ(text, expected) << Printable(text);
}

TEST(ProcessLines, SessionWidthComesFromNonZeroSessionsOnly) {
    std::vector<TProcessEntry> entries = {
        Process(0x10, L"a", 0, 0, 0, 1, 1, 0, 0, -1, 0, L""),
        Process(0x11, L"b", 12, 0, 0, 1, 1, 0, 0, -1, 0, L""),
    };
    std::wstring expected =
        L"10 a 0  0 0 1  , 1|  0M, 0M| ,0 ms \r\n"
        L"11 b 12 0 0 1  , 1|  0M, 0M| ,0 ms ";
    std::wstring text = FormatProcessLines(entries, L'.');
    EXPECT_EQ(text, expected) << Printable(text);
}

TEST(ProcessText, SummaryLinesFollowEvenAnEmptyList) {
    EXPECT_EQ(ComposeProcessText(FormatProcessLines({}, L'.'), L"m", L"a", L"h"),
              L"\r\n\r\nVirtual memory:m\r\nGlobalAtomInfo:a\r\nDesktopHeap:h\r\n");
    EXPECT_EQ(ComposeProcessText(L"0 Idle", L"error", L"error", L""),
              L"0 Idle\r\n\r\nVirtual memory:error\r\nGlobalAtomInfo:error\r\nDesktopHeap:\r\n");
}

TEST(MemoryText, RoundsToTheNearestMiB) {
    EXPECT_EQ(RoundToMiB(0), 0u);
    EXPECT_EQ(RoundToMiB(524287), 0u);
    EXPECT_EQ(RoundToMiB(524288), 1u);
    EXPECT_EQ(RoundToMiB(1572863), 1u);
    EXPECT_EQ(RoundToMiB(1572864), 2u);

    TMemoryFigures f;
    f.AvailVirtual = 1830ull << 20;
    f.TotalVirtual = (2048ull << 20) - (128 << 10);  // 2047.875 MiB
    f.AvailPageFile = 5120ull << 20;
    f.TotalPageFile = 8190ull << 20;
    f.DiskFree = 13249974108ull;
    f.DiskTotal = 119925637120ull;
    EXPECT_EQ(FormatMemoryText(f, L'.'),
              L"1830/2048 MB(free/total), PageSize:5120/8190 MB(free/total), SysDrv:12.33 GB/111.68 GB");
    EXPECT_EQ(FormatMemoryText(TMemoryFigures{}, L','),
              L"0/0 MB(free/total), PageSize:0/0 MB(free/total), SysDrv:0 Bytes/0 Bytes");
}

TEST(AtomCensus, CountsBothTablesAndGroupsBySixCharacterKey) {
    TAtomCensus census;
    census.AddRegisteredName(L"WM_HTML_GETOBJECT");
    census.AddRegisteredName(L"ControlOfs00400000");
    census.AddGlobalAtom(L"ControlOfs01B20000");
    census.AddRegisteredName(L"WM_HTML_other");
    census.AddGlobalAtom(L"ControlOfs02000000");
    census.AddGlobalAtom(L"controlofs");  // letter case counts: a group of its own
    census.AddGlobalAtom(L"Short");
    EXPECT_EQ(census.Text(), L"Atom:4, RWM:3, Max(3):ControlOfs00400000, Max(2):WM_HTML_GETOBJECT");
}

TEST(AtomCensus, TiesGoToTheGroupCreatedFirst) {
    struct Case {
        std::vector<const wchar_t*> registered;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {{}, L"Atom:0, RWM:0"},
        {{L"Alone"}, L"Atom:0, RWM:1, Max(1):Alone"},
        {{L"ControlOfs00400000", L"ControlOfs01B20000"}, L"Atom:0, RWM:2, Max(2):ControlOfs00400000"},
        {{L"b", L"a", L"c"}, L"Atom:0, RWM:3, Max(1):b, Max(1):a"},
        {{L"x1", L"y1", L"y1", L"x1", L"z1"}, L"Atom:0, RWM:5, Max(2):x1, Max(2):y1"},
        {{L"abcdefX", L"abcdefY", L"abcdeZ", L"abcdeZ"}, L"Atom:0, RWM:4, Max(2):abcdefX, Max(2):abcdeZ"},
    };
    for (const auto& c : cases) {
        TAtomCensus census;
        for (const wchar_t* name : c.registered) census.AddRegisteredName(name);
        EXPECT_EQ(census.Text(), c.expected);
    }
}

TEST(ImagePath, NativeFormsBecomeWin32Paths) {
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\??\\C:\\Windows\\system32\\csrss.exe", L"C:\\Windows\\system32\\csrss.exe"},
        {L"\\SystemRoot\\System32\\smss.exe", L"C:\\WINDOWS\\system32\\smss.exe"},
        {L"\\systemroot\\SYSTEM32\\drivers\\x.sys", L"C:\\WINDOWS\\system32\\drivers\\x.sys"},
        {L"\\??\\", L""},
        {L"\\\\?\\C:\\a.exe", L"\\\\?\\C:\\a.exe"},
        {L"\\SystemRoot\\System32", L"\\SystemRoot\\System32"},
        {L"C:\\Tools\\a.exe", L"C:\\Tools\\a.exe"},
        {L"explorer.exe", L"explorer.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.path));
        EXPECT_EQ(RewriteNativeImagePath(c.path, L"C:\\WINDOWS\\system32"), c.expected);
    }
}

TEST(ImagePath, DevicePathsMapThroughTheDriveList) {
    const std::vector<TDosDevice> devices = {
        {L"A:", L""},
        {L"C:", L"\\Device\\HarddiskVolume1"},
        {L"D:", L"\\Device\\HarddiskVolume10"},
        {L"E:", L"\\Device\\CdRom0"},
    };
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\Device\\HarddiskVolume1\\Windows\\explorer.exe", L"C:\\Windows\\explorer.exe"},
        {L"\\Device\\HarddiskVolume10\\Tools\\a.exe", L"D:\\Tools\\a.exe"},
        {L"\\device\\cdrom0\\setup.exe", L"E:\\setup.exe"},
        {L"\\Device\\HarddiskVolume2\\a.exe", L""},
        {L"\\Device\\HarddiskVolume1", L"C:"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.path));
        EXPECT_EQ(DevicePathToDrivePath(c.path, devices), c.expected);
    }
}

TEST(ModuleVersion, FixedPartThenStringTableThenNothing) {
    struct Case {
        TModuleVersionFacts facts;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {{true, 0x00060001, 0x1DB14452, true, L"ignored"}, L"6.1.7601.17490"},
        {{true, 0, 1, false, L""}, L"0.0.0.1"},
        {{true, 0, 0, true, L"\t 1, 0, 0, 5 \r\n"}, L"1, 0, 0, 5"},
        {{false, 0, 0, true, L"2.5"}, L"2.5"},
        {{false, 0, 0, true, L""}, L""},
        {{true, 0, 0, false, L"2.5"}, L""},
        {{false, 0, 0, false, L""}, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ModuleVersionText(c.facts), c.expected);
    }
    EXPECT_EQ(ModuleFileVersionKey(0x0409, 0x04E4), L"\\StringFileInfo\\040904e4\\FileVersion");
    EXPECT_EQ(ModuleFileVersionKey(0x0407, 0x04B0), L"\\StringFileInfo\\040704b0\\FileVersion");
}

TEST(ModuleDetails, ChecksumOnlyOutsideTheWindowsFolder) {
    EXPECT_EQ(ModuleDetails(L"1.0.0.5", true, 0x1a2b3c4d), L"1.0.0.5,$1a2b3c4d");
    EXPECT_EQ(ModuleDetails(L"", true, 0xABC), L",$00000abc");
    EXPECT_EQ(ModuleDetails(L"1.0.0.5", false, 0x1a2b3c4d), L"1.0.0.5");
    EXPECT_TRUE(IsOutsideWindowsFolder(L"C:\\Tools\\tool.exe", L"C:\\Windows"));
    EXPECT_FALSE(IsOutsideWindowsFolder(L"c:\\windows\\system32\\ntdll.dll", L"C:\\Windows"));
    EXPECT_FALSE(IsOutsideWindowsFolder(L"C:\\Windows", L"C:\\Windows"));
    EXPECT_TRUE(IsOutsideWindowsFolder(L"C:\\Win\\a.dll", L"C:\\Windows"));
}

TEST(ModuleLines, ColumnsPaddedToTheWidestEntryAndEmptyFieldsKept) {
    TModuleEntry tool{0x400000, L"tool.exe", L"C:\\Tools", L"1.0.0.5,$1a2b3c4d"};
    TModuleEntry ntdll{0x7c900000, L"ntdll.dll", L"C:\\WINDOWS\\system32", L"5.1.2600.5512"};
    std::wstring text = FormatModuleLines({tool, ntdll});
    EXPECT_EQ(text,
              L"00400000 tool.exe  1.0.0.5,$1a2b3c4d C:\\Tools\r\n"
              L"7c900000 ntdll.dll 5.1.2600.5512     C:\\WINDOWS\\system32")
        << Printable(text);
    EXPECT_EQ(FormatModuleLines({}), L"");
    TModuleEntry bare{0x10000000, L"x.dll", L"", L""};
    EXPECT_EQ(FormatModuleLines({bare}), L"10000000 x.dll  ");
}

}  // namespace
}  // namespace vantrel
