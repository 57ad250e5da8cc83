#include "report/system_overview.h"

#include "platform/system/folder_rules.h"
#include "report/section_banner.h"

namespace vantrel {

namespace {

// The OS name table, by kind index. The names are ASCII.
const char* const kOsNames[] = {
    "None",           "Windows 95",      "Windows 95 OSR-2", "Windows 98",      "Windows 98 SE", "Windows ME",
    "Windows 9x New", "Windows NT 3",    "Windows NT 4",     "Windows 2000",    "Windows XP",    "Windows 2003",
    "Windows Vista",  "Windows 2008",    "Windows 7",        "Windows 2008 R2", "Windows 8",     "Windows 2012",
    "Windows 8.1",    "Windows 2012 R2", "Windows 10",       "Windows NT New",  "Windows 11",    "Windows 2016",
    "Windows 2019",   "Windows 2022",    "Windows 2025",
};

// NT kinds of major 5 and 6 by minor version: the workstation and the
// server kind.
struct TNtMinorKind {
    std::uint32_t Major;
    std::uint32_t Minor;
    std::uint8_t Workstation;
    std::uint8_t Server;
};

const TNtMinorKind kNtMinorKinds[] = {
    {5, 0, kOsWin2000, kOsWin2000}, {5, 1, kOsWinXp, kOsWinXp},  {6, 0, kOsWinVista, kOsWin2008},
    {6, 1, kOsWin7, kOsWin2008R2},  {6, 2, kOsWin8, kOsWin2012}, {6, 3, kOsWin81, kOsWin2012R2},
};

// Version 10.0 kinds by their first build, newest first.
struct TBuildKind {
    std::uint32_t FirstBuild;
    std::uint8_t Kind;
};

const std::uint32_t kFirstWin11Build = 22000;
const TBuildKind kServer10Kinds[] = {
    {26100, kOsWin2025},
    {20348, kOsWin2022},
    {17763, kOsWin2019},
    {14393, kOsWin2016},
};

std::uint8_t Nt10Kind(std::uint32_t build, bool workstation) {
    if (workstation) return build >= kFirstWin11Build ? kOsWin11 : kOsWin10;
    for (const auto& entry : kServer10Kinds) {
        if (build >= entry.FirstBuild) return entry.Kind;
    }
    // A server below the first named build keeps the name every 10.0 system
    // had before servers were named by build.
    return kOsWin10;
}

// Decimal digits at the start of `text`, or 0.
std::uint32_t LeadingNumber(const std::wstring& text) {
    std::uint32_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') break;
        value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    return value;
}

std::wstring MegabytesText(std::uint64_t bytes) { return DecimalText(bytes / 1024 / 1024) + L" MB"; }

// "%d" of a 32-bit field.
std::wstring PrintfDecimal(std::uint32_t value) { return DecimalText(static_cast<std::int32_t>(value)); }

std::wstring Description(const TOS& os, const TOsEditionFlags& flags) {
    std::wstring text = OsKindName(os.OSKind);
    if (!os.IsWinNT) return text;
    if (flags.ServerR2) text += L" R2";
    if (flags.TabletPc) text += L" Tablet PC";
    if (flags.Starter) text += L" Starter";
    if (os.OSKind < kOsWinVista && flags.MediaCenter) text += L" Media Center";
    if (os.IsX64) text += L" x64";
    if (!os.ServicePackText.empty()) text += L" " + os.ServicePackText;
    return text;
}

}  // namespace

std::wstring OsKindName(std::uint8_t kind) {
    const char* name = kind < sizeof kOsNames / sizeof kOsNames[0] ? kOsNames[kind] : kOsNames[kOsNone];
    return WidenLatin1(name);
}

std::uint8_t Win9xKindOf(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
    if (major < 4) return kOsNone;
    if (major > 4) return kOsWin9xNew;
    if (minor < 10) return build > 1000 ? kOsWin95Osr2 : kOsWin95;
    if (minor == 10) {
        if (build > 2700) return kOsWinMe;
        return build > 2000 ? kOsWin98Se : kOsWin98;
    }
    return minor <= 90 ? kOsWinMe : kOsWin9xNew;
}

std::uint8_t NtKindOf(std::uint32_t major, std::uint32_t minor, std::uint32_t build, bool workstation) {
    if (major <= 3) return kOsWinNt3;
    if (major == 4) return kOsWinNt4;
    if (major == 10 && minor == 0) return Nt10Kind(build, workstation);
    if (major == 10) return kOsWin10;
    if (major == 5 && minor >= 2) return workstation ? kOsWinXp : kOsWin2003;
    for (const auto& entry : kNtMinorKinds) {
        if (entry.Major == major && entry.Minor == minor) return workstation ? entry.Workstation : entry.Server;
    }
    return kOsWinNtNew;
}

TOS MakeOsRecord(const TOsVersionData& data, bool native_x64, const TOsEditionFlags& flags) {
    TOS os;
    os.MajorVersion = data.MajorVersion;
    os.MinorVersion = data.MinorVersion;
    os.IsWin9x = data.PlatformId == 1;
    os.IsWinNT = data.PlatformId == 2;
    os.BuildNumber = os.IsWin9x ? (data.BuildNumber & 0xFFFFu) : data.BuildNumber;
    os.ServicePackText = data.CsdVersion.substr(0, 128);
    if (os.IsWin9x) {
        os.OSKind = os.Win9xKind = Win9xKindOf(os.MajorVersion, os.MinorVersion, os.BuildNumber);
    } else if (os.IsWinNT) {
        os.OSKind = os.NTKind = NtKindOf(os.MajorVersion, os.MinorVersion, os.BuildNumber, data.ProductType == 1);
        if (data.StructSize >= 284) {
            os.ServicePack = data.ServicePackMajor;
        } else if (os.ServicePackText.size() >= 14) {
            os.ServicePack = LeadingNumber(os.ServicePackText.substr(13));
        }
        os.IsX64 = native_x64;
    }
    os.Description = Description(os, flags);
    return os;
}

TOS TOsCache::Get(const std::function<TOS()>& compute) {
    if (os_.Description.empty()) os_ = compute();
    return os_;
}

std::wstring DiskGigabytesText(std::uint64_t bytes, wchar_t decimal_separator) {
    std::int64_t megabytes = static_cast<std::int64_t>(bytes) / 1024 / 1024;
    return Fixed2(static_cast<double>(megabytes) / 1024.0, decimal_separator) + L" GB";
}

TStringList FormatSystemOverview(const TOverviewFacts& f, wchar_t decimal_separator) {
    TStringList lines;
    lines.push_back(SectionBanner());
    lines.push_back(L"OS Name:\t" + f.OsDescription);
    lines.push_back(L"OS Version:\t" + PrintfDecimal(f.VersionMajor) + L"." + PrintfDecimal(f.VersionMinor) + L"." +
                    PrintfDecimal(f.VersionBuild));
    lines.push_back(L"SP Version:\t" + f.ServicePackText);
    lines.push_back(L"system lan:\t" + f.Language);
    if (f.HasComputerName) lines.push_back(L"ComputerName:\t" + f.ComputerName);
    lines.push_back(std::wstring(L"OS Type:\t") + (f.SixtyFourBitWindows ? L"64bit" : L"32bit"));
    lines.push_back(L"Memory Size:\t" + MegabytesText(f.TotalPhys));
    lines.push_back(L"Free Size:\t" + MegabytesText(f.AvailPhys));
    lines.push_back(L"VMemory Size:\t" + MegabytesText(f.TotalVirtual));
    lines.push_back(L"VFree Size:\t" + MegabytesText(f.AvailVirtual));
    lines.push_back(L"VFreeExt Size:\t" + MegabytesText(f.AvailExtendedVirtual));
    lines.push_back(L"PF Size:\t" + MegabytesText(f.TotalPageFile));
    lines.push_back(L"PF Free:\t" + MegabytesText(f.AvailPageFile));
    if (!f.SystemDir.empty()) {
        lines.push_back(L"System Drive:\t" + ExtractFileDrive(f.SystemDir));
        if (f.HasDiskSpace) {
            lines.push_back(L"Total Space:\t" + DiskGigabytesText(f.DiskTotalBytes, decimal_separator));
            lines.push_back(L"Free Space:\t" + DiskGigabytesText(f.DiskFreeBytesForCaller, decimal_separator));
        }
    }
    lines.push_back(L"Cur Users:\t" + f.SessionUserName + L"[" + f.ProcessUserName + L"]");
    lines.push_back(L"User Level:\t" + HexUpper(f.IntegrityLevel, 4));
    lines.push_back(std::wstring());
    return lines;
}

}  // namespace vantrel
