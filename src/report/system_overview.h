// The system overview section: operating-system identification and the
// section's lines. Pure code over plain records; the gathering lives in
// system_overview_win.cpp.
#pragma once

#include "platform/base/text.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

// Indexes into the OS name table.
enum : std::uint8_t {
    kOsNone = 0,
    kOsWin95 = 1,
    kOsWin95Osr2 = 2,
    kOsWin98 = 3,
    kOsWin98Se = 4,
    kOsWinMe = 5,
    kOsWin9xNew = 6,
    kOsWinNt3 = 7,
    kOsWinNt4 = 8,
    kOsWin2000 = 9,
    kOsWinXp = 10,
    kOsWin2003 = 11,
    kOsWinVista = 12,
    kOsWin2008 = 13,
    kOsWin7 = 14,
    kOsWin2008R2 = 15,
    kOsWin8 = 16,
    kOsWin2012 = 17,
    kOsWin81 = 18,
    kOsWin2012R2 = 19,
    kOsWin10 = 20,
    kOsWinNtNew = 21,
    kOsWin11 = 22,
    kOsWin2016 = 23,
    kOsWin2019 = 24,
    kOsWin2022 = 25,
    kOsWin2025 = 26,
};

// The operating system as identified once per process.
struct TOS {
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
    std::wstring ServicePackText;
    bool IsWin9x = false;
    std::uint8_t Win9xKind = 0;
    bool IsWinNT = false;
    std::uint8_t NTKind = 0;
    std::uint8_t OSKind = 0;
    bool IsX64 = false;
    std::uint32_t ServicePack = 0;
    std::wstring Description;
};

// The version structure as the system filled it.
struct TOsVersionData {
    std::uint32_t StructSize = 0;  // 284 for the extended structure, 276 or 148 otherwise
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
    std::uint32_t PlatformId = 0;  // 1: 9x family, 2: NT family
    std::wstring CsdVersion;
    std::uint16_t ServicePackMajor = 0;
    std::uint8_t ProductType = 0;  // 1: workstation
};

// The system metrics behind the description suffixes (NT family only).
struct TOsEditionFlags {
    bool ServerR2 = false;     // metric 89
    bool TabletPc = false;     // metric 86
    bool Starter = false;      // metric 88
    bool MediaCenter = false;  // metric 87
};

// The name of an OS kind ("Windows 7"); "None" for an unknown index.
std::wstring OsKindName(std::uint8_t kind);
// The kind of a 9x-family system.
std::uint8_t Win9xKindOf(std::uint32_t major, std::uint32_t minor, std::uint32_t build);
// The kind of an NT-family system. Version 10.0 names every current system,
// so there the build tells them apart.
std::uint8_t NtKindOf(std::uint32_t major, std::uint32_t minor, std::uint32_t build, bool workstation);
// The whole record from the version data, the native architecture and the
// edition flags.
TOS MakeOsRecord(const TOsVersionData& data, bool native_x64, const TOsEditionFlags& flags);

// The process-wide record, computed on the first Get and again while its
// Description is still empty.
class TOsCache {
public:
    TOS Get(const std::function<TOS()>& compute);

private:
    TOS os_;
};

// Everything the overview prints, as read from the system.
struct TOverviewFacts {
    std::wstring OsDescription;
    std::uint32_t VersionMajor = 0;
    std::uint32_t VersionMinor = 0;
    std::uint32_t VersionBuild = 0;
    std::wstring ServicePackText;
    std::wstring Language;
    bool HasComputerName = false;
    std::wstring ComputerName;
    bool SixtyFourBitWindows = false;  // the system is 64-bit Windows
    std::uint64_t TotalPhys = 0;
    std::uint64_t AvailPhys = 0;
    std::uint64_t TotalVirtual = 0;
    std::uint64_t AvailVirtual = 0;
    std::uint64_t AvailExtendedVirtual = 0;
    std::uint64_t TotalPageFile = 0;
    std::uint64_t AvailPageFile = 0;
    std::wstring SystemDir;  // empty when it could not be read
    bool HasDiskSpace = false;
    std::uint64_t DiskTotalBytes = 0;
    std::uint64_t DiskFreeBytesForCaller = 0;
    std::wstring SessionUserName;
    std::wstring ProcessUserName;
    std::uint32_t IntegrityLevel = 0;
};

// Bytes as gigabytes with two decimals, truncated to whole MiB first.
std::wstring DiskGigabytesText(std::uint64_t bytes, wchar_t decimal_separator);

// The section's lines in order, ending with an empty line.
TStringList FormatSystemOverview(const TOverviewFacts& facts, wchar_t decimal_separator);

}  // namespace vantrel
