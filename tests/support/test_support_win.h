// Helpers shared by the Windows tests that run under Wine.
#pragma once

#include "platform/base/handles_win.h"
#include "platform/base/win.h"
#include "platform/files/collected_file_win.h"

#include <map>
#include <string>
#include <vector>

// The Windows tests also build as 64-bit programs, for machines whose Wine
// cannot start 32-bit ones (scripts/test.sh). What only a 32-bit process on
// 64-bit Windows meets (registry and file-system redirection, a 2 GiB address
// space) is skipped there and runs as 32-bit code in the emulated guest
// (scripts/guest.py); the shipped tool is always the 32-bit program.
#ifdef _WIN64
#define VANTREL_SKIP_WITHOUT_WOW64() \
    GTEST_SKIP() << "built as a 64-bit program here, no WOW64: run as 32-bit code in the emulated guest"
constexpr bool kUnderWow64 = false;
#else
#define VANTREL_SKIP_WITHOUT_WOW64() static_cast<void>(0)
constexpr bool kUnderWow64 = true;
#endif

namespace vantrel_test {

// A fresh, empty folder below the temporary folder, removed with everything
// in it when the object goes away. The path ends with a backslash.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& name_hint = L"t");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// Writes a file (creating missing folders); throws on failure.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Reads a whole file; throws on failure.
std::string ReadFileBytes(const std::wstring& path);
// What each collected file holds, read through its handle as the packer
// reads it (from its start, up to its recorded size; the handle is left at
// its start again), by its name below the working folder; throws when a
// read fails.
std::map<std::wstring, std::string> CollectedContents(const vantrel::TCollected& collected);
// Removes a folder tree (no shell).
void RemoveTree(const std::wstring& path);
// The folder holding the built fixture programs, as a Windows path with a
// trailing backslash.
std::wstring FixtureDir();
// A Unix path (from the environment) as a Windows path through drive Z:.
std::wstring UnixToWindowsPath(const std::string& unix_path);
// A unique name part for keys and folders of one test run.
std::wstring UniqueSuffix();
// Makes `link` a link to `target` the way a user of the machine could, from
// the Unix side under Wine (Windows programs there cannot make links): a
// symbolic link, which Wine shows as a junction for a folder and not at all
// for a file, or with `hard` a second name of the file. True when it exists.
bool MakeLink(const std::wstring& link, const std::wstring& target, bool hard = false);
// Removes the link `link` itself (from the Unix side, where Wine's own
// calls would act on what it points to).
bool RemoveLink(const std::wstring& link);
// Maps drive `letter` to `folder` as another volume would be (in the
// prefix's folder of drive letters, from the Unix side), and removes it.
bool MapDriveLetter(wchar_t letter, const std::wstring& folder);
bool UnmapDriveLetter(wchar_t letter);
// Every file and folder below `folder` (with a trailing backslash), as paths
// relative to it, folders with a trailing backslash; links are not entered.
std::vector<std::wstring> TreeOf(const std::wstring& folder);

// Another process holding the file `path` open without sharing (the fixture
// program file_locker) until this object goes away.
class LockerProcess {
public:
    explicit LockerProcess(const std::wstring& path);
    ~LockerProcess();
    LockerProcess(const LockerProcess&) = delete;
    LockerProcess& operator=(const LockerProcess&) = delete;
    // True once the other process holds the file.
    bool Holding() const { return holding_; }

private:
    std::wstring name_;
    vantrel::ScopedKernelHandle ready_, done_, process_;
    bool holding_ = false;
};

}  // namespace vantrel_test
