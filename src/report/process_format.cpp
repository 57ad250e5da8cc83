#include "report/process_format.h"

#include "platform/base/text.h"
#include "platform/system/version_info.h"

#include <algorithm>

namespace vantrel {

namespace {

const wchar_t kCrLf[] = L"\r\n";

struct TPriorityName {
    std::int32_t Value;
    const wchar_t* Text;
};

const TPriorityName kPriorityNames[] = {
    {0x20, L"normal"},    {0x40, L"idle"},           {0x80, L"high"},
    {0x100, L"realtime"}, {0x4000, L"below normal"}, {0x8000, L"above normal"},
};

// Decimal digits of `hundredths` with the separator before the last two.
std::wstring WithTwoDecimals(std::uint64_t hundredths, wchar_t decimal_separator) {
    return DecimalText(hundredths / 100) + decimal_separator + PadLeft(DecimalText(hundredths % 100), 2, L'0');
}

std::wstring TwoDigits(std::uint64_t value) { return PadLeft(DecimalText(value), 2, L'0'); }

std::size_t Widest(const std::vector<std::wstring>& texts) {
    std::size_t width = 0;
    for (const auto& text : texts) width = std::max(width, text.size());
    return width;
}

}  // namespace

std::wstring FormatRunTime(std::uint64_t ms, wchar_t decimal_separator) {
    if (ms < 1000) return DecimalText(ms) + L" ms";
    if (ms < 60000) return WithTwoDecimals(ms / 10, decimal_separator) + L" s";
    if (ms < 3600000) return DecimalText(ms / 60000) + L":" + TwoDigits(ms / 1000 % 60) + L" min";
    return DecimalText(ms / 3600000) + L":" + TwoDigits(ms / 60000 % 60) + L" h";
}

std::wstring FormatByteSize(std::uint64_t bytes, wchar_t decimal_separator) {
    const std::uint64_t kKiB = 1024;
    if (bytes < kKiB) return DecimalText(bytes) + L" Bytes";
    if (bytes < kKiB * kKiB) return WithTwoDecimals(bytes * 100 / kKiB, decimal_separator) + L" KB";
    if (bytes < kKiB * kKiB * kKiB) {
        return WithTwoDecimals(bytes / kKiB * 100 / kKiB, decimal_separator) + L" MB";
    }
    return WithTwoDecimals(bytes / kKiB / kKiB * 100 / kKiB, decimal_separator) + L" GB";
}

std::wstring PriorityClassText(std::int32_t priority_class) {
    if (priority_class == 0 || priority_class == -1) return std::wstring();
    for (const auto& entry : kPriorityNames) {
        if (entry.Value == priority_class) return entry.Text;
    }
    return L"$" + HexLower(static_cast<std::uint32_t>(priority_class));
}

std::wstring ProcessCountersText(const TProcessEntry& e, wchar_t decimal_separator) {
    return PadRight(DecimalText(e.HandleCount), 3) + L"," + PadLeft(DecimalText(e.ThreadCount), 2) + L"| " +
           PadLeft(DecimalText(e.WorkingSetMB), 2) + L"M," + PadLeft(DecimalText(e.PagefileMB), 2) + L"M| " +
           PriorityClassText(e.PriorityClass) + L"," + FormatRunTime(e.RunTimeMs, decimal_separator);
}

std::wstring FormatProcessLines(const std::vector<TProcessEntry>& entries, wchar_t decimal_separator) {
    std::vector<std::wstring> ids, names, sessions, gdi, user, counters;
    std::size_t session_width = 0;
    for (const auto& e : entries) {
        ids.push_back(HexLower(e.ProcessId));
        names.push_back(e.Name);
        sessions.push_back(DecimalText(e.SessionId));
        if (e.SessionId != 0) session_width = std::max(session_width, sessions.back().size());
        gdi.push_back(DecimalText(e.GdiObjects));
        user.push_back(DecimalText(e.UserObjects));
        counters.push_back(ProcessCountersText(e, decimal_separator));
    }
    const std::size_t id_width = Widest(ids);
    const std::size_t name_width = Widest(names) + 1;
    const std::size_t gdi_width = Widest(gdi) + 1;
    const std::size_t user_width = Widest(user) + 1;
    const std::size_t counters_width = Widest(counters) + 1;

    std::wstring text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) text += kCrLf;
        text += PadLeft(ids[i], id_width, L'0') + L" " + PadRight(names[i], name_width);
        if (session_width > 0) text += PadRight(sessions[i], session_width + 1);
        text += PadRight(gdi[i], gdi_width) + PadRight(user[i], user_width) + PadRight(counters[i], counters_width) +
                entries[i].Folder;
    }
    return text;
}

std::wstring ComposeProcessText(const std::wstring& process_lines, const std::wstring& memory_text,
                                const std::wstring& atom_text, const std::wstring& desktop_heap_text) {
    return process_lines + kCrLf + kCrLf + L"Virtual memory:" + memory_text + kCrLf + L"GlobalAtomInfo:" + atom_text +
           kCrLf + L"DesktopHeap:" + desktop_heap_text + kCrLf;
}

