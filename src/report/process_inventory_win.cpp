#include "report/process_inventory_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/crc32.h"
#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/optional_api_win.h"
#include "platform/base/text_win.h"
#include "platform/system/registry_win.h"
#include "platform/system/version_block_win.h"
#include "report/crash_reporter_registry.h"
#include "report/process_records.h"
#include "report/section_banner.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>

namespace vantrel {

namespace {

constexpr ULONG kSystemProcessInformation = 5;
constexpr DWORD kPathCapacity = 260;
constexpr std::uint32_t kCrcViewSize = 0x100000;
constexpr const wchar_t* kSubSystemsKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems";

// The records arrive in this process's own layout: the pure reader's row for
// this pointer size must say what the system's structure says.
constexpr TProcessRecordLayout kNativeRecords = ProcessRecordLayout(sizeof(void*));
static_assert(kNativeRecords.PointerSize == sizeof(void*), "a layout for this pointer size");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, NumberOfThreads) == kNativeRecords.ThreadCount, "thread count");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, ImageName) + offsetof(UNICODE_STRING, Length) ==
                  kNativeRecords.ImageNameLength,
              "image name length");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, ImageName) + offsetof(UNICODE_STRING, Buffer) ==
                  kNativeRecords.ImageNameBuffer,
              "image name buffer");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, UniqueProcessId) == kNativeRecords.ProcessId, "process id");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, HandleCount) == kNativeRecords.HandleCount, "handle count");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, SessionId) + sizeof(ULONG) == kNativeRecords.RecordMinimum &&
                  offsetof(SYSTEM_PROCESS_INFORMATION, SessionId) == kNativeRecords.SessionId,
              "session");

// Text in a buffer of 261 characters as the system left it.
std::wstring BufferText(const wchar_t* buffer, DWORD length) {
    if (length == 0 || length > kPathCapacity) return std::wstring();
    return std::wstring(buffer, std::find(buffer, buffer + length, L'\0'));
}

std::wstring SystemDirectory() {
    wchar_t buffer[kPathCapacity + 1] = {};
    return BufferText(buffer, ::GetSystemDirectoryW(buffer, kPathCapacity));
}

std::wstring WindowsDirectory() {
    wchar_t buffer[kPathCapacity + 1] = {};
    return BufferText(buffer, ::GetWindowsDirectoryW(buffer, kPathCapacity));
}

// ---- processes ----

// The filled buffer of the process query; false when the query failed.
bool QueryProcessBuffer(std::vector<unsigned char>& buffer) {
    auto query = optional_api::NtQuerySystemInformation();
    if (query == nullptr) return false;
    ULONG needed = 0;
    query(kSystemProcessInformation, nullptr, 0, &needed);
    if (needed != 0) {
        buffer.assign(static_cast<std::size_t>(needed) * 2, 0);
        return query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) >= 0;
    }
    for (std::size_t size = 0x10000; size < 0x400000;) {
        size *= 2;
        buffer.assign(size, 0);
        if (query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(size), &needed) >= 0) return true;
    }
    return false;
}

// Lets the tool open other accounts' processes. The outcome is not acted on.
void EnableDebugPrivilege() {
    ScopedKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.Receive())) return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) return;
    ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

std::wstring FullImageName(HANDLE process) {
    auto query = optional_api::QueryFullProcessImageNameW();
    if (query == nullptr) return std::wstring();
    wchar_t buffer[kPathCapacity + 1] = {};
    DWORD size = kPathCapacity;
    if (!query(process, 0, buffer, &size)) return std::wstring();
    return BufferText(buffer, size);
}

std::vector<TDosDevice> DosDevices() {
    std::vector<TDosDevice> devices;
    wchar_t drives[kPathCapacity + 1] = {};
    DWORD length = ::GetLogicalDriveStringsW(kPathCapacity, drives);
    if (length == 0 || length > kPathCapacity) return devices;
    for (const wchar_t* root = drives; *root != L'\0'; root += wcslen(root) + 1) {
        std::wstring drive(root, std::min<std::size_t>(2, wcslen(root)));
        wchar_t target[kPathCapacity + 1] = {};
        if (::QueryDosDeviceW(drive.c_str(), target, kPathCapacity) == 0) continue;
        devices.push_back(TDosDevice{drive, target});
    }
    return devices;
}

