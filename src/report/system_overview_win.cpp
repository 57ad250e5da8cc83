#include "report/system_overview_win.h"

#include "platform/base/handles_win.h"
#include "platform/base/optional_api_win.h"
#include "platform/base/system_locale_win.h"
#include "platform/base/text_win.h"
#include "platform/base/win.h"
#include "platform/base/wow64_win.h"
#include "platform/system/folder_rules.h"
#include "platform/system/folders_win.h"
#include "platform/system/identity_win.h"

#include <vector>

namespace vantrel {

namespace {

constexpr DWORD kVersionInfoExSize = 284;
constexpr DWORD kVersionInfoSize = 276;
constexpr DWORD kVersionInfoAnsiSize = 148;
constexpr WORD kArchitectureX64 = 9;
constexpr int kMetricServerR2 = 89;
constexpr int kMetricTabletPc = 86;
constexpr int kMetricStarter = 88;
constexpr int kMetricMediaCenter = 87;

// 8-bit text in the system code page as UTF-16.
std::wstring WidenAnsi(const std::string& text) {
    if (text.empty()) return std::wstring();
    const std::wstring wide = CodePageToWide(CP_ACP, text);
    return wide.empty() ? WidenLatin1(text) : wide;
}

std::wstring FixedText(const wchar_t* text, std::size_t capacity) {
    std::size_t n = 0;
    while (n < capacity && text[n] != L'\0') ++n;
    return std::wstring(text, n);
}

TOsVersionData Win9xVersionData() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = kVersionInfoAnsiSize;
    ::GetVersionExA(&info);
    TOsVersionData data;
    data.StructSize = info.dwOSVersionInfoSize;
    data.MajorVersion = info.dwMajorVersion;
    data.MinorVersion = info.dwMinorVersion;
    data.BuildNumber = info.dwBuildNumber;
    data.PlatformId = info.dwPlatformId;
    std::size_t n = 0;
    while (n < sizeof info.szCSDVersion && info.szCSDVersion[n] != '\0') ++n;
    data.CsdVersion = WidenLatin1(std::string(info.szCSDVersion, n));
    return data;
}

TOsVersionData NtVersionData() {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = kVersionInfoExSize;
    auto rtl_get_version = optional_api::RtlGetVersion();
    if (rtl_get_version == nullptr || rtl_get_version(&info) != 0) {
        if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
            info.dwOSVersionInfoSize = kVersionInfoSize;
            ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
        }
    }
    TOsVersionData data;
    data.StructSize = info.dwOSVersionInfoSize;
    data.MajorVersion = info.dwMajorVersion;
    data.MinorVersion = info.dwMinorVersion;
    data.BuildNumber = info.dwBuildNumber;
    data.PlatformId = info.dwPlatformId;
    data.CsdVersion = FixedText(info.szCSDVersion, 128);
    data.ServicePackMajor = info.wServicePackMajor;
    data.ProductType = info.wProductType;
    return data;
}

bool NativeX64() {
    auto native_info = optional_api::GetNativeSystemInfo();
    if (native_info == nullptr) return false;
    SYSTEM_INFO info = {};
    native_info(&info);
    return info.wProcessorArchitecture == kArchitectureX64;
}

TOS ComputeOS() {
    const bool win9x = (::GetVersion() & 0x80000000u) != 0;
    TOsVersionData data = win9x ? Win9xVersionData() : NtVersionData();
    TOsEditionFlags flags;
    bool x64 = false;
    if (data.PlatformId == VER_PLATFORM_WIN32_NT) {
        x64 = NativeX64();
        flags.ServerR2 = ::GetSystemMetrics(kMetricServerR2) != 0;
        flags.TabletPc = ::GetSystemMetrics(kMetricTabletPc) != 0;
        flags.Starter = ::GetSystemMetrics(kMetricStarter) != 0;
        flags.MediaCenter = ::GetSystemMetrics(kMetricMediaCenter) != 0;
    }
    return MakeOsRecord(data, x64, flags);
}

void ReadReportedVersion(TOverviewFacts& facts) {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = kVersionInfoExSize;
    ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
    facts.VersionMajor = info.dwMajorVersion;
    facts.VersionMinor = info.dwMinorVersion;
    facts.VersionBuild = info.dwBuildNumber;
    facts.ServicePackText = FixedText(info.szCSDVersion, 128);
}

void ReadComputerName(TOverviewFacts& facts) {
    std::wstring name;
    if (!ReadComputerNameText(name)) return;
    facts.HasComputerName = true;
    facts.ComputerName = name;
}

void ReadMemory(TOverviewFacts& facts) {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    auto status_ex = optional_api::GlobalMemoryStatusEx();
    if (status_ex != nullptr) status_ex(&status);
    facts.TotalPhys = status.ullTotalPhys;
    facts.AvailPhys = status.ullAvailPhys;
    facts.TotalVirtual = status.ullTotalVirtual;
    facts.AvailVirtual = status.ullAvailVirtual;
    facts.AvailExtendedVirtual = status.ullAvailExtendedVirtual;
    facts.TotalPageFile = status.ullTotalPageFile;
    facts.AvailPageFile = status.ullAvailPageFile;
}

void ReadSystemDrive(TOverviewFacts& facts) {
    facts.SystemDir = GetSystemDir();
    if (facts.SystemDir.empty()) return;
    std::wstring drive = ExtractFileDrive(facts.SystemDir);
    ULARGE_INTEGER available, total, free;
    if (::GetDiskFreeSpaceExW(drive.c_str(), &available, &total, &free)) {
        facts.HasDiskSpace = true;
        facts.DiskTotalBytes = total.QuadPart;
        facts.DiskFreeBytesForCaller = available.QuadPart;
    }
}

void ReadUsers(TOverviewFacts& facts) {
    facts.SessionUserName = GetSessionUserName();
    facts.ProcessUserName = GetProcessUserName(::GetCurrentProcessId());
    // The integrity level of the logged-on user's shell.
    ScopedKernelHandle shell_token(GetTokenByName(L"explorer.exe", GetSessionUserName()));
    facts.IntegrityLevel = GetTokenIntegrityLevel(shell_token.Get());
}

}  // namespace

TOS QueryOS() {
    static TOsCache cache;
    return cache.Get(ComputeOS);
}

bool IsRunningUnderWow64() { return IsWow64(); }

bool IsSixtyFourBitWindows() {
    // A 64-bit build of the tool runs on 64-bit Windows only; the 32-bit
    // tool learns it from WOW64.
    return sizeof(void*) == 8 || IsRunningUnderWow64();
}

std::string GetSystemLanguage() {
    char buffer[261] = {};
    if (::GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, buffer, 260) <= 0) return std::string();
    return std::string(buffer);
}

TOverviewFacts GatherOverviewFacts() {
    TOverviewFacts facts;
    facts.OsDescription = QueryOS().Description;
    ReadReportedVersion(facts);
    facts.Language = WidenAnsi(GetSystemLanguage());
    ReadComputerName(facts);
    facts.SixtyFourBitWindows = IsSixtyFourBitWindows();
    ReadMemory(facts);
    ReadSystemDrive(facts);
    ReadUsers(facts);
    return facts;
}

TStringList BuildSystemOverview() { return FormatSystemOverview(GatherOverviewFacts(), UserLocale().DecimalSeparator); }

void AddSystemOverview(TStringList& lines) {
    TStringList section = BuildSystemOverview();
    lines.insert(lines.end(), section.begin(), section.end());
}

}  // namespace vantrel
