#include "collect/product_files_win.h"

#include "log/log_win.h"
#include "platform/file_io_win.h"
#include "platform/folders_win.h"
#include "platform/handles_win.h"
#include "platform/run_globals_win.h"
#include "platform/wow64_win.h"

namespace vantrel {

namespace {

// Appends the entries matching `pattern` that are folders (`folders`) or files.
void ListEntries(const std::wstring& pattern, bool folders, TStringList& list) {
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) return;
    const std::wstring folder = ExtractFilePath(pattern);
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (is_folder == folders) list.push_back(folder + name);
    } while (::FindNextFileW(find.Get(), &data));
}

// Copies `file` to its place below the plan's target root, overwriting an
// older copy; the copy's result is not examined. A file reached through a
// link is left out: the product's folders may belong to the user an elevated
// run works for, and a link there must not read another account's file into
// the archive. Likewise a target below a link is not written.
void CopyBelowTarget(const TPatternPlan& plan, const std::wstring& file) {
    const std::wstring target = FullPath(plan.TargetRoot + RelativePath(FullPath(plan.BaseFolder), file));
    if (plan.Wildcard && IsExcludedFromWildcard(ExtractFileName(target))) return;
    if (PathCrossesReparsePoint(file) || PathCrossesReparsePoint(ExtractFilePath(target))) return;
    const std::wstring folder = ExtractFilePath(target);
    if (!DirectoryExists(folder)) ForceDirectories(folder);
    ::CopyFileW(file.c_str(), target.c_str(), FALSE);
}

void CollectMatches(const TPatternPlan& plan, const std::wstring& path) {
    try {
        TStringList files;
        ListMatchingFiles(path, files);
        WriteLog(path);
        WriteLog(DecimalText(static_cast<std::uint64_t>(files.size())));
        for (const auto& file : files) {
            WriteLog(file);
            try {
                CopyBelowTarget(plan, file);
            } catch (...) {
                // This file is left out; the next one is tried.
            }
        }
    } catch (...) {
        // The rest of this pattern is left out.
    }
}

}  // namespace

void CollectProductFiles(const std::wstring& work_dir) {
    try {
        CollectProductFiles({InstallDir, ReportAppFrame().AppDataDir, UpdaterDir}, work_dir);
    } catch (...) {
        // Nothing is collected.
    }
}

void CollectProductFiles(const TProductFolders& folders, const std::wstring& work_dir) {
    ScopedFsRedirectionOff redirection;
    try {
        for (std::size_t row = 0; row < kProductFilePatternCount; ++row) {
            CollectPattern(kProductFilePatterns[row], folders, work_dir);
        }
        if (folders.AppDataDir.empty()) return;
        TStringList devices;
        ListSubfolders(HandsetVaultFolder(folders.AppDataDir) + L"*.*", devices);
        for (const auto& device : devices) {
            CollectPattern(HandsetVaultPattern(ExtractFileName(device)), folders, work_dir);
        }
    } catch (...) {
        // The collection ends here; what was copied stays.
    }
}

void CollectPattern(const std::wstring& pattern, const TProductFolders& folders, const std::wstring& work_dir) {
    const TPatternPlan plan = PlanProductPattern(pattern, folders, work_dir);
    if (!plan.Collect) return;
    const std::wstring path = FullPath(plan.Path);
    if (plan.Wildcard) {
        CollectMatches(plan, path);
    } else if (FileExists(path)) {
        CopyBelowTarget(plan, path);
    }
}

void ListMatchingFiles(const std::wstring& pattern, TStringList& list) { ListEntries(pattern, false, list); }

void ListSubfolders(const std::wstring& pattern, TStringList& list) { ListEntries(pattern, true, list); }

}  // namespace vantrel
