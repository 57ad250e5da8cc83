#include "report/process_inventory_win.h"

#include "platform/base/crc32.h"
#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "report/crash_reporter_registry.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using vantrel_test::Printable;
using vantrel_test::TempFolder;

std::wstring OwnPath() {
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return LongPathForm(buffer);
}

std::wstring WindowsDir() {
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    return buffer;
}

const TProcessEntry* FindByName(const std::vector<TProcessEntry>& entries, const std::wstring& name) {
    for (const auto& e : entries) {
        if (EqualsNoCaseAscii(e.Name, name)) return &e;
    }
    return nullptr;
}

const TProcessEntry* FindById(const std::vector<TProcessEntry>& entries, DWORD pid) {
    for (const auto& e : entries) {
        if (e.ProcessId == pid) return &e;
    }
    return nullptr;
}

std::vector<std::wstring> SplitCrLf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

// A child process held suspended for the life of the object.
class SuspendedChild {
public:
    explicit SuspendedChild(DWORD priority_class) {
        std::wstring command = L"cmd.exe /c exit";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE,
                              CREATE_SUSPENDED | CREATE_NO_WINDOW | priority_class, nullptr, nullptr, &startup,
                              &info)) {
            return;
        }
        process_.Reset(info.hProcess);
        thread_.Reset(info.hThread);
        id_ = info.dwProcessId;
        ::SetPriorityClass(process_.Get(), priority_class);
    }
    ~SuspendedChild() {
        if (process_) {
            ::TerminateProcess(process_.Get(), 0);
            ::WaitForSingleObject(process_.Get(), 10000);
        }
    }
    DWORD Id() const { return id_; }

private:
    ScopedKernelHandle process_;
    ScopedKernelHandle thread_;
    DWORD id_ = 0;
};

