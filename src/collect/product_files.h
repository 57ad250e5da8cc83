// Pure rules of the product file collection: the pattern list, the three
// placeholders with their folders, and where each copy lands below the
// working folder.
#pragma once

#include <cstddef>
#include <string>

namespace vantrel {

// The three product folders the placeholders stand for.
struct TProductFolders {
    std::wstring InstallDir;  // "%AppPath%": ends with a backslash, or empty
    std::wstring AppDataDir;  // "%AppData%": roaming application data, no trailing backslash
    std::wstring UpdaterDir;  // "%Updater%": ends with a backslash, or empty
};

// The product's files, in the order they are collected. A pattern with "*"
// names every matching file of one folder; any other names one file.
extern const wchar_t* const kProductFilePatterns[];
extern const std::size_t kProductFilePatternCount;

// What one pattern becomes for a set of folders and a working folder.
struct TPatternPlan {
    bool Collect = false;     // false: unknown placeholder, or its folder is empty
    std::wstring Path;        // the pattern with its placeholder replaced
    std::wstring Root;        // the product folder itself: nothing below it is reached through a link
    std::wstring BaseFolder;  // copies keep their path relative to this folder
    std::wstring TargetRoot;  // the working folder's sub-folder for this placeholder
    bool Wildcard = false;    // the pattern names all matching files of a folder
};

// Recognises the placeholder by the pattern's first nine characters
// (ignoring case), replaces every occurrence of it (respecting case) and
// names the base folder and target root. `work_dir` ends with a backslash.
TPatternPlan PlanProductPattern(const std::wstring& pattern, const TProductFolders& folders,
                                const std::wstring& work_dir);

// The folder whose sub-folders are the per-device folders, with a trailing
// backslash.
std::wstring HandsetVaultFolder(const std::wstring& app_data_dir);
// The wildcard pattern for the per-device folder `device`.
std::wstring HandsetVaultPattern(const std::wstring& device);

// The shortest relative path from the folder `base` to `path`; both are full
// paths, compared component by component ignoring the case of A-Z. Paths on
// different drives give `path` unchanged.
std::wstring RelativePath(const std::wstring& base, const std::wstring& path);

// True for a file name that wildcard patterns never copy ("history.txt", any case).
bool IsExcludedFromWildcard(const std::wstring& file_name);

}  // namespace vantrel