std::wstring ModuleFileNameEx(HANDLE process) {
    auto query = optional_api::GetModuleFileNameExW();
    if (query == nullptr) return std::wstring();
    wchar_t buffer[kPathCapacity + 1] = {};
    return BufferText(buffer, query(process, nullptr, buffer, kPathCapacity));
}

struct TMemoryCounters {
    std::uint64_t WorkingSet = 0;
    std::uint64_t Pagefile = 0;
};

TMemoryCounters ProcessMemoryCounters(HANDLE process) {
    TMemoryCounters counters;
    auto query = optional_api::GetProcessMemoryInfo();
    if (query == nullptr) return counters;
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    if (query(process, &pmc, sizeof pmc)) {
        counters.WorkingSet = pmc.WorkingSetSize;
        counters.Pagefile = pmc.PagefileUsage;
    }
    return counters;
}

std::uint64_t FileTimeValue(const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Milliseconds between the process's creation and now, from the whole 64-bit
// difference; 0 when the creation time cannot be read.
std::uint64_t ProcessRunTimeMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    std::uint64_t a = FileTimeValue(created);
    std::uint64_t b = FileTimeValue(now);
    return (a > b ? a - b : b - a) / 10000;
}

// `opened` is the process opened for querying already, or null: it is then
// opened here for the figures that need only that.
TProcessEntry MakeEntry(const std::wstring& path, const TSystemProcessRecord& record, const TMemoryCounters& counters,
                        HANDLE opened) {
    TProcessEntry e;
    SplitAtLastBackslash(path, e.Folder, e.Name);
    e.ProcessId = record.ProcessId;
    e.SessionId = record.SessionId;
    e.ThreadCount = record.ThreadCount;
    e.HandleCount = record.HandleCount;
    e.WorkingSetMB = static_cast<std::uint32_t>(counters.WorkingSet >> 20);
    e.PagefileMB = static_cast<std::uint32_t>(counters.Pagefile >> 20);
    if (record.ProcessId == 0) return e;
    ScopedKernelHandle own;
    if (opened == nullptr) {
        own.Reset(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, record.ProcessId));
        if (!own) return e;
        opened = own.Get();
    }
    e.RunTimeMs = ProcessRunTimeMs(opened);
    e.PriorityClass = static_cast<std::int32_t>(::GetPriorityClass(opened));
    if (auto gui = optional_api::GetGuiResources()) {
        e.GdiObjects = static_cast<std::int32_t>(gui(opened, GR_GDIOBJECTS));
        e.UserObjects = static_cast<std::int32_t>(gui(opened, GR_USEROBJECTS));
    }
    return e;
}

// Each process is opened once where it lets itself be read; one that
// refuses reading its memory is opened again for querying alone.
TProcessEntry GatherOne(const TSystemProcessRecord& record, const std::wstring& system_dir) {
    TMemoryCounters counters;
    if (!record.HasImageName) return MakeEntry(L"Idle", record, counters, nullptr);
    std::wstring path = record.ImageName;
    ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, record.ProcessId));
    if (process) {
        std::wstring image = ProcessImagePath(process.Get());
        path = image.empty() ? record.ImageName : RewriteNativeImagePath(image, system_dir);
        counters = ProcessMemoryCounters(process.Get());
    }
    return MakeEntry(path, record, counters, process.Get());
}

// The text `build` makes, or "error" when it fails (its failure recorded
// under `stage`).
template <typename Build>
std::wstring OrError(const wchar_t* stage, Build build) {
    std::wstring text;
    return ContainFailure(stage, [&] { text = build(); }) ? text : std::wstring(L"error");
}

}  // namespace

std::wstring LongPathForm(const std::wstring& path) {
    wchar_t buffer[kPathCapacity + 1] = {};
    DWORD length = ::GetLongPathNameW(path.c_str(), buffer, kPathCapacity);
    if (length == 0 || length >= kPathCapacity) return path;
    return std::wstring(buffer, length);
}

