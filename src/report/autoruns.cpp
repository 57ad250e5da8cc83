#include "report/autoruns.h"

namespace vantrel {

namespace {

using R = TAutorunReader;
constexpr TAutorunRoot kNone = TAutorunRoot::None;
constexpr TAutorunRoot kHKCU = TAutorunRoot::CurrentUser;
constexpr TAutorunRoot kHKLM = TAutorunRoot::LocalMachine;

const wchar_t kStartup[] = L"---------- Startup ----------";
const wchar_t kRun[] = L"---------- Run ----------";
const wchar_t kRunOnce[] = L"---------- RunOnce ----------";
const wchar_t kRunOnceEx[] = L"---------- RunOnceEx ----------";
const wchar_t kPoliciesRun[] = L"---------- policies Run ----------";
const wchar_t kNtRun[] = L"---------- NT Run ----------";
const wchar_t kWindowsShell[] = L"---------- Windows Shell ----------";

const wchar_t kExplorer[] = L"explorer.exe";
const wchar_t kUserinit[] = L"userinit.exe";

}  // namespace

const TLaunchSource kLaunchSources[] = {
    {kStartup, R::UserStartupFolder, kNone, nullptr, nullptr, nullptr, false},
    {kStartup, R::CommonStartupFolder, kNone, nullptr, nullptr, nullptr, false},

    {kRun, R::NamedValues, kHKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", nullptr, nullptr, false},
    {kRun, R::NamedValues, kHKLM, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", nullptr, nullptr, false},
    {kRun, R::NamedValues, kHKCU, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", nullptr, nullptr,
     true},
    {kRun, R::NamedValues, kHKLM, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", nullptr, nullptr,
     true},

    {kRunOnce, R::NamedValues, kHKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr, nullptr,
     false},
    {kRunOnce, R::NamedValues, kHKLM, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr, nullptr,
     false},
    {kRunOnce, R::NamedValues, kHKCU, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr,
     nullptr, true},
    {kRunOnce, R::NamedValues, kHKLM, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", nullptr,
     nullptr, true},

    {kRunOnceEx, R::RunOnceEx, kHKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", nullptr, nullptr,
     false},
    {kRunOnceEx, R::RunOnceEx, kHKLM, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", nullptr, nullptr,
     false},
    {kRunOnceEx, R::RunOnceEx, kHKCU, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", nullptr,
     nullptr, true},
    {kRunOnceEx, R::RunOnceEx, kHKLM, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx", nullptr,
     nullptr, true},

    {kPoliciesRun, R::NamedValues, kHKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
     nullptr, nullptr, false},
    {kPoliciesRun, R::NamedValues, kHKLM, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
     nullptr, nullptr, false},
    {kPoliciesRun, R::NamedValues, kHKCU,
     L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", nullptr, nullptr, true},
    {kPoliciesRun, R::NamedValues, kHKLM,
     L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run", nullptr, nullptr, true},

    {kNtRun, R::DelimitedList, kHKCU, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Run", nullptr,
     false},
    {kNtRun, R::DelimitedList, kHKCU, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Load", nullptr,
     false},
    {kNtRun, R::DelimitedList, kHKLM, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Run", nullptr,
     false},
    {kNtRun, R::DelimitedList, kHKLM, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Load", nullptr,
     false},
    {kNtRun, R::DelimitedList, kHKCU, L"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Run",
     nullptr, true},
    {kNtRun, R::DelimitedList, kHKCU, L"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Load",
     nullptr, true},
    {kNtRun, R::DelimitedList, kHKLM, L"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Run",
     nullptr, true},
    {kNtRun, R::DelimitedList, kHKLM, L"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Load",
     nullptr, true},

    {kWindowsShell, R::LogonProgram, kHKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", L"Shell",
     kExplorer, false},
    {kWindowsShell, R::LogonProgram, kHKLM, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Shell",
     kExplorer, false},
    {kWindowsShell, R::LogonProgram, kHKLM, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", L"Userinit",
     kUserinit, false},
    {kWindowsShell, R::LogonProgram, kHKCU,
     L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", L"Shell", kExplorer, true},
    {kWindowsShell, R::LogonProgram, kHKLM, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
     L"Shell", kExplorer, true},
    {kWindowsShell, R::LogonProgram, kHKLM, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
     L"Userinit", kUserinit, true},
};

const std::size_t kLaunchSourceCount = sizeof(kLaunchSources) / sizeof(kLaunchSources[0]);

TStringList AssembleAutoruns(const TLaunchSource* sources, std::size_t count, bool wow64,
                             const TLaunchSourceReader& read) {
    TStringList lines = {L"", L"===== Autoruns =====", L""};
    std::size_t row = 0;
    while (row < count) {
        const std::wstring heading = sources[row].Heading;
        const std::size_t group_start = lines.size();
        for (; row < count && heading == sources[row].Heading; ++row) {
            if (sources[row].Wow64Only && !wow64) continue;
            read(sources[row], lines);
        }
        if (lines.size() > group_start) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(group_start), heading);
        }
    }
    return lines;
}

std::size_t SplitOnChar(wchar_t separator, const std::wstring& text, TStringList& parts) {
    parts.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t found = text.find(separator, start);
        std::size_t end = found == std::wstring::npos ? text.size() : found;
        if (end > start) parts.push_back(text.substr(start, end - start));
        if (found == std::wstring::npos) break;
        start = found + 1;
    }
    return parts.size();
}

namespace {

bool IsSpaceOrControl(wchar_t c) {
    auto code = CodeUnit(c);
    return code >= 1 && code <= 32;
}

// The quoted item starting at `pos` (a double quote): up to the matching
// closing quote, a doubled quote standing for one; an unclosed quote takes
// the rest. `pos` ends after the closing quote.
std::wstring QuotedItem(const std::wstring& text, std::size_t& pos) {
    std::wstring item;
    ++pos;
    while (pos < text.size()) {
        wchar_t c = text[pos++];
        if (c != L'"') {
            item.push_back(c);
        } else if (pos < text.size() && text[pos] == L'"') {
            item.push_back(L'"');
            ++pos;
        } else {
            break;
        }
    }
    return item;
}

}  // namespace

TStringList SplitDelimitedList(const std::wstring& text) {
    TStringList items;
    std::size_t pos = 0;
    auto skip_spaces = [&]() {
        while (pos < text.size() && IsSpaceOrControl(text[pos])) ++pos;
    };
    skip_spaces();
    while (pos < text.size()) {
        if (text[pos] == L'"') {
            items.push_back(QuotedItem(text, pos));
        } else {
            std::size_t start = pos;
            while (pos < text.size() && static_cast<std::uint32_t>(text[pos]) > 32 && text[pos] != L',') ++pos;
            items.push_back(text.substr(start, pos - start));
        }
        skip_spaces();
        if (pos < text.size() && text[pos] == L',') {
            if (pos + 1 == text.size()) items.push_back(std::wstring());
            ++pos;
            skip_spaces();
        }
    }
    return items;
}

TStringList RunOnceExLines(const std::wstring& text) {
    TStringList parts;
    const std::size_t count = SplitOnChar(L'|', text, parts);
    TStringList lines;
    if (count >= 1 && !IsBlank(parts[0])) lines.push_back(L"rundll32.exe " + parts[0]);
    if (count >= 2 && !IsBlank(parts[1])) lines.push_back(L"rundll32.exe " + parts[0] + L"," + parts[1]);
    if (count >= 3) {
        if (IsBlank(parts[0]) && IsBlank(parts[1])) {
            lines.push_back(parts[2]);
        } else {
            lines.push_back(L"rundll32.exe " + parts[0] + L"," + parts[1] + L" " + parts[2]);
        }
    }
    return lines;
}

bool IsDefaultLogonProgram(const std::wstring& item, const std::wstring& default_program,
                           const std::wstring& system_folder, const std::wstring& windows_folder) {
    return EqualsNoCaseAscii(item, default_program) ||
           EqualsNoCaseAscii(item, system_folder + L"\\" + default_program) ||
           EqualsNoCaseAscii(item, windows_folder + L"\\" + default_program);
}

TStringList DelimitedValueLines(const std::wstring& text, const std::wstring& default_program,
                                const std::wstring& system_folder, const std::wstring& windows_folder) {
    const TStringList items = SplitDelimitedList(text);
    TStringList lines;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (IsBlank(items[i])) continue;
        if (i == 0 && !default_program.empty() &&
            IsDefaultLogonProgram(items[i], default_program, system_folder, windows_folder)) {
            continue;
        }
        lines.push_back(items[i]);
    }
    return lines;
}

bool IsStartupSkipName(const std::wstring& file_name) {
    return EqualsNoCaseAscii(file_name, L"desktop.ini") || EqualsNoCaseAscii(file_name, L"Thumbs.db");
}

bool IsShortcutFile(const std::wstring& path) { return EqualsNoCaseAscii(ExtractFileExt(path), L".lnk"); }

std::wstring ShellLinkLine(const std::wstring& target, const std::wstring& arguments) {
    return L"\"" + target + L"\" " + arguments;
}

}  // namespace vantrel
