#include "zip/zip_writer.h"

#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "collect/log_tail_win.h"
#include "platform/files/collected_file_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"
#include "support/zip_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using vantrel_test::InspectZip;
using vantrel_test::ReadFileBytes;
using vantrel_test::TempFolder;
using vantrel_test::TInspectedArchive;
using vantrel_test::TInspectedEntry;
using vantrel_test::WriteFileBytes;

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

std::string LogText(std::size_t n, int seed) {
    std::string s;
    for (int line = 0; s.size() < n; ++line) {
        s += "2016-03-14 08:" + std::to_string((line + seed) % 60) + " SyncEngine step " + std::to_string(line * 7) +
             "\r\n";
    }
    s.resize(n);
    return s;
}

void SetAttributes(const std::wstring& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes)) << EncodeUtf8(path);
}

std::map<std::string, const TInspectedEntry*> ByName(const TInspectedArchive& archive) {
    std::map<std::string, const TInspectedEntry*> entries;
    for (const auto& e : archive.Entries) entries[e.Name] = &e;
    return entries;
}

std::vector<std::string> Names(const TInspectedArchive& archive) {
    std::vector<std::string> names;
    for (const auto& e : archive.Entries) names.push_back(e.Name);
    return names;
}

// A working folder the way the job leaves it, with things the writer must
// leave out.
TEST(ZipFolder, PacksVisibleFilesDepthFirstWithRelativeNames) {
    TempFolder work(L"zipsel");
    TempFolder out(L"zipsel_out");
    const std::wstring& w = work.Path();
    const std::string report = "\xFF\xFE" + std::string("V\0e\0r\0", 6);
    WriteFileBytes(w + L"Vantrel_Debug_Info.txt", report);
    WriteFileBytes(w + L"SystemInfo.txt", LogText(70000, 1));
    WriteFileBytes(w + L"AppPath\\Vantrel.log", LogText(200000, 2));
    WriteFileBytes(w + L"AppPath\\deep\\er\\empty.log", "");
    WriteFileBytes(w + L"iTunesDll\\ASL.dll", RandomBytes(5000, 3));
    WriteFileBytes(w + L"readonly.ini", "[a]\r\nb=1\r\n");
    WriteFileBytes(w + L"hidden.txt", "h");
    WriteFileBytes(w + L"system.txt", "s");
    WriteFileBytes(w + L"Hidden Folder\\inside.txt", "i");
    WriteFileBytes(w + L"System Folder\\inside.txt", "i");
    ASSERT_TRUE(::CreateDirectoryW((w + L"EmptyFolder").c_str(), nullptr));
    SetAttributes(w + L"readonly.ini", FILE_ATTRIBUTE_READONLY);
    SetAttributes(w + L"hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(w + L"system.txt", FILE_ATTRIBUTE_SYSTEM);
    SetAttributes(w + L"Hidden Folder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(w + L"System Folder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM);

    const std::wstring zip = out.Path() + L"a.zip";
    EXPECT_EQ(ZipFolder(w, zip), 6);
    SetAttributes(w + L"readonly.ini", FILE_ATTRIBUTE_NORMAL);  // so the folder can go

    TInspectedArchive a = InspectZip(ReadFileBytes(zip));
    // The walk order is the file system's, folders entered where they are met.
    std::vector<std::string> expected = {
        "AppPath/deep/er/empty.log", "AppPath/Vantrel.log", "iTunesDll/ASL.dll", "readonly.ini", "SystemInfo.txt",
        "Vantrel_Debug_Info.txt"};
    EXPECT_EQ(Names(a), expected);
    for (const auto& e : a.Entries) {
        SCOPED_TRACE(e.Name);
        EXPECT_EQ(e.Method, 8);
        EXPECT_EQ(e.Flags, 0x0002);
        EXPECT_EQ(e.VersionNeeded, 20);
        EXPECT_EQ(e.VersionMadeBy, 0x002D);
        EXPECT_EQ(e.InternalAttributes, 0);
        std::wstring path = w + DecodeUtf8(e.Name);
        for (auto& c : path) {
            if (c == L'/') c = L'\\';
        }
        EXPECT_EQ(e.Data, ReadFileBytes(path));
    }
    auto entries = ByName(a);
    EXPECT_EQ(entries["readonly.ini"]->ExternalAttributes & 0xFF, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(entries["SystemInfo.txt"]->ExternalAttributes, static_cast<std::uint32_t>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(entries["AppPath/deep/er/empty.log"]->CompressedSize, 2u);
    EXPECT_EQ(entries["AppPath/deep/er/empty.log"]->Crc32, 0u);
}

struct NameCase {
    const char* name_utf8;
    std::string stored;  // the bytes in the archive
    std::uint16_t flags;
    std::uint16_t made_by;
};

// The test prefix runs with ANSI code page 1252 and OEM code page 437.
TEST(ZipFolder, NamesOutsideTheCodePagesAreStoredInUtf8) {
    const NameCase cases[] = {
        {"plain.txt", "plain.txt", 0x0002, 0x002D},
        {"Caf\xC3\xA9.txt", "Caf\x82.txt", 0x0002, 0x002D},                                // in both: OEM byte
        {"\xE2\x82\xACuro.txt", "\xE2\x82\xACuro.txt", 0x0802, 0x0B2D},                    // 1252 only
        {"\xCE\xA9mega.txt", "\xCE\xA9mega.txt", 0x0802, 0x0B2D},                          // 437 only
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt", 0x0802, 0x0B2D},  // neither
    };
    TempFolder work(L"zipnames");
    TempFolder out(L"zipnames_out");
    for (const auto& c : cases) WriteFileBytes(work.Path() + DecodeUtf8(c.name_utf8), c.name_utf8);
    const std::wstring zip = out.Path() + L"n.zip";
    ASSERT_EQ(ZipFolder(work.Path(), zip), static_cast<int>(std::size(cases)));
    auto entries = ByName(InspectZip(ReadFileBytes(zip)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name_utf8);
        ASSERT_EQ(entries.count(c.stored), 1u);
        EXPECT_EQ(entries[c.stored]->Flags, c.flags);
        EXPECT_EQ(entries[c.stored]->VersionMadeBy, c.made_by);
        EXPECT_EQ(entries[c.stored]->Data, c.name_utf8);
    }
}

TEST(ZipFolder, EmptyFolderGivesTheEndRecordAlone) {
    TempFolder work(L"zipempty");
    TempFolder out(L"zipempty_out");
    const std::wstring zip = out.Path() + L"e.zip";
    EXPECT_EQ(ZipFolder(work.Path(), zip), 0);
    EXPECT_EQ(ReadFileBytes(zip), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

// The archive inside the folder it packs, named in another letter case, is
// not packed; an old file in its place is replaced.
TEST(ZipFolder, NeverPacksTheArchiveItselfAndReplacesAnOldOne) {
    TempFolder work(L"zipself");
    WriteFileBytes(work.Path() + L"a.txt", "a");
    WriteFileBytes(work.Path() + L"Report.ZIP", RandomBytes(100000, 9));
    EXPECT_EQ(ZipFolder(work.Path(), UpperAscii(work.Path()) + L"report.zip"), 1);
    TInspectedArchive a = InspectZip(ReadFileBytes(work.Path() + L"Report.ZIP"));
    EXPECT_EQ(Names(a), std::vector<std::string>{"a.txt"});
}

TEST(ZipFolder, ArchiveThatCannotBeCreatedRaises) {
    TempFolder work(L"zipnodir");
    WriteFileBytes(work.Path() + L"a.txt", "a");
    const std::wstring zip = work.Path() + L"missing\\a.zip";
    EXPECT_THROW(ZipFolder(work.Path(), zip), EToolError);
    EXPECT_FALSE(DirectoryExists(work.Path() + L"missing"));
}

void SetWriteTime(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    FILETIME local, utc;
    ASSERT_TRUE(::SystemTimeToFileTime(&st, &local));
    ASSERT_TRUE(::LocalFileTimeToFileTime(&local, &utc));
    ScopedFileHandle file(
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &utc));
}

TEST(ZipFolder, LastWriteTimeInLocalMsDosForm) {
    TempFolder work(L"ziptime");
    TempFolder out(L"ziptime_out");
    WriteFileBytes(work.Path() + L"a.txt", "a");
    WriteFileBytes(work.Path() + L"b.txt", "b");
    SetWriteTime(work.Path() + L"a.txt", 2016, 3, 14, 8, 30, 41);
    SetWriteTime(work.Path() + L"b.txt", 1975, 6, 1, 12, 0, 0);
    const std::wstring zip = out.Path() + L"t.zip";
    ASSERT_EQ(ZipFolder(work.Path(), zip), 2);
    auto entries = ByName(InspectZip(ReadFileBytes(zip)));
    EXPECT_EQ(entries["a.txt"]->DosDateTime, (((36u << 9) | (3u << 5) | 14u) << 16) | (8u << 11) | (30u << 5) | 20u);
    EXPECT_EQ(entries["b.txt"]->DosDateTime, 0x00210000u);  // before 1980: the format's first day
}

// The writer as ZipFolder sets it up.
TZipWriter FolderWriter(const std::wstring& work_dir, const std::wstring& zip) {
    TZipWriter writer;
    writer.FilesList.assign(1, L"*.*");
    writer.PackLevel = 9;
    writer.SetRelativePaths(true);
    writer.SetRootDir(ExcludeTrailingBackslash(work_dir));
    writer.ZipName = zip;
    return writer;
}

// A folder with files of many sizes, large ones deflated in pieces: every
// thread count and buffer budget writes the same bytes (a small budget makes
// the threads wait for the writer).
TEST(ZipWriter, ArchiveIsTheSameWhateverTheThreadsAndTheirBuffer) {
    TempFolder work(L"zipthreads");
    TempFolder out(L"zipthreads_out");
    for (int i = 0; i < 40; ++i) {
        const std::wstring folder = work.Path() + L"d" + DecimalText(static_cast<std::int64_t>(i % 5)) + L"\\";
        const std::size_t size = static_cast<std::size_t>(i) * i * 150;
        WriteFileBytes(folder + L"f" + DecimalText(static_cast<std::int64_t>(i)) + L".bin",
                       i % 3 == 0 ? RandomBytes(size, i) : LogText(size, i));
    }
    WriteFileBytes(work.Path() + L"big.log", LogText(1 << 20, 7));
    WriteFileBytes(work.Path() + L"big.bin", RandomBytes(300000, 8));
    // Deflated in pieces.
    WriteFileBytes(work.Path() + L"d2\\huge.log", LogText(5 * (1 << 20) + 7, 9));
    WriteFileBytes(work.Path() + L"zz.bin", RandomBytes(std::size_t{3} << 20, 10));
    struct Case {
        unsigned threads;
        std::size_t budget;
    };
    const Case cases[] = {{1, 32u << 20}, {2, 32u << 20}, {2, 100000}, {3, 1}, {8, 300000}};
    std::string first;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.threads) + " threads, budget " + std::to_string(c.budget));
        const std::wstring zip = out.Path() + L"t.zip";
        TZipWriter writer = FolderWriter(work.Path(), zip);
        writer.Threads = c.threads;
        writer.BufferBudget = c.budget;
        EXPECT_EQ(writer.Zip(), 44);
        const std::string bytes = ReadFileBytes(zip);
        if (first.empty()) {
            first = bytes;
            EXPECT_EQ(InspectZip(bytes).Entries.size(), 44u);
        } else {
            EXPECT_TRUE(bytes == first);
        }
    }
}

TEST(ZipFolder, FileHeldWithoutSharingByAnotherProcessIsPassedOver) {
    for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(threads);
        TempFolder work(L"ziplock");
        TempFolder out(L"ziplock_out");
        WriteFileBytes(work.Path() + L"a.txt", "a");
        WriteFileBytes(work.Path() + L"locked.db", RandomBytes(1000, 1));
        WriteFileBytes(work.Path() + L"z.txt", "z");
        const std::wstring zip = out.Path() + L"l.zip";
        {
            vantrel_test::LockerProcess locker(work.Path() + L"locked.db");
            ASSERT_TRUE(locker.Holding());
            EXPECT_EQ(ZipFolderWithThreads(work.Path(), zip, threads), 2);
        }
        EXPECT_EQ(Names(InspectZip(ReadFileBytes(zip))), (std::vector<std::string>{"a.txt", "z.txt"}));
    }
}

