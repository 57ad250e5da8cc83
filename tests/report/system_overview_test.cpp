#include "report/system_overview.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

TEST(OsKind, NtTable) {
    struct Case {
        std::uint32_t major, minor, build;
        bool workstation;
        const wchar_t* name;
    };
    const Case cases[] = {
        {0, 0, 0, true, L"Windows NT 3"},
        {3, 51, 1057, false, L"Windows NT 3"},
        {4, 0, 1381, true, L"Windows NT 4"},
        {4, 90, 0, false, L"Windows NT 4"},
        {5, 0, 2195, false, L"Windows 2000"},
        {5, 1, 2600, false, L"Windows XP"},
        {5, 2, 3790, true, L"Windows XP"},
        {5, 2, 3790, false, L"Windows 2003"},
        {5, 7, 0, false, L"Windows 2003"},
        {6, 0, 6002, true, L"Windows Vista"},
        {6, 0, 6002, false, L"Windows 2008"},
        {6, 1, 7601, true, L"Windows 7"},
        {6, 1, 7601, false, L"Windows 2008 R2"},
        {6, 2, 9200, true, L"Windows 8"},
        {6, 2, 9200, false, L"Windows 2012"},
        {6, 3, 9600, true, L"Windows 8.1"},
        {6, 3, 26100, false, L"Windows 2012 R2"},
        {6, 4, 9841, true, L"Windows NT New"},
        {7, 0, 0, true, L"Windows NT New"},
        {9, 9, 0, false, L"Windows NT New"},
        {11, 0, 22000, true, L"Windows NT New"},
        {11, 0, 26100, false, L"Windows NT New"},
        // 10.0 workstations: Windows 11 from build 22000
        {10, 0, 0, true, L"Windows 10"},
        {10, 0, 10240, true, L"Windows 10"},
        {10, 0, 19045, true, L"Windows 10"},
        {10, 0, 21999, true, L"Windows 10"},
        {10, 0, 22000, true, L"Windows 11"},
        {10, 0, 26100, true, L"Windows 11"},
        // 10.0 servers by build; below the first named server build they
        // stay "Windows 10", as every 10.0 system was named before
        {10, 0, 0, false, L"Windows 10"},
        {10, 0, 14300, false, L"Windows 10"},
        {10, 0, 14392, false, L"Windows 10"},
        {10, 0, 14393, false, L"Windows 2016"},
        {10, 0, 17762, false, L"Windows 2016"},
        {10, 0, 17763, false, L"Windows 2019"},
        {10, 0, 20347, false, L"Windows 2019"},
        {10, 0, 20348, false, L"Windows 2022"},
        {10, 0, 26099, false, L"Windows 2022"},
        {10, 0, 26100, false, L"Windows 2025"},
        {10, 0, 30000, false, L"Windows 2025"},
        // other minor versions of 10 keep their row
        {10, 1, 26100, false, L"Windows 10"},
        {10, 3, 22631, true, L"Windows 10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + "." + std::to_string(c.build) +
                     (c.workstation ? " ws" : " srv"));
        EXPECT_EQ(OsKindName(NtKindOf(c.major, c.minor, c.build, c.workstation)), c.name);
    }
}

