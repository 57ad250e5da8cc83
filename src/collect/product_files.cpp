#include "collect/product_files.h"

#include "platform/base/text.h"

#include <vector>

namespace vantrel {

const wchar_t* const kProductFilePatterns[] = {
    L"%AppPath%\\Vantrel.log",
    L"%AppPath%\\VNTUpdater.log",
    L"%AppPath%\\VNTToolbox.log",
    L"%AppPath%\\MediaFetch.log",
    L"%AppPath%\\RuntimeFetch.log",
    L"%AppPath%\\crashnote.txt",
    L"%AppPath%\\Aerovell\\logs\\*.log",
    L"%AppPath%\\Faults.log",
    L"%AppPath%\\ClipScan.log",
    L"%Updater%\\Fetcher.log",
    L"%Updater%\\VNTUpdater.log",
    L"%Updater%\\update\\stageplan.spt",
    L"%AppData%\\Vantrel\\VNT\\DataBase\\*.*",
    L"%AppData%\\Vantrel\\VNT\\Sync\\*.*",
    L"%AppData%\\Vantrel\\VNT\\core.ini",
    L"%AppData%\\Vantrel\\VNT\\media.ini",
    L"%AppData%\\Vantrel\\VNT\\log\\FirstRun.log",
    L"%AppData%\\Vantrel\\VNT\\log\\Vantrel.log",
    L"%AppData%\\Vantrel\\VNT\\log\\Vantrel.log.bak1",
    L"%AppData%\\Vantrel\\VNT\\log\\Fetcher.log",
    L"%AppData%\\Vantrel\\VNT\\log\\SWEEP_ERRORS.log",
    L"%AppData%\\Vantrel\\VNT\\log\\Remarks.log",
    L"%AppData%\\Vantrel\\VNT\\Pulls.db",
};
const std::size_t kProductFilePatternCount = sizeof kProductFilePatterns / sizeof kProductFilePatterns[0];

namespace {

const wchar_t kProductDataSuffix[] = L"\\Vantrel\\VNT\\";

enum class TPlaceholder { AppPath, AppData, Updater };

// A placeholder, the folder it stands for, the base folder of relative
// paths and the working folder's sub-folder for its copies.
struct TPlaceholderRow {
    TPlaceholder Kind;
    const wchar_t* Text;
    const wchar_t* SubFolder;
};

const TPlaceholderRow kPlaceholders[] = {
    {TPlaceholder::AppPath, L"%AppPath%", L"AppPath\\"},
    {TPlaceholder::AppData, L"%AppData%", L"AppData\\"},
    {TPlaceholder::Updater, L"%Updater%", L"Updater\\"},
};

std::wstring ReplacementFor(TPlaceholder kind, const TProductFolders& folders) {
    switch (kind) {
        case TPlaceholder::AppPath: return folders.InstallDir;
        case TPlaceholder::AppData: return folders.AppDataDir;
        case TPlaceholder::Updater: return folders.UpdaterDir;
    }
    return std::wstring();
}

std::wstring BaseFolderFor(TPlaceholder kind, const TProductFolders& folders) {
    if (kind == TPlaceholder::AppData) return folders.AppDataDir + kProductDataSuffix;
    return ReplacementFor(kind, folders);
}

std::vector<std::wstring> Components(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

TPatternPlan PlanProductPattern(const std::wstring& pattern, const TProductFolders& folders,
                                const std::wstring& work_dir) {
    TPatternPlan plan;
    for (const auto& row : kPlaceholders) {
        if (!StartsWithNoCaseAscii(pattern, row.Text)) continue;
        const std::wstring folder = ReplacementFor(row.Kind, folders);
        if (folder.empty()) return plan;
        plan.Collect = true;
        plan.Path = ReplaceAll(pattern, row.Text, folder);
        plan.Root = IncludeTrailingBackslash(folder);
        plan.BaseFolder = BaseFolderFor(row.Kind, folders);
        plan.TargetRoot = work_dir + row.SubFolder;
        plan.Wildcard = pattern.find(L'*') != std::wstring::npos;
        return plan;
    }
    return plan;
}

std::wstring HandsetVaultFolder(const std::wstring& app_data_dir) {
    return app_data_dir + kProductDataSuffix + L"handset vault\\";
}

std::wstring HandsetVaultPattern(const std::wstring& device) {
    return L"%AppData%\\Vantrel\\VNT\\handset vault\\" + device + L"\\*.*";
}

std::wstring RelativePath(const std::wstring& base, const std::wstring& path) {
    const std::vector<std::wstring> from = Components(base);
    const std::vector<std::wstring> to = Components(path);
    if (from.empty() || to.empty() || !EqualsNoCaseAscii(from[0], to[0])) return path;
    std::size_t common = 0;
    while (common < from.size() && common < to.size() && EqualsNoCaseAscii(from[common], to[common])) ++common;
    std::wstring relative;
    for (std::size_t i = common; i < from.size(); ++i) relative += L"..\\";
    for (std::size_t i = common; i < to.size(); ++i) {
        relative += to[i];
        if (i + 1 < to.size()) relative += L'\\';
    }
    return relative;
}

bool IsExcludedFromWildcard(const std::wstring& file_name) { return EqualsNoCaseAscii(file_name, L"history.txt"); }

}  // namespace vantrel