struct OptionCase {
    const char* what;
    void (*set)(TZipWriter& writer);
    std::vector<std::string> names;
};

// The options beyond what ZipFolder sets shape the selection and the names.
TEST(ZipWriter, OptionsShapeTheSelectionAndTheNames) {
    const OptionCase cases[] = {
        {"as ZipFolder", [](TZipWriter&) {}, {"a.txt", "r.log", "sub/b.log"}},
        {"hidden files and folders",
         [](TZipWriter& w) { w.IncludeHiddenFiles = true; },
         {"a.txt", "h.txt", "HiddenDir/c.txt", "r.log", "sub/b.log"}},
        {"system files", [](TZipWriter& w) { w.IncludeSysFiles = true; }, {"a.txt", "r.log", "s.txt", "sub/b.log"}},
        {"no read-only files", [](TZipWriter& w) { w.IncludeReadOnlyFiles = false; }, {"a.txt", "sub/b.log"}},
        // every file of the test prefix carries the archive attribute
        {"no files with the archive attribute", [](TZipWriter& w) { w.IncludeArchiveFiles = false; }, {}},
        {"a mask", [](TZipWriter& w) { w.FilesList.assign(1, L"*.LOG"); }, {"r.log", "sub/b.log"}},
        {"a mask in a subfolder", [](TZipWriter& w) { w.FilesList.assign(1, L"sub\\*.*"); }, {"sub/b.log"}},
        {"overlapping masks",
         [](TZipWriter& w) {
             w.FilesList = {L"*.log", L"*.*"};
         },
         {"r.log", "sub/b.log", "a.txt"}},
        {"no recursion",
         [](TZipWriter& w) {
             w.SetRelativePaths(false);
             w.Recurse = false;
             w.SetStorePaths(false);
         },
         {"a.txt", "r.log"}},
        {"file names only", [](TZipWriter& w) { w.SetStorePaths(false); }, {"a.txt", "r.log", "b.log"}},
    };
    TempFolder work(L"zipoptions");
    TempFolder out(L"zipoptions_out");
    WriteFileBytes(work.Path() + L"a.txt", "a");
    WriteFileBytes(work.Path() + L"r.log", "r");
    WriteFileBytes(work.Path() + L"h.txt", "h");
    WriteFileBytes(work.Path() + L"s.txt", "s");
    WriteFileBytes(work.Path() + L"sub\\b.log", "b");
    WriteFileBytes(work.Path() + L"HiddenDir\\c.txt", "c");
    SetAttributes(work.Path() + L"r.log", FILE_ATTRIBUTE_READONLY);
    SetAttributes(work.Path() + L"h.txt", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(work.Path() + L"s.txt", FILE_ATTRIBUTE_SYSTEM);
    SetAttributes(work.Path() + L"HiddenDir", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    const std::wstring zip = out.Path() + L"o.zip";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TZipWriter writer = FolderWriter(work.Path(), zip);
        c.set(writer);
        EXPECT_EQ(writer.Zip(), static_cast<int>(c.names.size()));
        EXPECT_EQ(Names(InspectZip(ReadFileBytes(zip))), c.names);
    }
    SetAttributes(work.Path() + L"r.log", FILE_ATTRIBUTE_NORMAL);
}

// Without relative paths the name keeps the whole folder, without drive;
// with oemNever every name is UTF-8.
TEST(ZipWriter, AbsoluteFoldersAndUtf8Always) {
    TempFolder work(L"zipabsolute");
    TempFolder out(L"zipabsolute_out");
    WriteFileBytes(work.Path() + L"a.txt", "a");
    const std::wstring zip = out.Path() + L"o.zip";
    TZipWriter writer = FolderWriter(work.Path(), zip);
    writer.SetRelativePaths(false);
    writer.OEMConvert = TOemConvert::oemNever;
    ASSERT_EQ(writer.Zip(), 1);
    const TInspectedArchive a = InspectZip(ReadFileBytes(zip));
    std::wstring expected = work.Path().substr(3) + L"a.txt";  // past "X:\\"
    for (auto& c : expected) {
        if (c == L'\\') c = L'/';
    }
    EXPECT_EQ(a.Entries.at(0).Name, EncodeUtf8(expected));
    EXPECT_EQ(a.Entries.at(0).Flags, 0x0802);
    EXPECT_EQ(a.Entries.at(0).VersionMadeBy, 0x0B2D);
}

// zlib refuses a level outside 0 to 9: the failure comes from the thread
// that compresses, reaches the caller as "error", and no archive is left.
TEST(ZipWriter, ZlibFailureEndsZipAndLeavesNoArchive) {
    TempFolder work(L"zipzlib");
    TempFolder out(L"zipzlib_out");
    WriteFileBytes(work.Path() + L"a.txt", LogText(100000, 1));
    WriteFileBytes(work.Path() + L"b.txt", LogText(100000, 2));
    const std::wstring zip = out.Path() + L"z.zip";
    for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(threads);
        TZipWriter writer = FolderWriter(work.Path(), zip);
        writer.PackLevel = 10;
        writer.Threads = threads;
        try {
            writer.Zip();
            ADD_FAILURE() << "no exception";
        } catch (const EToolError& e) {
            EXPECT_STREQ(e.what(), "error");
        }
        EXPECT_FALSE(FileExists(zip));
    }
}

