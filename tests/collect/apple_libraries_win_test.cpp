#include "collect/apple_libraries_win.h"

#include "collect/log_tail_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/files/directory_win.h"
#include "platform/system/folders_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using vantrel_test::LogTail;
using vantrel_test::RemoveTree;
using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

const std::vector<std::wstring> kAll = {L"ASL.dll",   L"CoreFoundation.dll", L"pthreadVC2.dll",
                                        L"zlib1.dll", L"libdispatch.dll",    L"CFNetwork.dll",
                                        L"objc.dll",  L"libicuin.dll",       L"libicuuc.dll"};

std::string LibraryBytes(const std::wstring& name) {
    return "MZ" + EncodeUtf8(name) + std::string("\0\x90\xFF", 3) + std::string(4096 + name.size(), '\x5A');
}

// What was collected, by name below the working folder.
std::map<std::wstring, std::string> Collected(const TCollected& collected) {
    return vantrel_test::CollectedContents(collected);
}

TEST(AppleLibraries, TakesWhatIsThereAndLogsTheFirstLibraryOnly) {
    struct Case {
        const char* name;
        bool folder;
        std::vector<std::wstring> present;  // in the source folder
        std::vector<std::wstring> locked;   // present but held open by another
        std::vector<std::wstring> log;
    };
    const Case cases[] = {
        {"all nine", true, kAll, {}, {L"-1"}},
        {"some", true, {L"ASL.dll", L"zlib1.dll", L"libicuuc.dll", L"unlisted.dll"}, {}, {L"-1"}},
        {"without ASL.dll", true, {L"CoreFoundation.dll", L"objc.dll"}, {}, {}},
        {"empty folder", true, {}, {}, {}},
        {"ASL.dll locked", true, {L"ASL.dll", L"objc.dll"}, {L"ASL.dll"}, {L"0"}},
        {"another library locked", true, {L"ASL.dll", L"objc.dll"}, {L"objc.dll"}, {L"-1"}},
        {"no Apple folder", false, {}, {}, {L"SrcPath not exists"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder root(L"apple");
        const std::wstring source = root.Path() + L"Apple\\Apple Application Support";
        const std::wstring in_source = source + L"\\";
        if (c.folder) ForceDirectories(source);
        for (const auto& name : c.present) WriteFileBytes(in_source + name, LibraryBytes(name));
        std::vector<ScopedFileHandle> holders;
        for (const auto& name : c.locked) {
            holders.emplace_back(
                ::CreateFileW((in_source + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holders.back().Valid());
        }
        LogTail log;

        TCollected collected;
        CollectAppleLibrariesFrom(source, collected);

        std::map<std::wstring, std::string> expected;
        for (const auto& name : c.present) {
            const bool listed = std::find(kAll.begin(), kAll.end(), name) != kAll.end();
            const bool locked = std::find(c.locked.begin(), c.locked.end(), name) != c.locked.end();
            if (listed && !locked) expected[L"iTunesDll\\" + name] = LibraryBytes(name);
        }
        EXPECT_EQ(Collected(collected), expected);
        for (const TCollectedFile& file : collected.Files()) {
            EXPECT_EQ(file.Source, in_source + ExtractFileName(file.Name));
            EXPECT_EQ(file.Stage, L"Apple libraries");
        }
        EXPECT_EQ(log.NewLines(), c.log);
    }
}

// The tool's own wiring: the 32-bit common program files folder as the
// source, whatever the temporary folder is; nothing is written anywhere.
TEST(AppleLibraries, FromCommonProgramFilesWritingNothing) {
    const std::wstring common = AppFrame().GetFolder(16);
    ASSERT_FALSE(common.empty());
    const std::wstring apple = common + L"\\Apple";
    ASSERT_FALSE(DirectoryExists(apple)) << "the test prefix has no Apple folder of its own";
    const std::wstring source = apple + L"\\Apple Application Support";
    WriteFileBytes(source + L"\\ASL.dll", LibraryBytes(L"ASL.dll"));
    WriteFileBytes(source + L"\\libicuin.dll", LibraryBytes(L"libicuin.dll"));
    TempFolder temp(L"apple temp");
    wchar_t saved_tmp[MAX_PATH + 1] = {};
    ::GetEnvironmentVariableW(L"TMP", saved_tmp, MAX_PATH);
    ::SetEnvironmentVariableW(L"TMP", temp.Path().c_str());
    LogTail log;

    TCollected collected;
    CollectAppleLibraries(collected);

    ::SetEnvironmentVariableW(L"TMP", saved_tmp);
    const std::map<std::wstring, std::string> taken = Collected(collected);
    collected.Clear();
    RemoveTree(apple);
    EXPECT_TRUE(vantrel_test::TreeOf(temp.Path()).empty());
    EXPECT_EQ(taken,
              (std::map<std::wstring, std::string>{{L"iTunesDll\\ASL.dll", LibraryBytes(L"ASL.dll")},
                                                   {L"iTunesDll\\libicuin.dll", LibraryBytes(L"libicuin.dll")}}));
    EXPECT_EQ(log.NewLines(), std::vector<std::wstring>{L"-1"});
}

}  // namespace
}  // namespace vantrel
