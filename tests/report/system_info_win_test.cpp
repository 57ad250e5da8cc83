#include "report/system_info_win.h"

#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "platform/files/directory_win.h"
#include "platform/files/find_entries_win.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::ReadFileBytes;
using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

TEST(IsFileBusy, BusyWhileMissingOrHeldByAWriter) {
    TempFolder dir(L"busy");
    const std::wstring path = dir.Path() + L"raw.txt";
    EXPECT_TRUE(IsFileBusy(path));  // not created yet
    WriteFileBytes(path, "output");

    struct Case {
        const char* name;
        DWORD access;
        DWORD share;
        bool busy;
    };
    const Case cases[] = {
        {"nobody holds it", 0, 0, false},
        {"a reader that lets others write", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {"a writer", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {"a reader that lets nobody write", GENERIC_READ, FILE_SHARE_READ, true},
        {"an exclusive holder", GENERIC_READ, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedFileHandle holder;
        if (c.access != 0) {
            holder.Reset(::CreateFileW(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holder.Valid());
        }
        EXPECT_EQ(IsFileBusy(path), c.busy);
    }
}

// Wine's own systeminfo prints nothing: the saved file holds the header lines
// only, and the raw output leaves no trace in the temporary folder.
TEST(SaveSystemInfo, CommandWithoutOutputGivesTheHeaderOnly) {
    TempFolder temp(L"sysinfo temp");
    TempFolder work(L"sysinfo work");
    wchar_t saved_tmp[MAX_PATH + 1] = {};
    ::GetEnvironmentVariableW(L"TMP", saved_tmp, MAX_PATH);
    ::SetEnvironmentVariableW(L"TMP", temp.Path().c_str());
    SaveSystemInfo(work.Path());
    ::SetEnvironmentVariableW(L"TMP", saved_tmp);

    const std::string bytes = ReadFileBytes(work.Path() + L"SystemInfo.txt");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    const std::wstring text = DecodeUtf16Le(bytes.substr(2));
    const std::size_t first_end = text.find(L"\r\n");
    ASSERT_NE(first_end, std::wstring::npos);
    EXPECT_GT(first_end, 0u);  // the date and time
    EXPECT_EQ(text.substr(first_end), L"\r\n\r\n===== System =====\r\n");

    EXPECT_TRUE(FindEntries(temp.Path() + L"*.txt").empty()) << "raw output left in the temporary folder";
    // The raw output lived in the working folder and is gone from it too.
    EXPECT_EQ(vantrel_test::TreeOf(work.Path()), std::vector<std::wstring>{L"SystemInfo.txt"});
}

// A capture started ahead of its collection owns its raw output file from
// the start; whether it is collected or dropped unread, the file is gone
// afterwards, and something already at the path is left alone.
TEST(SystemInfoCapture, TheRawOutputGoesWhetherCollectedOrDropped) {
    TempFolder work(L"sysinfo early");
    const std::wstring raw = work.Path() + L"SystemInfo_20240131094502071.txt";
    {
        TSystemInfoCapture dropped(raw, 60000);
        EXPECT_TRUE(dropped.Running());
        EXPECT_EQ(vantrel_test::TreeOf(work.Path()), std::vector<std::wstring>{ExtractFileName(raw)});
    }
    EXPECT_EQ(vantrel_test::TreeOf(work.Path()), std::vector<std::wstring>{});

    TSystemInfoCapture collected(raw, 60000);
    EXPECT_EQ(collected.Collect().size(), 3u);  // the header lines (Wine's own command prints nothing)
    EXPECT_FALSE(collected.Running());
    EXPECT_EQ(vantrel_test::TreeOf(work.Path()), std::vector<std::wstring>{});

    WriteFileBytes(raw, "planted");
    {
        TSystemInfoCapture refused(raw, 60000);
        EXPECT_FALSE(refused.Running());
        EXPECT_EQ(refused.Collect().size(), 3u);
    }
    EXPECT_EQ(ReadFileBytes(raw), "planted");
}

}  // namespace
}  // namespace vantrel