// A product file collected the way the job collects it: opened for reading
// while others go on writing it, its size, time and attributes taken from
// the handle at that moment.
TCollectedFile CollectFile(const std::wstring& source, const std::wstring& name, DWORD access = GENERIC_READ) {
    TCollectedFile file;
    file.Name = name;
    file.Source = source;
    file.Stage = L"product files";
    file.Handle.Reset(::CreateFileW(source.c_str(), access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    EXPECT_TRUE(file.Handle.Valid() && ::GetFileInformationByHandle(file.Handle.Get(), &info)) << EncodeUtf8(source);
    TakeFileFacts(file, info);
    return file;
}

// Packing collected files from their handles gives, byte for byte, the
// archive that copying them into the working folder and packing the folder
// gives: the same entries in the same order, names, times, attributes
// (read-only marked, hidden left out) and data, whatever the threads.
TEST(ZipFolder, CollectedFilesPackAsTheirCopiesWould) {
    TempFolder product(L"zipcollected_product");
    TempFolder work(L"zipcollected_work");
    TempFolder copies(L"zipcollected_copies");
    TempFolder out(L"zipcollected_out");
    struct Seed {
        const wchar_t* source;  // below the product folder
        const wchar_t* name;    // below the working folder
        std::string bytes;
        DWORD attributes;
    };
    const Seed seeds[] = {
        {L"Vantrel.log", L"AppPath\\Vantrel.log", LogText(400000, 1), 0},
        {L"Aerovell\\logs\\b.log", L"AppPath\\Aerovell\\logs\\b.log", LogText(3000, 2), 0},
        {L"Aerovell\\logs\\A.log", L"AppPath\\Aerovell\\logs\\A.log", "", 0},
        {L"huge.log", L"AppPath\\huge.log", LogText(5 * (1 << 20) + 3, 3), 0},  // deflated in pieces
        // A folder before a file its name begins: the backslash is no character of the order.
        {L"logs\\x.log", L"AppPath\\logs\\x.log", LogText(500, 11), 0},
        {L"logs-old.txt", L"AppPath\\logs-old.txt", LogText(600, 12), 0},
        {L"roaming\\core.ini", L"AppData\\core.ini", "[core]\r\n", FILE_ATTRIBUTE_READONLY},
        {L"roaming\\cache.db", L"AppData\\DataBase\\cache.db", RandomBytes(5000, 4), FILE_ATTRIBUTE_HIDDEN},
        {L"roaming\\main.db", L"AppData\\DataBase\\main.db", RandomBytes(70000, 5), 0},
        {L"roaming\\\u00e9t\u00e9.db", L"AppData\\DataBase\\\u00e9t\u00e9.db", RandomBytes(100, 6), 0},
        {L"roaming\\A\\a1.bin", L"AppData\\handset vault\\A\\a1.bin", RandomBytes(2 << 20, 7), 0},
        {L"ASL.dll", L"iTunesDll\\ASL.dll", RandomBytes(9000, 8), 0},
        {L"Fetcher.log", L"Updater\\Fetcher.log", LogText(1000, 9), 0},
    };
    WriteFileBytes(work.Path() + L"Vantrel_Debug_Info.txt", "\xFF\xFE" + std::string("V\0", 2));
    WriteFileBytes(work.Path() + L"SystemInfo.txt", LogText(7000, 10));
    TCollected collected;
    for (const Seed& seed : seeds) {
        const std::wstring source = product.Path() + seed.source;
        WriteFileBytes(source, seed.bytes);
        if (seed.attributes != 0) SetAttributes(source, seed.attributes);
        collected.Add(CollectFile(source, seed.name));
        // The copy-then-pack way: the working folder with copies in it.
        const std::wstring copy = copies.Path() + seed.name;
        ForceDirectories(ExtractFilePath(copy));
        ASSERT_TRUE(::CopyFileW(source.c_str(), copy.c_str(), FALSE)) << EncodeUtf8(copy);
    }
    for (const wchar_t* name : {L"Vantrel_Debug_Info.txt", L"SystemInfo.txt"}) {
        ASSERT_TRUE(::CopyFileW((work.Path() + name).c_str(), (copies.Path() + name).c_str(), FALSE));
    }

    // The third way: "SystemInfo.txt" made only when the packer reaches it
    // (a copy keeps the time), while the members before it are packed.
    TempFolder late_work(L"zipcollected_late");
    ASSERT_TRUE(::CopyFileW((work.Path() + L"Vantrel_Debug_Info.txt").c_str(),
                            (late_work.Path() + L"Vantrel_Debug_Info.txt").c_str(), FALSE));
    std::uint64_t packed_before_made = 0;
    const std::vector<TLateFile> late = {
        {L"SystemInfo.txt", [&] {
             for (const std::wstring& name : vantrel_test::TreeOf(out.Path())) {
                 if (name.find(L"late") != std::wstring::npos) {
                     WIN32_FILE_ATTRIBUTE_DATA data = {};
                     if (::GetFileAttributesExW((out.Path() + name).c_str(), GetFileExInfoStandard, &data)) {
                         packed_before_made += data.nFileSizeLow;
                     }
                 }
             }
             ASSERT_TRUE(::CopyFileW((work.Path() + L"SystemInfo.txt").c_str(),
                                     (late_work.Path() + L"SystemInfo.txt").c_str(), FALSE));
         }}};

    for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const std::wstring copied = out.Path() + L"copied.zip";
        const std::wstring from_handles = out.Path() + L"from handles.zip";
        const std::wstring made_late = out.Path() + L"late.zip";
        EXPECT_EQ(ZipFolderWithThreads(copies.Path(), copied, threads), 14);
        EXPECT_EQ(ZipFolderWithThreads(work.Path(), from_handles, threads, &collected.Files()), 14);
        ::DeleteFileW((late_work.Path() + L"SystemInfo.txt").c_str());
        packed_before_made = 0;
        EXPECT_EQ(ZipFolderWithThreads(late_work.Path(), made_late, threads, &collected.Files(), &late), 14);
        const std::string bytes = ReadFileBytes(from_handles);
        EXPECT_TRUE(bytes == ReadFileBytes(copied));
        EXPECT_TRUE(bytes == ReadFileBytes(made_late));
        // One thread writes each member before opening the next: the
        // members before "SystemInfo.txt" (a 2 MB random file among them) were
        // in the archive.
        if (threads == 1) {
            EXPECT_GT(packed_before_made, 1u << 20);
        }
        const std::vector<std::string> names = Names(InspectZip(bytes));
        EXPECT_EQ(names.front(), "AppData/core.ini");
        EXPECT_EQ(std::count(names.begin(), names.end(), "AppData/DataBase/cache.db"), 0);
    }
    for (const Seed& seed : seeds) {
        ::SetFileAttributesW((copies.Path() + seed.name).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::SetFileAttributesW((product.Path() + seed.source).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// A late file that is not there when its place comes is passed over; one
// whose making fails fails the packing, and no archive is left.
TEST(ZipFolder, ALateFileNotMadeIsPassedOverAndOneThatFailsFailsThePacking) {
    TempFolder work(L"ziplate_work");
    TempFolder out(L"ziplate_out");
    WriteFileBytes(work.Path() + L"a.txt", "a");
    WriteFileBytes(work.Path() + L"z.txt", "z");
    const std::vector<TCollectedFile> none;
    for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const std::vector<TLateFile> missing = {{L"m.txt", [] {}}};
        const std::wstring zip = out.Path() + L"out.zip";
        EXPECT_EQ(ZipFolderWithThreads(work.Path(), zip, threads, &none, &missing), 2);
        EXPECT_EQ(Names(InspectZip(ReadFileBytes(zip))), (std::vector<std::string>{"a.txt", "z.txt"}));
        ::DeleteFileW(zip.c_str());
        const std::vector<TLateFile> failing = {{L"m.txt", [] { throw EToolError("cannot make it"); }}};
        EXPECT_THROW(ZipFolderWithThreads(work.Path(), zip, threads, &none, &failing), EToolError);
        EXPECT_EQ(vantrel_test::TreeOf(out.Path()), std::vector<std::wstring>());
    }
}

// A collected file is packed as it was when collected: what it grew by
// since is not read. One whose read fails is passed over with its line,
// its entry taken back, and the others pack as if it had never been there.
TEST(ZipFolder, CollectedFilesAsTheyWereAndOneThatCannotBeReadPassedOver) {
    for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        TempFolder product(L"zipgrown_product");
        TempFolder work(L"zipgrown_work");
        TempFolder out(L"zipgrown_out");
        const std::string before = LogText(3 << 20, 1);
        WriteFileBytes(product.Path() + L"growing.log", before);
        WriteFileBytes(product.Path() + L"refused.db", RandomBytes(2 << 20, 2));  // large: read in pieces
        WriteFileBytes(product.Path() + L"z.log", LogText(5000, 3));
        WriteFileBytes(work.Path() + L"Vantrel_Debug_Info.txt", "report");

        TCollected collected, without;
        for (TCollected* set : {&collected, &without}) {
            set->Add(CollectFile(product.Path() + L"growing.log", L"AppPath\\growing.log"));
            // Open without read access: every read of it fails, as one of a
            // range another program locked does on Windows.
            if (set == &collected) set->Add(CollectFile(product.Path() + L"refused.db", L"AppPath\\refused.db", 0));
            set->Add(CollectFile(product.Path() + L"z.log", L"AppPath\\z.log"));
        }
        {
            // The product goes on writing.
            ScopedFileHandle writer(::CreateFileW((product.Path() + L"growing.log").c_str(), FILE_APPEND_DATA,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                  nullptr));
            ASSERT_TRUE(writer.Valid());
            DWORD written = 0;
            ASSERT_TRUE(::WriteFile(writer.Get(), "appended later\r\n", 16, &written, nullptr));
        }

        vantrel_test::LogTail log;
        const std::wstring zip = out.Path() + L"g.zip";
        EXPECT_EQ(ZipFolderWithThreads(work.Path(), zip, threads, &collected.Files()), 3);

        const TInspectedArchive archive = InspectZip(ReadFileBytes(zip));
        EXPECT_EQ(Names(archive),
                  (std::vector<std::string>{"AppPath/growing.log", "AppPath/z.log", "Vantrel_Debug_Info.txt"}));
        auto entries = ByName(archive);
        EXPECT_TRUE(entries["AppPath/growing.log"]->Data == before);
        EXPECT_EQ(entries["AppPath/z.log"]->Data, LogText(5000, 3));
        const std::vector<std::wstring> lines = log.NewLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(StartsWith(
            lines[0], L"Error: product files: Cannot read file " + product.Path() + L"refused.db (Windows error 5: "))
            << vantrel_test::Printable(lines[0]);

        // The same archive as without the refused file at all.
        const std::wstring plain = out.Path() + L"plain.zip";
        EXPECT_EQ(ZipFolderWithThreads(work.Path(), plain, threads, &without.Files()), 3);
        EXPECT_TRUE(ReadFileBytes(plain) == ReadFileBytes(zip));
    }
}

}  // namespace
}  // namespace vantrel