std::wstring ProcessImagePathFromDevice(HANDLE process) {
    auto query = optional_api::GetProcessImageFileNameW();
    if (query == nullptr) return std::wstring();
    wchar_t buffer[kPathCapacity + 1] = {};
    std::wstring device_path = BufferText(buffer, query(process, buffer, kPathCapacity));
    if (device_path.empty()) return std::wstring();
    return DevicePathToDrivePath(device_path, DosDevices());
}

std::wstring ProcessImagePath(HANDLE process) {
    std::wstring path;
    if (!ContainFailure(L"process image path", [&] {
            path = FullImageName(process);
            if (path.empty()) path = ProcessImagePathFromDevice(process);
            if (path.empty()) path = ModuleFileNameEx(process);
            if (!path.empty()) path = LongPathForm(path);
        })) {
        return std::wstring();
    }
    return path;
}

std::vector<TProcessEntry> GatherProcesses() {
    std::vector<TProcessEntry> entries;
    std::vector<unsigned char> buffer;
    if (!QueryProcessBuffer(buffer)) return entries;
    EnableDebugPrivilege();
    auto records = ParseProcessRecords(buffer.data(), buffer.size(), reinterpret_cast<std::uintptr_t>(buffer.data()),
                                       kNativeRecords);
    buffer = std::vector<unsigned char>();
    entries.reserve(std::max<std::size_t>(64, records.size()));
    const std::wstring system_dir = SystemDirectory();
    for (const auto& record : records) entries.push_back(GatherOne(record, system_dir));
    return entries;
}

wchar_t InventoryDecimalSeparator() {
    static const wchar_t separator = [] {
        char buffer[8] = {};
        if (::GetLocaleInfoA(::GetThreadLocale(), LOCALE_SDECIMAL, buffer, sizeof buffer) <= 0 || buffer[0] == 0) {
            return L',';
        }
        const std::wstring wide = CodePageToWide(CP_ACP, std::string(buffer, 1));
        return wide.size() == 1 ? wide[0] : L',';
    }();
    return separator;
}

std::wstring MemoryStatusText() {
    return OrError(L"memory figures", [] {
        TMemoryFigures figures;
        std::wstring windows = WindowsDirectory();
        std::wstring root = windows.empty() ? std::wstring(L"C:\\") : windows.substr(0, 3);
        ULARGE_INTEGER available, total, free;
        if (::GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free)) {
            figures.DiskFree = free.QuadPart;
            figures.DiskTotal = total.QuadPart;
        }
        auto status_ex = optional_api::GlobalMemoryStatusEx();
        if (status_ex != nullptr) {
            MEMORYSTATUSEX status = {};
            status.dwLength = sizeof status;
            status_ex(&status);
            figures.AvailVirtual = status.ullAvailVirtual;
            figures.TotalVirtual = status.ullTotalVirtual;
            figures.AvailPageFile = status.ullAvailPageFile;
            figures.TotalPageFile = status.ullTotalPageFile;
        } else {
            MEMORYSTATUS status = {};
            status.dwLength = sizeof status;
            ::GlobalMemoryStatus(&status);
            figures.AvailVirtual = status.dwAvailVirtual;
            figures.TotalVirtual = status.dwTotalVirtual;
            figures.AvailPageFile = status.dwAvailPageFile;
            figures.TotalPageFile = status.dwTotalPageFile;
        }
        return FormatMemoryText(figures, InventoryDecimalSeparator());
    });
}

std::wstring AtomTableText() {
    return OrError(L"atom table", [] {
        TAtomCensus census;
        std::vector<wchar_t> buffer(1024 + 1);
        const int capacity = 1024;
        for (unsigned atom = 0xC000; atom <= 0xFFFF; ++atom) {
            UINT length = ::GlobalGetAtomNameW(static_cast<ATOM>(atom), buffer.data(), capacity);
            if (length > 0) census.AddGlobalAtom(std::wstring(buffer.data(), length));
            int registered = ::GetClipboardFormatNameW(atom, buffer.data(), capacity);
            if (registered > 0) census.AddRegisteredName(std::wstring(buffer.data(), registered));
        }
        return census.Text();
    });
}

