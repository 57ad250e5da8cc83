#include "log/log_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/system_locale_win.h"
#include "platform/base/text.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

using vantrel_test::Printable;
using vantrel_test::ReadFileBytes;
using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

const std::string kMark("\xFF\xFE", 2);

// True when `line` is a time stamp in the log's format followed by `text`.
bool IsStampedLine(const std::wstring& line, const std::wstring& text) {
    std::wstring shape =
        L"0000-00-00 00" + UserLocale().TimeSeparator + L"00" + UserLocale().TimeSeparator + L"00.000  ";
    if (line.size() != shape.size() + text.size() || line.compare(shape.size(), text.size(), text) != 0) {
        return false;
    }
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = line[i] >= L'0' && line[i] <= L'9';
        if (shape[i] == L'0' ? !digit : line[i] != shape[i]) return false;
    }
    return true;
}

// The lines of a log file after its byte-order mark; each must end with
// CR LF, the last one included.
std::vector<std::wstring> LogLines(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.substr(0, 2), kMark) << Printable(path);
    const std::wstring text = DecodeUtf16Le(bytes.substr(2));
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

std::int64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

ScopedFileHandle HoldForWriting(const std::wstring& path) {
    return ScopedFileHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(LogManage, FirstMessageCreatesTheFileLaterOnesAppend) {
    TempFolder dir(L"log");
    TLogManage manager;
    manager.LogName = dir.Path() + L"new\\folder\\app.log";
    const std::wstring accented = L"Gr\u00fc\u00dfe \u263a";

    manager.Write(L"first");
    EXPECT_EQ(ReadFileBytes(manager.LogName).substr(0, 2), kMark);
    manager.Write(accented);
    manager.Write(L"");

    const std::vector<std::wstring> lines = LogLines(manager.LogName);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(IsStampedLine(lines[0], L"first")) << Printable(lines[0]);
    EXPECT_TRUE(IsStampedLine(lines[1], accented)) << Printable(lines[1]);
    EXPECT_TRUE(IsStampedLine(lines[2], L"")) << Printable(lines[2]);
    for (const auto& line : lines) EXPECT_EQ(line.find(L'\xFEFF'), std::wstring::npos);

    // Closed between messages: another program may take it whole.
    EXPECT_TRUE(ScopedFileHandle(::CreateFileW(manager.LogName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
                    .Valid());
}

// Within a batch the file stays open: each line is in it as soon as it is
// written and readers may read it, but no other writer may take it until the
// last (outer) batch ends.
TEST(LogManage, ABatchKeepsTheFileOpenUntilItsEnd) {
    TempFolder dir(L"log batch");
    TLogManage manager;
    manager.LogName = dir.Path() + L"app.log";
    auto take_whole = [&manager] {
        return ScopedFileHandle(::CreateFileW(manager.LogName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
            .Valid();
    };

    manager.BeginBatch();
    manager.BeginBatch();
    manager.Write(L"one");
    manager.Write(L"two");
    EXPECT_EQ(LogLines(manager.LogName).size(), 2u);
    EXPECT_FALSE(take_whole());
    manager.EndBatch();
    manager.Write(L"three");
    EXPECT_FALSE(take_whole());  // the outer batch still holds it
    manager.EndBatch();
    EXPECT_TRUE(take_whole());

    manager.Write(L"four");
    EXPECT_TRUE(take_whole());  // closed after every message again
    const std::vector<std::wstring> lines = LogLines(manager.LogName);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(IsStampedLine(lines[2], L"three")) << Printable(lines[2]);
    EXPECT_TRUE(IsStampedLine(lines[3], L"four")) << Printable(lines[3]);
}

TEST(LogManage, RotatesToTheBackupOnceTheLimitIsReached) {
    struct Case {
        std::size_t size;
        bool rotated;
    };
    const Case cases[] = {{10485760, true}, {10485759, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        TempFolder dir(L"log");
        TLogManage manager;
        manager.LogName = dir.Path() + L"app.log";
        const std::wstring backup = manager.LogName + L".bak1";
        std::string before = kMark;
        before.resize(c.size, 'x');
        WriteFileBytes(manager.LogName, before);
        WriteFileBytes(backup, "older backup");

        manager.Write(L"after");

        const std::string after = ReadFileBytes(manager.LogName);
        if (c.rotated) {
            EXPECT_TRUE(ReadFileBytes(backup) == before) << "the backup holds the full log";
            const std::vector<std::wstring> lines = LogLines(manager.LogName);
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_TRUE(IsStampedLine(lines[0], L"after"));
        } else {
            EXPECT_EQ(ReadFileBytes(backup), "older backup");
            EXPECT_TRUE(after.compare(0, before.size(), before) == 0) << "the log kept its content";
            EXPECT_TRUE(IsStampedLine(DecodeUtf16Le(after.substr(before.size())), L"after\r\n"));
        }
    }
}

TEST(LogManage, LogHeldByAnotherWriterGoesToTheNextCandidate) {
    struct Case {
        std::vector<const wchar_t*> held;
        const wchar_t* used;
    };
    const Case cases[] = {
        {{L"app.log"}, L"app_1.log"},
        {{L"app.log", L"app_1.log"}, L"app_2.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.used));
        TempFolder dir(L"log");
        std::vector<ScopedFileHandle> holders;
        for (const wchar_t* name : c.held) {
            WriteFileBytes(dir.Path() + name, kMark);
            holders.push_back(HoldForWriting(dir.Path() + name));
            ASSERT_TRUE(holders.back().Valid());
        }
        TLogManage manager;
        manager.LogName = dir.Path() + L"app.log";
        manager.Write(L"while held");

        for (const wchar_t* name : c.held) EXPECT_EQ(FileSize(dir.Path() + name), 2) << Printable(name);
        const std::vector<std::wstring> lines = LogLines(dir.Path() + c.used);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(IsStampedLine(lines[0], L"while held"));
    }
}

// Someone who can write the log's folder puts a hard link to another file
// at the log's name (a file that person could not write, in the tool's
// elevated run). The log takes the file only when it has a single name: the
// message goes to the next candidate, and the other file is neither written
// nor, when it is 10 MiB large, copied to a backup or emptied.
TEST(LogManage, HardLinkAtTheLogIsNotWrittenCopiedOrEmptied) {
    struct Case {
        const char* name;
        std::size_t size;
    };
    const Case cases[] = {{"small file", 40}, {"file at the rotation size", 10485760}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir(L"log");
        TempFolder elsewhere(L"other");
        const std::wstring victim = elsewhere.Path() + L"private.dat";
        std::string content = kMark;
        content.resize(c.size, 'p');
        WriteFileBytes(victim, content);
        const std::wstring log = dir.Path() + L"app.log";
        ASSERT_TRUE(::CreateHardLinkW(log.c_str(), victim.c_str(), nullptr));

        TLogManage manager;
        manager.LogName = log;
        manager.Write(L"not through the link");

        EXPECT_TRUE(ReadFileBytes(victim) == content) << "the linked file changed";
        EXPECT_FALSE(FileExists(log + L".bak1")) << "the linked file was copied";
        const std::vector<std::wstring> lines = LogLines(dir.Path() + L"app_1.log");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(IsStampedLine(lines[0], L"not through the link"));

        // The check sees the unsafe way: appending through the name changes
        // the linked file.
        {
            ScopedFileHandle by_name(HoldForWriting(log));
            ASSERT_TRUE(by_name.Valid());
            ::SetFilePointer(by_name.Get(), 0, nullptr, FILE_END);
            DWORD written = 0;
            ::WriteFile(by_name.Get(), "x", 1, &written, nullptr);
        }
        EXPECT_FALSE(ReadFileBytes(victim) == content);
    }
}

// A folder at the log's name is not taken either.
TEST(LogManage, FolderAtTheLogNameGoesToTheNextCandidate) {
    TempFolder dir(L"log");
    ASSERT_TRUE(::CreateDirectoryW((dir.Path() + L"app.log").c_str(), nullptr));
    TLogManage manager;
    manager.LogName = dir.Path() + L"app.log";
    manager.Write(L"beside the folder");
    EXPECT_EQ(LogLines(dir.Path() + L"app_1.log").size(), 1u);
}

// The backup is a new file: a hard link standing at the backup's name loses
// that name, and the file it shares stays as it was.
TEST(LogManage, RotationReplacesAHardLinkAtTheBackupName) {
    TempFolder dir(L"log");
    TempFolder elsewhere(L"other");
    const std::wstring victim = elsewhere.Path() + L"private.dat";
    WriteFileBytes(victim, "keep me");
    TLogManage manager;
    manager.LogName = dir.Path() + L"app.log";
    const std::wstring backup = manager.LogName + L".bak1";
    ASSERT_TRUE(::CreateHardLinkW(backup.c_str(), victim.c_str(), nullptr));
    std::string before = kMark;
    before.resize(10485760, 'x');
    WriteFileBytes(manager.LogName, before);

    manager.Write(L"after");

    EXPECT_EQ(ReadFileBytes(victim), "keep me");
    EXPECT_TRUE(ReadFileBytes(backup) == before) << "the backup holds the full log";
    EXPECT_EQ(LogLines(manager.LogName).size(), 1u);
    EXPECT_FALSE(FileExists(backup + L".new"));

    // The check sees the unsafe way: copying over the linked name writes
    // into the file it shares.
    const std::wstring second = dir.Path() + L"app.log.old";
    ASSERT_TRUE(::CreateHardLinkW(second.c_str(), victim.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(manager.LogName.c_str(), second.c_str(), FALSE));
    EXPECT_NE(ReadFileBytes(victim), "keep me");
}

TEST(LogManage, MessagesAreLostSilentlyWhereNoLogCanBeCreated) {
    TempFolder dir(L"log");
    // A file stands where the log's folder would have to be.
    WriteFileBytes(dir.Path() + L"blocker", "keep");
    TLogManage manager;
    manager.LogName = dir.Path() + L"blocker\\app.log";
    manager.Write(L"lost");
    manager.Write(L"lost too");
    EXPECT_EQ(ReadFileBytes(dir.Path() + L"blocker"), "keep");
    EXPECT_FALSE(FileExists(dir.Path() + L"blocker_1.log"));

    // The next message starts afresh.
    manager.LogName = dir.Path() + L"app.log";
    manager.Write(L"kept");
    EXPECT_EQ(LogLines(manager.LogName).size(), 1u);
}

TEST(LogObj, FileNeverWrittenIsRemoved) {
    TempFolder dir(L"log");
    const std::wstring beside_executable = ChangeFileExt(GetModulePath(), L".log");
    ::DeleteFileW(beside_executable.c_str());
    struct Case {
        std::wstring log_name;
        std::wstring file_name;
    };
    const Case cases[] = {
        {L"", beside_executable},
        {dir.Path() + L"sub\\app.log", dir.Path() + L"sub\\app.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.file_name));
        {
            TLogObj log(c.log_name);
            EXPECT_EQ(log.LogFileName(), c.file_name);
            EXPECT_TRUE(FileExists(c.file_name));
        }
        EXPECT_FALSE(FileExists(c.file_name));
    }
}

TEST(LogManage, WritersOnSeveralThreadsShareOneFile) {
    TempFolder dir(L"log");
    TLogManage manager;
    manager.LogName = dir.Path() + L"app.log";
    const int kThreads = 4;
    const int kMessages = 25;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&manager, t] {
            for (int m = 0; m < kMessages; ++m) {
                manager.Write(L"thread " + DecimalText(std::int64_t{t}) + L" message " + DecimalText(std::int64_t{m}));
            }
        });
    }
    for (auto& thread : threads) thread.join();

    std::set<std::wstring> messages;
    for (const auto& line : LogLines(manager.LogName)) {
        EXPECT_TRUE(IsStampedLine(line, line.substr(25))) << Printable(line);
        messages.insert(line.substr(25));
    }
    EXPECT_EQ(messages.size(), static_cast<std::size_t>(kThreads * kMessages));
    EXPECT_FALSE(FileExists(dir.Path() + L"app_1.log"));
}

TEST(WriteLog, GoesThroughTheProcessWideManager) {
    TempFolder dir(L"log");
    CreateLogManager();
    ASSERT_NE(LogManager(), nullptr);
    LogManager()->LogName = dir.Path() + L"app.log";
    WriteLog(L"from anywhere");
    LogManager()->LogName.clear();
    const std::vector<std::wstring> lines = LogLines(dir.Path() + L"app.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(IsStampedLine(lines[0], L"from anywhere"));
}

}  // namespace
}  // namespace vantrel
