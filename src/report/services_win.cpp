#include "report/services_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/wow64_win.h"
#include "platform/system/version_info.h"
#include "report/section_banner.h"

#include <algorithm>

namespace vantrel {

namespace {

constexpr DWORD kManagerAccess = 0xF003F;  // SC_MANAGER_ALL_ACCESS
constexpr DWORD kAllServiceTypes = 0x13F;  // drivers, own and shared processes, interactive
constexpr DWORD kAllServiceStates = 3;     // active and inactive

ScopedServiceHandle OpenManager() { return ScopedServiceHandle(::OpenSCManagerW(nullptr, nullptr, kManagerAccess)); }

TServiceEntry EntryOf(const ENUM_SERVICE_STATUSW& record) {
    TServiceEntry entry;
    if (record.lpServiceName != nullptr) entry.ServiceName = record.lpServiceName;
    if (record.lpDisplayName != nullptr) entry.DisplayName = record.lpDisplayName;
    entry.ServiceType = record.ServiceStatus.dwServiceType;
    entry.CurrentState = record.ServiceStatus.dwCurrentState;
    entry.Win32ExitCode = record.ServiceStatus.dwWin32ExitCode;
    return entry;
}

// ExpandEnvironmentStringsW, sized first; the text unchanged when it fails.
std::wstring ExpandEnvironment(const std::wstring& text) {
    DWORD size = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0) return text;
    std::vector<wchar_t> buffer(size, L'\0');
    DWORD got = ::ExpandEnvironmentStringsW(text.c_str(), buffer.data(), size);
    if (got == 0 || got > size) return text;
    return std::wstring(buffer.data());
}

}  // namespace

bool EnumerateServices(const TEnumServicesCall& call, std::vector<TServiceEntry>& entries) {
    for (int attempt = 0; attempt < kEnumServicesAttempts; ++attempt) {
        DWORD needed = 0;
        DWORD count = 0;
        DWORD resume = 0;
        call(nullptr, 0, &needed, &count, &resume);
        std::vector<ENUM_SERVICE_STATUSW> buffer(needed / sizeof(ENUM_SERVICE_STATUSW) + 1);
        count = 0;
        resume = 0;
        if (call(buffer.data(), needed, &needed, &count, &resume)) {
            entries.clear();
            const std::size_t returned = std::min<std::size_t>(count, buffer.size());
            for (std::size_t i = 0; i < returned; ++i) entries.push_back(EntryOf(buffer[i]));
            return true;
        }
        if (::GetLastError() != ERROR_MORE_DATA) return false;
    }
    return false;
}

bool EnumerateServices(SC_HANDLE manager, std::vector<TServiceEntry>& entries) {
    auto call = [manager](ENUM_SERVICE_STATUSW* buffer, DWORD bytes, DWORD* needed, DWORD* count, DWORD* resume) {
        return ::EnumServicesStatusW(manager, kAllServiceTypes, kAllServiceStates, buffer, bytes, needed, count,
                                     resume);
    };
    return EnumerateServices(call, entries);
}

bool GetServiceConfig(const std::wstring& service_name, std::int32_t& start_type, std::wstring& image_path) {
    image_path.clear();
    ScopedServiceHandle manager = OpenManager();
    if (!manager) return false;
    ScopedServiceHandle service(::OpenServiceW(manager.Get(), service_name.c_str(), SERVICE_QUERY_CONFIG));
    if (!service) return false;
    DWORD needed = 0;
    ::QueryServiceConfigW(service.Get(), nullptr, 0, &needed);
    if (needed == 0) return false;
    // DWORD elements keep the record aligned; value-initialised to zeros.
    std::vector<DWORD> buffer((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service.Get(), config, needed, &needed)) return false;
    start_type = static_cast<std::int32_t>(config->dwStartType);
    if (config->lpBinaryPathName != nullptr) image_path = config->lpBinaryPathName;
    return true;
}

std::wstring GetImageVersionText(const std::wstring& image_path) {
    // Services of 64-bit Windows live in the native system folder.
    ScopedFsRedirectionOff native_file_system;
    std::wstring path = StripNtPathPrefix(image_path);
    if (!FileExists(path)) path = ExpandEnvironment(SystemRootImagePath(path));
    return FileExists(path) ? L"Ver:" + GetFileVersionNumber(path) : std::wstring();
}

void AddServices(TStringList& lines) {
    // A failure ends the section; the lines made so far stay.
    ContainFailure(L"services", [&] {
        ScopedServiceHandle manager = OpenManager();
        if (!manager) return;
        std::vector<TServiceEntry> entries;
        if (!EnumerateServices(manager.Get(), entries)) return;
        lines.push_back(SectionBanner());
        for (const TServiceEntry& entry : entries) {
            TServiceLine line;
            line.DisplayName = entry.DisplayName;
            line.ServiceType = entry.ServiceType;
            line.CurrentState = entry.CurrentState;
            line.Win32ExitCode = entry.Win32ExitCode;
            GetServiceConfig(entry.ServiceName, line.StartType, line.ImagePath);
            line.VersionText = GetImageVersionText(line.ImagePath);
            lines.push_back(FormatServiceLine(line));
        }
    });
}

}  // namespace vantrel