TEST(ProcessInventory, ListsThisProcessAndTheSystemProcessesWithTheirCounters) {
    SuspendedChild child(BELOW_NORMAL_PRIORITY_CLASS);
    ASSERT_NE(child.Id(), 0u);
    ::Sleep(1100);
    std::vector<TProcessEntry> entries = GatherProcesses();

    const TProcessEntry* self = FindById(entries, ::GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    std::wstring folder, name;
    SplitAtLastBackslash(OwnPath(), folder, name);
    EXPECT_TRUE(EqualsNoCaseAscii(self->Name, name)) << Printable(self->Name);
    EXPECT_TRUE(EqualsNoCaseAscii(self->Folder, folder)) << Printable(self->Folder);
    EXPECT_EQ(self->PriorityClass, static_cast<std::int32_t>(NORMAL_PRIORITY_CLASS));
    EXPECT_GE(self->ThreadCount, 1u);
    EXPECT_GT(self->HandleCount, 0u);
    EXPECT_GE(self->WorkingSetMB, 1u);
    EXPECT_GE(self->RunTimeMs, 1000u);
    EXPECT_LT(self->RunTimeMs, 3600u * 1000u);

    const TProcessEntry* cmd = FindById(entries, child.Id());
    ASSERT_NE(cmd, nullptr);
    EXPECT_TRUE(EqualsNoCaseAscii(cmd->Name, L"cmd.exe")) << Printable(cmd->Name);
    EXPECT_EQ(cmd->PriorityClass, static_cast<std::int32_t>(BELOW_NORMAL_PRIORITY_CLASS));
    EXPECT_GE(cmd->RunTimeMs, 1000u);
    EXPECT_LT(cmd->RunTimeMs, 600u * 1000u);

    const std::wstring system32 = WindowsDir() + L"\\system32";
    for (const wchar_t* system_process : {L"explorer.exe", L"services.exe"}) {
        SCOPED_TRACE(Printable(system_process));
        const TProcessEntry* e = FindByName(entries, system_process);
        ASSERT_NE(e, nullptr);
        EXPECT_NE(e->ProcessId, 0u);
        EXPECT_GE(e->ThreadCount, 1u);
        EXPECT_GT(e->RunTimeMs, 0u);
        EXPECT_LT(e->RunTimeMs, 24u * 3600u * 1000u);
        EXPECT_NE(e->PriorityClass, -1);
        EXPECT_TRUE(EqualsNoCaseAscii(e->Folder, system32) || EqualsNoCaseAscii(e->Folder, WindowsDir()))
            << Printable(e->Folder);
    }
}

TEST(ProcessInventory, TextHasOneAlignedLinePerProcessThenTheSummaryLines) {
    std::wstring text = GetProcessListText();
    ASSERT_TRUE(EndsWith(text, L"\r\n"));
    std::vector<std::wstring> lines = SplitCrLf(text.substr(0, text.size() - 2));
    ASSERT_GE(lines.size(), 6u);
    const std::size_t n = lines.size();
    EXPECT_EQ(lines[n - 4], L"");
    EXPECT_TRUE(std::regex_match(lines[n - 3], std::wregex(LR"(Virtual memory:\d+/\d+ MB\(free/total\), )"
                                                           LR"(PageSize:\d+/\d+ MB\(free/total\), )"
                                                           LR"(SysDrv:\d+\.\d\d [KMG]B/\d+\.\d\d [KMG]B)")))
        << Printable(lines[n - 3]);
    EXPECT_TRUE(
        std::regex_match(lines[n - 2], std::wregex(LR"(GlobalAtomInfo:Atom:\d+, RWM:\d+(, Max\(\d+\):.+){0,2})")))
        << Printable(lines[n - 2]);
    EXPECT_TRUE(StartsWith(lines[n - 1], L"DesktopHeap:")) << Printable(lines[n - 1]);

    // The process lines share their column layout: identifiers of one width,
    // and the name column starting right after it.
    const std::wstring own_id = HexLower(::GetCurrentProcessId());
    std::size_t id_width = lines[0].find(L' ');
    ASSERT_NE(id_width, std::wstring::npos);
    ASSERT_GE(id_width, own_id.size());
    bool found_self = false, found_explorer = false, found_services = false;
    for (std::size_t i = 0; i + 4 < n; ++i) {
        const std::wstring& line = lines[i];
        SCOPED_TRACE(Printable(line));
        ASSERT_GT(line.size(), id_width);
        EXPECT_EQ(line[id_width], L' ');
        std::wstring id = line.substr(0, id_width);
        EXPECT_TRUE(std::regex_match(id, std::wregex(L"[0-9a-f]+")));
        std::wstring name = line.substr(id_width + 1, line.find(L' ', id_width + 1) - id_width - 1);
        if (id == PadLeft(own_id, id_width, L'0')) {
            found_self = true;
            EXPECT_TRUE(EndsWith(line, ExtractFilePath(OwnPath()).substr(0, ExtractFilePath(OwnPath()).size() - 1)));
            EXPECT_NE(line.find(L"| normal,"), std::wstring::npos);
        }
        found_explorer |= EqualsNoCaseAscii(name, L"explorer.exe");
        found_services |= EqualsNoCaseAscii(name, L"services.exe");
    }
    EXPECT_TRUE(found_self);
    EXPECT_TRUE(found_explorer);
    EXPECT_TRUE(found_services);
}

TEST(ProcessInventory, AddProcessesAppendsTheBannerAndTheTextAsOneEntry) {
    TStringList lines = {L"before"};
    AddProcesses(lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], std::wstring(81, L'*'));
    EXPECT_NE(lines[2].find(L"\r\nGlobalAtomInfo:"), std::wstring::npos);
}

TEST(ProcessInventory, ImagePathThroughTheDeviceNameAndTheLongForm) {
    std::wstring own = OwnPath();
    EXPECT_TRUE(EqualsNoCaseAscii(ProcessImagePath(::GetCurrentProcess()), own));
    std::wstring by_device = ProcessImagePathFromDevice(::GetCurrentProcess());
    EXPECT_TRUE(EqualsNoCaseAscii(LongPathForm(by_device), own)) << Printable(by_device);

    TempFolder folder(L"longform");
    std::wstring long_path = folder.Path() + L"a rather long file name.text";
    vantrel_test::WriteFileBytes(long_path, "x");
    wchar_t short_path[MAX_PATH + 1] = {};
    ASSERT_GT(::GetShortPathNameW(long_path.c_str(), short_path, MAX_PATH), 0u);
    EXPECT_NE(std::wstring(short_path), long_path);
    EXPECT_EQ(LongPathForm(short_path), long_path);
    EXPECT_EQ(LongPathForm(folder.Path() + L"missing.txt"), folder.Path() + L"missing.txt");
}

