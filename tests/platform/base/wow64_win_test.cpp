#include "platform/base/handles_win.h"
#include "platform/base/wow64_win.h"
#include "platform/system/folders_win.h"

#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace vantrel {
namespace {

constexpr std::uint16_t kMachineX86 = 0x014C;
constexpr std::uint16_t kMachineX64 = 0x8664;

// The machine field of a PE file's header, read through the calling
// thread's file-system view; 0 when the file cannot be read.
std::uint16_t PeMachine(const std::wstring& path) {
    ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return 0;
    unsigned char header[4096] = {};
    DWORD got = 0;
    if (!::ReadFile(file.Get(), header, sizeof header, &got, nullptr) || got < 0x40) return 0;
    std::uint32_t pe = 0;
    std::memcpy(&pe, header + 0x3C, sizeof pe);
    if (pe + 6 > got) return 0;
    std::uint16_t machine = 0;
    std::memcpy(&machine, header + pe + 4, sizeof machine);
    return machine;
}

// notepad.exe exists in both system folders, as a 64-bit program in the
// native one and a 32-bit program in the one this process is redirected to.
std::wstring SystemNotepad() { return GetSystemDir() + L"\\notepad.exe"; }

TEST(Wow64, ThisProcessIsA32BitProcessOn64BitWindows) {
    VANTREL_SKIP_WITHOUT_WOW64();
    EXPECT_TRUE(IsWow64());
    EXPECT_TRUE(IsWow64());  // cached answer
}

TEST(FsRedirection, OffShowsTheNativeSystemFolderUntilReverted) {
    VANTREL_SKIP_WITHOUT_WOW64();
    LoadWow64Functions();
    ASSERT_EQ(PeMachine(SystemNotepad()), kMachineX86);
    void* cookie = nullptr;
    ASSERT_TRUE(DisableFsRedirection(cookie));
    EXPECT_EQ(PeMachine(SystemNotepad()), kMachineX64);
    EXPECT_TRUE(RevertFsRedirection(cookie));
    EXPECT_EQ(PeMachine(SystemNotepad()), kMachineX86);
}

TEST(FsRedirection, BracketRevertsWhenItsWorkFails) {
    VANTREL_SKIP_WITHOUT_WOW64();
    try {
        ScopedFsRedirectionOff off;
        ASSERT_TRUE(off.Disabled());
        ASSERT_EQ(PeMachine(SystemNotepad()), kMachineX64);
        throw std::runtime_error("the work failed");
    } catch (const std::runtime_error&) {}
    EXPECT_EQ(PeMachine(SystemNotepad()), kMachineX86);
}

TEST(FsRedirection, NestedBracketsRestoreTheOuterState) {
    VANTREL_SKIP_WITHOUT_WOW64();
    ScopedFsRedirectionOff outer;
    ASSERT_TRUE(outer.Disabled());
    {
        ScopedFsRedirectionOff inner;
        EXPECT_TRUE(inner.Disabled());
    }
    EXPECT_EQ(PeMachine(SystemNotepad()), kMachineX64);
}

TEST(FsRedirection, AffectsOnlyTheCallingThread) {
    VANTREL_SKIP_WITHOUT_WOW64();
    ScopedFsRedirectionOff off;
    ASSERT_TRUE(off.Disabled());
    std::uint16_t seen_by_other_thread = 0;
    std::thread other([&seen_by_other_thread] { seen_by_other_thread = PeMachine(SystemNotepad()); });
    other.join();
    EXPECT_EQ(seen_by_other_thread, kMachineX86);
    EXPECT_EQ(PeMachine(SystemNotepad()), kMachineX64);
}

}  // namespace
}  // namespace vantrel