std::uint64_t RoundToMiB(std::uint64_t bytes) { return (bytes + 0x80000) / 0x100000; }

std::wstring FormatMemoryText(const TMemoryFigures& f, wchar_t decimal_separator) {
    return DecimalText(RoundToMiB(f.AvailVirtual)) + L"/" + DecimalText(RoundToMiB(f.TotalVirtual)) +
           L" MB(free/total), PageSize:" + DecimalText(RoundToMiB(f.AvailPageFile)) + L"/" +
           DecimalText(RoundToMiB(f.TotalPageFile)) + L" MB(free/total), SysDrv:" +
           FormatByteSize(f.DiskFree, decimal_separator) + L"/" + FormatByteSize(f.DiskTotal, decimal_separator);
}

void TAtomCensus::AddGlobalAtom(const std::wstring& name) {
    ++global_count_;
    AddToGroup(name);
}

void TAtomCensus::AddRegisteredName(const std::wstring& name) {
    ++registered_count_;
    AddToGroup(name);
}

void TAtomCensus::AddToGroup(const std::wstring& name) {
    std::wstring key = name.substr(0, 6);
    for (auto& group : groups_) {
        if (group.Key == key) {
            ++group.Count;
            return;
        }
    }
    groups_.push_back(TGroup{key, name, 1});
}

std::wstring TAtomCensus::Text() const {
    std::wstring text = L"Atom:" + DecimalText(static_cast<std::uint64_t>(global_count_)) + L", RWM:" +
                        DecimalText(static_cast<std::uint64_t>(registered_count_));
    const TGroup* first = nullptr;
    for (const auto& group : groups_) {
        if (first == nullptr || group.Count > first->Count) first = &group;
    }
    const TGroup* second = nullptr;
    for (const auto& group : groups_) {
        if (&group == first) continue;
        if (second == nullptr || group.Count > second->Count) second = &group;
    }
    for (const TGroup* group : {first, second}) {
        if (group == nullptr) continue;
        text += L", Max(" + DecimalText(static_cast<std::uint64_t>(group->Count)) + L"):" + group->Name;
    }
    return text;
}

std::wstring RewriteNativeImagePath(const std::wstring& path, const std::wstring& system_dir) {
    static const std::wstring kSystemRoot = L"\\SystemRoot\\System32\\";
    if (StartsWithNoCaseAscii(path, kSystemRoot)) return system_dir + path.substr(kSystemRoot.size() - 1);
    if (StartsWith(path, L"\\??\\")) return path.substr(4);
    return path;
}

std::wstring DevicePathToDrivePath(const std::wstring& device_path, const std::vector<TDosDevice>& devices) {
    for (const auto& device : devices) {
        const std::wstring& name = device.DeviceName;
        if (name.empty() || !StartsWithNoCaseAscii(device_path, name)) continue;
        // \Device\HarddiskVolume1 must not claim \Device\HarddiskVolume10\...
        if (device_path.size() > name.size() && device_path[name.size()] != L'\\') continue;
        return device.Drive + device_path.substr(name.size());
    }
    return std::wstring();
}

std::wstring ModuleVersionText(const TModuleVersionFacts& facts) {
    if (facts.HasFixedInfo && (facts.FileVersionMS != 0 || facts.FileVersionLS != 0)) {
        return FormatVersionNumber(facts.FileVersionMS, facts.FileVersionLS);
    }
    if (facts.HasTranslation) return TrimControl(facts.StringFileVersion);
    return std::wstring();
}

std::wstring ModuleFileVersionKey(std::uint16_t language, std::uint16_t code_page) {
    std::uint32_t key = (static_cast<std::uint32_t>(language) << 16) | code_page;
    return L"\\StringFileInfo\\" + HexLower(key, 8) + L"\\FileVersion";
}

std::wstring ModuleDetails(const std::wstring& version_text, bool has_crc, std::uint32_t crc) {
    if (!has_crc) return version_text;
    return version_text + L",$" + HexLower(crc, 8);
}

bool IsOutsideWindowsFolder(const std::wstring& path, const std::wstring& windows_dir) {
    return !StartsWithNoCaseAscii(path, windows_dir);
}

std::wstring FormatModuleLines(const std::vector<TModuleEntry>& entries) {
    std::size_t name_width = 0;
    std::size_t details_width = 0;
    for (const auto& e : entries) {
        name_width = std::max(name_width, e.Name.size());
        details_width = std::max(details_width, e.Details.size());
    }
    std::wstring text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        if (i > 0) text += kCrLf;
        text += HexLower(e.Base, 8) + L" " + PadRight(e.Name, name_width + 1) + PadRight(e.Details, details_width + 1) +
                e.Folder;
    }
    return text;
}

}  // namespace vantrel