TEST(ProcessInventory, AtomGroupsShowTheLargestGroup) {
    const std::wstring key = L"Vq" + PadLeft(HexLower(::GetCurrentProcessId() & 0xFFFF), 4, L'0');
    std::vector<ATOM> atoms;
    for (int i = 0; i < 300; ++i) {
        ATOM atom = ::GlobalAddAtomW((key + L"-group-" + DecimalText(static_cast<std::int32_t>(i))).c_str());
        ASSERT_NE(atom, 0);
        atoms.push_back(atom);
    }
    // Where registered formats live in the global atom table (as under
    // Wine), each name is found in both tables.
    wchar_t format_name[64] = {};
    const bool one_table = ::GetClipboardFormatNameW(atoms[0], format_name, 64) > 0;
    std::wstring text = AtomTableText();
    for (ATOM atom : atoms) ::GlobalDeleteAtom(atom);

    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(text, match, std::wregex(LR"(Atom:(\d+), RWM:(\d+), Max\((\d+)\):(.*?)(, Max.*)?)")))
        << Printable(text);
    EXPECT_GE(std::stoi(match[1].str()), 300);
    EXPECT_EQ(match[3].str(), one_table ? L"600" : L"300");
    if (one_table) {
        EXPECT_GE(std::stoi(match[2].str()), 300);
    }
    EXPECT_TRUE(StartsWith(match[4].str(), key + L"-group-")) << Printable(match[4].str());
}

// Points HKEY_LOCAL_MACHINE of this process at a scratch key for its lifetime.
class ScratchMachineKey {
public:
    ScratchMachineKey() {
        path_ = L"Software\\VantrelTest\\machine_" + vantrel_test::UniqueSuffix();
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root_.Receive(),
                          nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, root_.Get());
    }
    ~ScratchMachineKey() {
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        root_.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    HKEY SubSystems() {
        ScopedRegKey key;
        ::RegCreateKeyExW(root_.Get(), L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems", 0, nullptr,
                          0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
        subsystems_ = std::move(key);
        return subsystems_.Get();
    }

private:
    std::wstring path_;
    ScopedRegKey root_;
    ScopedRegKey subsystems_;
};

TEST(ProcessInventory, DesktopHeapIsTheTextOfTheWindowsValue) {
    struct Case {
        const char* label;
        DWORD type;
        std::wstring data;  // the value's characters, NULs included; no value when empty and type 0
        const wchar_t* expected;
    };
    const std::wstring heap =
        L"%SystemRoot%\\system32\\csrss.exe ObjectDirectory=\\Windows SharedSection=1024,20480,768";
    const Case cases[] = {
        {"text", REG_SZ, heap + L'\0', heap.c_str()},
        {"expandable text stays unexpanded", REG_EXPAND_SZ, heap + L'\0', heap.c_str()},
        {"first string of a list", REG_MULTI_SZ, std::wstring(L"one\0two\0\0", 9), L"one"},
        {"text without its terminating NUL", REG_SZ, L"abc", L"abc"},
        {"number", REG_DWORD, std::wstring(L"\x0001\x0000", 2), L""},
        {"empty value", REG_SZ, std::wstring(), L""},
        {"no value", 0, std::wstring(), L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchMachineKey machine;
        HKEY key = machine.SubSystems();
        if (c.type != 0) {
            ASSERT_EQ(::RegSetValueExW(key, L"Windows", 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                                       static_cast<DWORD>(c.data.size() * sizeof(wchar_t))),
                      ERROR_SUCCESS);
        }
        EXPECT_EQ(DesktopHeapText(), c.expected);
    }
    ScratchMachineKey no_key;
    EXPECT_EQ(DesktopHeapText(), L"");
}

TEST(ModuleInventory, ListsTheExecutableAndNtdllInAddressOrder) {
    TempFolder folder(L"modules");
    const std::wstring dll = folder.Path() + L"full.dll";
    ASSERT_TRUE(::CopyFileW((vantrel_test::FixtureDir() + L"versioned\\full.dll").c_str(), dll.c_str(), FALSE));
    ScopedModule loaded(::LoadLibraryW(dll.c_str()));
    ASSERT_TRUE(loaded);

    std::vector<TModuleEntry> modules = GatherModules();
    ASSERT_GE(modules.size(), 3u);
    for (std::size_t i = 1; i < modules.size(); ++i) EXPECT_LT(modules[i - 1].Base, modules[i].Base);

    auto find = [&](HMODULE base) -> const TModuleEntry* {
        for (const auto& m : modules) {
            if (m.Base == reinterpret_cast<std::uintptr_t>(base)) return &m;
        }
        return nullptr;
    };
    const TModuleEntry* exe = find(::GetModuleHandleW(nullptr));
    const TModuleEntry* ntdll = find(::GetModuleHandleW(L"ntdll.dll"));
    const TModuleEntry* full = find(loaded.Get());
    ASSERT_NE(exe, nullptr);
    ASSERT_NE(ntdll, nullptr);
    ASSERT_NE(full, nullptr);

    std::uint32_t crc = 0;
    ASSERT_TRUE(FileCrc32(OwnPath(), crc));
    EXPECT_EQ(exe->Details, L",$" + HexLower(crc, 8));  // no version resource
    EXPECT_TRUE(EqualsNoCaseAscii(exe->Folder + L"\\" + exe->Name, OwnPath()));

    EXPECT_TRUE(EqualsNoCaseAscii(ntdll->Name, L"ntdll.dll"));
    EXPECT_TRUE(StartsWithNoCaseAscii(ntdll->Folder, WindowsDir()));
    EXPECT_EQ(ntdll->Details.find(L'$'), std::wstring::npos) << Printable(ntdll->Details);

    ASSERT_TRUE(FileCrc32(dll, crc));
    EXPECT_EQ(full->Details, L"1.0.0.1,$" + HexLower(crc, 8));
    EXPECT_EQ(full->Folder + L"\\", folder.Path());

    std::wstring text = GetModuleListText();
    EXPECT_NE(text.find(HexLower(reinterpret_cast<std::uintptr_t>(loaded.Get()), 8) + L" full.dll "),
              std::wstring::npos);
    EXPECT_FALSE(EndsWith(text, L"\r\n"));
}

TEST(ModuleInventory, VersionTextFromTheFixedPartOrTheStringTable) {
    struct Case {
        const wchar_t* file;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"versioned\\full.dll", L"1.0.0.1"},
        {L"versioned\\othertable.dll", L"65535.0.7.7"},
        {L"modversion\\stringonly.dll", L"3.2.1 beta"},
        {L"modversion\\nofixed.dll", L""},
        {L"versioned\\noresource.dll", L""},
        {L"versioned\\missing.dll", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.file));
        EXPECT_EQ(ModuleFileVersionText(vantrel_test::FixtureDir() + c.file), c.expected);
    }
}