std::wstring DesktopHeapText() {
    return OrError(L"desktop heap", [] {
        const ScopedRegKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, kSubSystemsKey);
        if (!key) return std::wstring();
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key.Get(), L"Windows", nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) {
            return std::wstring();
        }
        // Twice the reported size, zero-filled: the text always ends in a NUL.
        std::vector<unsigned char> data(static_cast<std::size_t>(size) * 2, 0);
        DWORD bytes = static_cast<DWORD>(data.size());
        if (::RegQueryValueExW(key.Get(), L"Windows", nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS) {
            return std::wstring();
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return std::wstring();
        const auto* text = reinterpret_cast<const wchar_t*>(data.data());
        return std::wstring(text, std::find(text, text + data.size() / sizeof(wchar_t), L'\0'));
    });
}

std::wstring GetProcessListText() {
    std::wstring lines = FormatProcessLines(GatherProcesses(), InventoryDecimalSeparator());
    return ComposeProcessText(lines, MemoryStatusText(), AtomTableText(), DesktopHeapText());
}

void AddProcesses(TStringList& lines) {
    lines.push_back(SectionBanner());
    lines.push_back(GetProcessListText());
}

std::wstring ModuleFileVersionText(const std::wstring& path) {
    const TVersionBlock block(path);
    if (block.Empty()) return std::wstring();

    TModuleVersionFacts facts;
    const void* data = nullptr;
    UINT length = 0;
    if (block.Query(L"\\", data, length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
        facts.HasFixedInfo = true;
        facts.FileVersionMS = fixed->dwFileVersionMS;
        facts.FileVersionLS = fixed->dwFileVersionLS;
    }
    if (block.Query(L"\\VarFileInfo\\Translation", data, length) && length >= 2 * sizeof(WORD)) {
        const auto* words = static_cast<const WORD*>(data);
        facts.HasTranslation = true;
        facts.StringFileVersion = block.QueryText(ModuleFileVersionKey(words[0], words[1]));
    }
    return ModuleVersionText(facts);
}

bool FileCrc32(const std::wstring& path, std::uint32_t& crc) {
    std::uint32_t value = kCrc32Initial;
    const bool whole = ReadFileContent(path, kCrcViewSize, 0, [&value](const std::uint8_t* data, std::size_t length) {
        value = Crc32Update(value, data, length);
    });
    if (whole) crc = value;
    return whole;
}

std::vector<TModuleEntry> GatherModules() {
    std::wstring windows = WindowsDirectory();
    if (windows.empty()) windows = L":\\window";
    std::vector<TModuleEntry> modules;
    modules.reserve(32);
    MEMORY_BASIC_INFORMATION region;
    std::uintptr_t address = 0;
    const void* previous_base = nullptr;
    while (::VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
        wchar_t name[kPathCapacity + 1] = {};
        if (region.State == MEM_COMMIT && region.AllocationBase == region.BaseAddress &&
            region.AllocationBase != previous_base &&
            ::GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), name, kPathCapacity) > 0) {
            std::wstring path = LongPathForm(name);
            std::uint32_t crc = 0;
            bool has_crc = IsOutsideWindowsFolder(path, windows) && FileCrc32(path, crc);
            TModuleEntry entry;
            entry.Base = reinterpret_cast<std::uintptr_t>(region.AllocationBase);
            entry.Details = ModuleDetails(ModuleFileVersionText(path), has_crc, crc);
            SplitAtLastBackslash(path, entry.Folder, entry.Name);
            modules.push_back(std::move(entry));
        }
        previous_base = region.AllocationBase;
        std::uintptr_t next = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return modules;
}

std::wstring GetModuleListText() { return FormatModuleLines(GatherModules()); }

void RegisterInventorySections() {
    RegisterReportSection(L"processes", L"list of running processes", GetProcessListText);
    RegisterReportSection(L"modules", L"list of loaded modules", GetModuleListText);
}

void UnregisterInventorySections() {
    UnregisterReportSection(L"processes");
    UnregisterReportSection(L"modules");
}

}  // namespace vantrel