TEST(OsKind, IndexesOfTheNameTable) {
    struct Case {
        std::uint8_t kind;
        const wchar_t* name;
    };
    const Case cases[] = {
        {kOsNone, L"None"},
        {kOsWin9xNew, L"Windows 9x New"},
        {kOsWin2012R2, L"Windows 2012 R2"},
        {20, L"Windows 10"},
        {21, L"Windows NT New"},
        {22, L"Windows 11"},
        {23, L"Windows 2016"},
        {24, L"Windows 2019"},
        {25, L"Windows 2022"},
        {26, L"Windows 2025"},
        {27, L"None"},
        {255, L"None"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        EXPECT_EQ(OsKindName(c.kind), c.name);
    }
}

TEST(OsKind, Win9xTable) {
    struct Case {
        std::uint32_t major, minor, build;
        const wchar_t* name;
    };
    const Case cases[] = {
        {3, 95, 5000, L"None"},
        {4, 0, 950, L"Windows 95"},
        {4, 0, 1000, L"Windows 95"},
        {4, 0, 1001, L"Windows 95 OSR-2"},
        {4, 3, 1212, L"Windows 95 OSR-2"},
        {4, 10, 1998, L"Windows 98"},
        {4, 10, 2000, L"Windows 98"},
        {4, 10, 2001, L"Windows 98 SE"},
        {4, 10, 2222, L"Windows 98 SE"},
        {4, 10, 2700, L"Windows 98 SE"},
        {4, 10, 2701, L"Windows ME"},
        {4, 11, 0, L"Windows ME"},
        {4, 90, 3000, L"Windows ME"},
        {4, 91, 0, L"Windows 9x New"},
        {5, 0, 0, L"Windows 9x New"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + "." + std::to_string(c.build));
        EXPECT_EQ(OsKindName(Win9xKindOf(c.major, c.minor, c.build)), c.name);
    }
}

TOsVersionData Nt(std::uint32_t major, std::uint32_t minor, std::uint32_t build, const wchar_t* csd,
                  std::uint8_t product_type = 1, std::uint32_t struct_size = 284, std::uint16_t sp_major = 0) {
    TOsVersionData d;
    d.StructSize = struct_size;
    d.MajorVersion = major;
    d.MinorVersion = minor;
    d.BuildNumber = build;
    d.PlatformId = 2;
    d.CsdVersion = csd;
    d.ProductType = product_type;
    d.ServicePackMajor = sp_major;
    return d;
}

TEST(OsRecord, DescriptionSuffixesInOrder) {
    struct Case {
        TOsVersionData data;
        bool x64;
        TOsEditionFlags flags;
        const wchar_t* description;
    };
    const Case cases[] = {
        {Nt(6, 1, 7601, L"Service Pack 1"), true, {}, L"Windows 7 x64 Service Pack 1"},
        {Nt(10, 0, 19045, L""), true, {}, L"Windows 10 x64"},
        {Nt(10, 0, 19045, L""), false, {}, L"Windows 10"},
        {Nt(10, 0, 22631, L""), true, {}, L"Windows 11 x64"},
        {Nt(10, 0, 20348, L"", 3), true, {}, L"Windows 2022 x64"},
        {Nt(10, 0, 17763, L"", 2), false, {}, L"Windows 2019"},  // a domain controller is a server
        {Nt(5, 2, 3790, L"Service Pack 2", 3), false, {true, false, false, false}, L"Windows 2003 R2 Service Pack 2"},
        {Nt(5, 1, 2600, L"Service Pack 3"),
         false,
         {false, true, true, true},
         L"Windows XP Tablet PC Starter Media Center Service Pack 3"},
        // Media Center only before Vista
        {Nt(6, 0, 6002, L""), true, {false, false, false, true}, L"Windows Vista x64"},
        {Nt(6, 1, 7600, L""), false, {true, true, true, true}, L"Windows 7 R2 Tablet PC Starter"},
    };
    for (const auto& c : cases) {
        TOS os = MakeOsRecord(c.data, c.x64, c.flags);
        EXPECT_EQ(os.Description, c.description) << Printable(c.description);
        EXPECT_TRUE(os.IsWinNT);
        EXPECT_EQ(os.NTKind, os.OSKind);
        EXPECT_EQ(os.Win9xKind, 0);
        EXPECT_EQ(os.IsX64, c.x64);
    }
}

TEST(OsRecord, Win9xHasNoSuffixesAndA16BitBuild) {
    TOsVersionData d;
    d.StructSize = 148;
    d.PlatformId = 1;
    d.MajorVersion = 4;
    d.MinorVersion = 10;
    d.BuildNumber = 0x040A08AE;  // 2222
    d.CsdVersion = L" A ";
    TOS os = MakeOsRecord(d, true, {true, true, true, true});
    EXPECT_EQ(os.Description, L"Windows 98 SE");
    EXPECT_EQ(os.BuildNumber, 2222u);
    EXPECT_TRUE(os.IsWin9x);
    EXPECT_FALSE(os.IsWinNT);
    EXPECT_EQ(os.Win9xKind, os.OSKind);
    EXPECT_EQ(os.NTKind, 0);
    EXPECT_FALSE(os.IsX64);
    EXPECT_EQ(os.ServicePack, 0u);
    EXPECT_EQ(os.ServicePackText, L" A ");
}

TEST(OsRecord, NeitherFamilyIsNone) {
    TOsVersionData d;
    d.PlatformId = 3;
    d.MajorVersion = 10;
    EXPECT_EQ(MakeOsRecord(d, true, {}).Description, L"None");
}

TEST(OsRecord, ServicePackNumberFromStructureOrText) {
    struct Case {
        TOsVersionData data;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {Nt(5, 1, 2600, L"Service Pack 3", 1, 284, 3), 3},
        {Nt(5, 1, 2600, L"Service Pack 2", 1, 284, 0), 0},  // the structure wins
        {Nt(5, 0, 2195, L"Service Pack 4", 1, 276), 4},
        {Nt(5, 0, 2195, L"Service Pack 12, v.1", 1, 276), 12},
        {Nt(5, 0, 2195, L"Service Pack ", 1, 276), 0},
        {Nt(5, 0, 2195, L"Service Pack x", 1, 276), 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MakeOsRecord(c.data, false, {}).ServicePack, c.expected) << Printable(c.data.CsdVersion);
    }
}

TEST(OsRecord, CacheComputesOnceWhileTheDescriptionIsSet) {
    TOsCache cache;
    int calls = 0;
    auto empty = [&] {
        ++calls;
        return TOS{};
    };
    cache.Get(empty);
    cache.Get(empty);
    EXPECT_EQ(calls, 2);  // an empty description is asked for again
    auto win7 = [&] {
        ++calls;
        return MakeOsRecord(Nt(6, 1, 7601, L""), false, {});
    };
    EXPECT_EQ(cache.Get(win7).Description, L"Windows 7");
    EXPECT_EQ(cache.Get(win7).Description, L"Windows 7");
    EXPECT_EQ(calls, 3);
}

TEST(Disk, GigabytesFromWholeMebibytes) {
    struct Case {
        std::uint64_t bytes;
        wchar_t separator;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {500105216000ull, L'.', L"465.76 GB"},
        {500105216000ull, L',', L"465,76 GB"},
        {1073741824ull, L'.', L"1.00 GB"},
        {1048575ull, L'.', L"0.00 GB"},
        {0, L'.', L"0.00 GB"},
        {1073741824ull - 1, L'.', L"1.00 GB"},  // 1023 MiB rounds to two decimals
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(DiskGigabytesText(c.bytes, c.separator), c.expected);
    }
}

TOverviewFacts SampleFacts() {
    TOverviewFacts f;
    f.OsDescription = L"Windows 7 x64 Service Pack 1";
    f.VersionMajor = 6;
    f.VersionMinor = 1;
    f.VersionBuild = 7601;
    f.ServicePackText = L"Service Pack 1";
    f.Language = L"English";
    f.HasComputerName = true;
    f.ComputerName = L"DESK-01";
    f.SixtyFourBitWindows = true;
    f.TotalPhys = (4096ull << 20) + 1048575;
    f.AvailPhys = 1048575;
    f.TotalVirtual = 2147352576ull;
    f.AvailVirtual = 2000000000ull;
    f.AvailExtendedVirtual = 0;
    f.TotalPageFile = 8ull << 30;
    f.AvailPageFile = 5ull << 30;
    f.SystemDir = L"C:\\Windows\\system32";
    f.HasDiskSpace = true;
    f.DiskTotalBytes = 500105216000ull;
    f.DiskFreeBytesForCaller = 1073741824ull;
    f.SessionUserName = L"Alice";
    f.ProcessUserName = L"Admin";
    f.IntegrityLevel = 0x2000;
    return f;
}

void ExpectLines(const TStringList& actual, const TStringList& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << Printable(expected[i]);
}

TEST(OverviewLines, EveryLineInOrder) {
    ExpectLines(FormatSystemOverview(SampleFacts(), L'.'),
                {
                    std::wstring(81, L'*'),   L"OS Name:\tWindows 7 x64 Service Pack 1",
                    L"OS Version:\t6.1.7601", L"SP Version:\tService Pack 1",
                    L"system lan:\tEnglish",  L"ComputerName:\tDESK-01",
                    L"OS Type:\t64bit",       L"Memory Size:\t4096 MB",
                    L"Free Size:\t0 MB",      L"VMemory Size:\t2047 MB",
                    L"VFree Size:\t1907 MB",  L"VFreeExt Size:\t0 MB",
                    L"PF Size:\t8192 MB",     L"PF Free:\t5120 MB",
                    L"System Drive:\tC:",     L"Total Space:\t465.76 GB",
                    L"Free Space:\t1.00 GB",  L"Cur Users:\tAlice[Admin]",
                    L"User Level:\t2000",     L"",
                });
}

TEST(OverviewLines, MissingValuesLeaveOutOnlyTheirLines) {
    TOverviewFacts f = SampleFacts();
    f.ServicePackText.clear();
    f.Language.clear();
    f.HasComputerName = false;
    f.SixtyFourBitWindows = false;
    f.HasDiskSpace = false;
    f.SessionUserName.clear();
    f.IntegrityLevel = 0;
    TStringList lines = FormatSystemOverview(f, L',');
    ExpectLines(TStringList(lines.begin() + 3, lines.begin() + 6),
                {L"SP Version:\t", L"system lan:\t", L"OS Type:\t32bit"});
    ExpectLines(TStringList(lines.end() - 4, lines.end()),
                {L"System Drive:\tC:", L"Cur Users:\t[Admin]", L"User Level:\t0000", L""});

    f.SystemDir.clear();
    f.HasDiskSpace = true;
    lines = FormatSystemOverview(f, L'.');
    ExpectLines(TStringList(lines.end() - 4, lines.end()),
                {L"PF Free:\t5120 MB", L"Cur Users:\t[Admin]", L"User Level:\t0000", L""});
}

TEST(OverviewLines, IntegrityLevelHasAtLeastFourHexDigits) {
    struct Case {
        std::uint32_t level;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0, L"User Level:\t0000"},      {0x1000, L"User Level:\t1000"}, {0x3000, L"User Level:\t3000"},
        {0x2100, L"User Level:\t2100"}, {0x1F, L"User Level:\t001F"},   {0x12345, L"User Level:\t12345"},
    };
    for (const auto& c : cases) {
        TOverviewFacts f = SampleFacts();
        f.IntegrityLevel = c.level;
        EXPECT_EQ(FormatSystemOverview(f, L'.')[18], c.expected);
    }
}

}  // namespace
}  // namespace vantrel