TEST(ModuleInventory, FileChecksumOverViewsOrNone) {
    TempFolder folder(L"crc");
    std::string big(2 * 0x100000 + 3, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
    struct Case {
        const char* label;
        std::string bytes;
    };
    const Case cases[] = {
        {"one byte", "a"},
        {"exactly one view", std::string(0x100000, 'v')},
        {"three views, the last one short", big},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::wstring path = folder.Path() + DecodeUtf8(c.label) + L".bin";
        vantrel_test::WriteFileBytes(path, c.bytes);
        std::uint32_t crc = 0;
        ASSERT_TRUE(FileCrc32(path, crc));
        EXPECT_EQ(crc, Crc32Update(kCrc32Initial, c.bytes.data(), c.bytes.size()));
    }

    std::uint32_t crc = 0x12345678;
    vantrel_test::WriteFileBytes(folder.Path() + L"empty.bin", "");
    EXPECT_FALSE(FileCrc32(folder.Path() + L"empty.bin", crc));
    EXPECT_FALSE(FileCrc32(folder.Path() + L"missing.bin", crc));
    const std::wstring locked = folder.Path() + L"locked.bin";
    vantrel_test::WriteFileBytes(locked, "locked");
    {
        ScopedFileHandle hold(::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(hold);
        EXPECT_FALSE(FileCrc32(locked, crc));
    }
    EXPECT_EQ(crc, 0x12345678u);
}

TEST(CrashReportSections, InventorySectionsRegisterAndLeave) {
    RegisterInventorySections();
    const TReportSection* processes = CrashReportSections().Find(L"processes");
    const TReportSection* modules = CrashReportSections().Find(L"modules");
    ASSERT_NE(processes, nullptr);
    ASSERT_NE(modules, nullptr);
    EXPECT_EQ(processes->Description, L"list of running processes");
    EXPECT_EQ(modules->Description, L"list of loaded modules");
    EXPECT_NE(modules->TextFunction().find(L"ntdll.dll"), std::wstring::npos);
    UnregisterInventorySections();
    EXPECT_EQ(CrashReportSections().Find(L"processes"), nullptr);
    EXPECT_EQ(CrashReportSections().Find(L"modules"), nullptr);
}

}  // namespace
}  // namespace vantrel
