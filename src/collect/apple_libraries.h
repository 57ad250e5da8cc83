// Pure rules of the Apple support library capture: the libraries, in the
// order they are taken, the source folder and the names they are packed under.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

struct TAppleLibrary {
    const wchar_t* Name;  // appended to a folder path; begins with a backslash
    bool LogResult;       // whether it could be taken goes to the log
};

extern const TAppleLibrary kAppleLibraries[];
extern const std::size_t kAppleLibraryCount;

// The source folder below the common program files folder (with or without
// its trailing backslash); empty text when that folder is unknown (empty).
std::wstring AppleSourceFolder(const std::wstring& common_files_dir);
// The name `library` is packed under, below the working folder:
// "iTunesDll\" and the library's name.
std::wstring AppleCollectedName(const TAppleLibrary& library);

// The log line for a copy result: "-1" when it succeeded, "0" when it failed.
std::wstring CopyResultText(bool copied);

}  // namespace vantrel
