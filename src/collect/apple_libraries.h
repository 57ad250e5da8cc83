// Pure rules of the Apple support library capture: the libraries, in the
// order they are copied, and the two folders.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

struct TAppleLibrary {
    const wchar_t* Name;  // appended to a folder path; begins with a backslash
    bool LogResult;       // the copy's result goes to the log
};

extern const TAppleLibrary kAppleLibraries[];
extern const std::size_t kAppleLibraryCount;

// The source folder below the common program files folder (with or without
// its trailing backslash); empty text when that folder is unknown (empty).
std::wstring AppleSourceFolder(const std::wstring& common_files_dir);
// The destination below the working folder (with its trailing backslash);
// empty text when the working folder is unknown (empty).
std::wstring AppleDestinationFolder(const std::wstring& work_dir);

// The log line for a copy result: "-1" when it succeeded, "0" when it failed.
std::wstring CopyResultText(bool copied);

}  // namespace vantrel
