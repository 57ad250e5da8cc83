#include "report/system_overview_win.h"

#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "platform/base/win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

namespace vantrel {
namespace {

using vantrel_test::Printable;
using vantrel_test::TempFolder;

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD n = ::GetEnvironmentVariableW(name, buffer, 1024);
    return n > 0 && n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

// The value after "label:\t", checked against a pattern.
std::wstring Value(const std::wstring& line, const std::wstring& label) {
    EXPECT_TRUE(StartsWith(line, label + L":\t")) << Printable(line);
    return line.substr(std::min(line.size(), label.size() + 2));
}

std::uint64_t Number(const std::wstring& value, const wchar_t* pattern) {
    std::wsmatch match;
    if (!std::regex_match(value, match, std::wregex(pattern))) {
        ADD_FAILURE() << Printable(value);
        return 0;
    }
    return std::stoull(match[1].str());
}

TEST(SystemOverview, EveryLineInOrderWithTheValuesOfThisSystem) {
    TStringList lines = BuildSystemOverview();
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines[0], std::wstring(81, L'*'));

    std::wstring os_name = Value(lines[1], L"OS Name");
    EXPECT_TRUE(std::regex_match(os_name, std::wregex(L"Windows [^ ].* x64( .*)?"))) << Printable(os_name);
    Number(Value(lines[2], L"OS Version"), LR"((\d+)\.\d+\.\d+)");
    EXPECT_NE(os_name.find(Value(lines[3], L"SP Version")), std::wstring::npos);  // the same service pack
    EXPECT_EQ(Value(lines[4], L"system lan"), L"English");
    EXPECT_TRUE(EqualsNoCaseAscii(Value(lines[5], L"ComputerName"), Environment(L"COMPUTERNAME")));
    // the system's bitness, whichever build of the tool asks
    EXPECT_EQ(Value(lines[6], L"OS Type"), L"64bit");

    const wchar_t* kMegabytes = LR"((\d+) MB)";
    std::uint64_t memory = Number(Value(lines[7], L"Memory Size"), kMegabytes);
    std::uint64_t free_memory = Number(Value(lines[8], L"Free Size"), kMegabytes);
    std::uint64_t virtual_size = Number(Value(lines[9], L"VMemory Size"), kMegabytes);
    std::uint64_t virtual_free = Number(Value(lines[10], L"VFree Size"), kMegabytes);
    Number(Value(lines[11], L"VFreeExt Size"), kMegabytes);
    std::uint64_t page_file = Number(Value(lines[12], L"PF Size"), kMegabytes);
    std::uint64_t page_file_free = Number(Value(lines[13], L"PF Free"), kMegabytes);
    EXPECT_GT(memory, 0u);
    EXPECT_LE(free_memory, memory);
    if (kUnderWow64) {
        EXPECT_EQ(virtual_size, 2047u);  // 2 GiB less the 64 KiB guard regions, truncated
    }
    EXPECT_LE(virtual_free, virtual_size);
    EXPECT_GT(page_file, 0u);
    EXPECT_LE(page_file_free, page_file);

    EXPECT_EQ(Value(lines[14], L"System Drive"), L"C:");
    const wchar_t* kGigabytes = LR"((\d+)\.\d\d GB)";
    std::uint64_t total_space = Number(Value(lines[15], L"Total Space"), kGigabytes);
    std::uint64_t free_space = Number(Value(lines[16], L"Free Space"), kGigabytes);
    EXPECT_LE(free_space, total_space);

    std::wstring user = Environment(L"USERNAME");
    ASSERT_FALSE(user.empty());
    std::wstring users = Value(lines[17], L"Cur Users");
    EXPECT_TRUE(EqualsNoCaseAscii(users, user + L"[" + user + L"]")) << Printable(users);
    // Wine gives every process the high level.
    EXPECT_EQ(Value(lines[18], L"User Level"), L"3000");
    EXPECT_EQ(lines[19], L"");
}

// Runs `command` and waits for its end; its exit code, or -1.
int RunProgram(std::wstring command) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                          &info)) {
        return -1;
    }
    ScopedKernelHandle process(info.hProcess);
    ScopedKernelHandle thread(info.hThread);
    DWORD code = 0;
    if (::WaitForSingleObject(process.Get(), 600000) != WAIT_OBJECT_0 || !::GetExitCodeProcess(process.Get(), &code)) {
        return -1;
    }
    return static_cast<int>(code);
}

// The figure follows the program's own address space: a 32-bit program under
// WOW64 has 2 GiB, or 4 GiB when it is large-address-aware, a count of bytes
// past what a signed 32-bit number holds.
TEST(SystemOverview, VirtualMemorySizeOfA32BitProgramWithAndWithoutLargeAddresses) {
    VANTREL_SKIP_WITHOUT_WOW64();
    struct Case {
        const wchar_t* program;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"reportprobe", L"VMemory Size:\t2047"},
        {L"reportprobe_laa", L"VMemory Size:\t4095"},
    };
    TempFolder folder(L"vmemory");
    for (const Case& c : cases) {
        SCOPED_TRACE(Printable(c.program));
        const std::wstring out = folder.Path() + c.program + L".txt";
        const std::wstring program = vantrel_test::FixtureDir() + c.program + L"\\" + c.program + L".exe";
        std::wstring command = L"\"";
        command += program;
        command += L"\" overview \"";
        command += out;
        command += L"\"";
        ASSERT_EQ(RunProgram(command), 0);
        std::wstring line = L"\n";
        line += c.expected;
        line += L" MB\n";
        const std::wstring text = DecodeUtf8(vantrel_test::ReadFileBytes(out));
        EXPECT_NE(text.find(line), std::wstring::npos) << Printable(text);
    }
}

TEST(SystemOverview, AddAppendsTheLinesAfterWhatIsThere) {
    TStringList lines = {L"Version:1.1.0.298"};
    AddSystemOverview(lines);
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[1], std::wstring(81, L'*'));
    EXPECT_EQ(lines.back(), L"");
}

TEST(SystemOverview, OperatingSystemIsTheTrueVersionAndStaysTheSame) {
    VANTREL_SKIP_WITHOUT_WOW64();
    TOS first = QueryOS();
    TOS second = QueryOS();
    EXPECT_TRUE(first.IsWinNT);
    EXPECT_FALSE(first.IsWin9x);
    EXPECT_TRUE(first.IsX64);
    EXPECT_EQ(first.NTKind, first.OSKind);
    EXPECT_EQ(first.Description, second.Description);
    EXPECT_EQ(first.BuildNumber, second.BuildNumber);
    EXPECT_EQ(first.ServicePack, second.ServicePack);

    OSVERSIONINFOEXW reported = {};
    reported.dwOSVersionInfoSize = sizeof reported;
    ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&reported)));
    // This test program declares no supported systems, so the reported
    // version may be older than the true one, never newer.
    EXPECT_GE(first.MajorVersion * 100 + first.MinorVersion, reported.dwMajorVersion * 100 + reported.dwMinorVersion);
    EXPECT_TRUE(IsRunningUnderWow64());
    EXPECT_EQ(GetSystemLanguage(), "English");
}

}  // namespace
}  // namespace vantrel
