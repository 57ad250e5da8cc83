#include "collect/product_files_win.h"

#include "log/log_win.h"
#include "platform/base/contain_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/text_win.h"
#include "platform/base/wow64_win.h"
#include "platform/files/directory_win.h"
#include "platform/files/find_entries_win.h"
#include "platform/files/links_win.h"
#include "platform/files/safe_paths.h"
#include "platform/files/user_data_win.h"
#include "platform/system/folders_win.h"

#include <exception>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace vantrel {

namespace {

const wchar_t kStage[] = L"product files";

// The errors of a file that is there but cannot be read.
bool IsReadRefusal(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Appends the entries matching `pattern` that are folders (`folders`) or
// files; links are left out. The pattern is listed in its extended-length
// form, the paths appended in the form it was given.
void ListEntries(const std::wstring& pattern, bool folders, TStringList& list) {
    const std::wstring folder = ExtractFilePath(pattern);
    const std::wstring listed_folder = ExtendedLengthPath(folder);
    TFindEntries find(listed_folder + ExtractFileName(pattern));
    WIN32_FIND_DATAW data;
    while (find.Next(data)) {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (IsLinkEntry(data, listed_folder + name)) continue;
        const bool is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (is_folder == folders) list.push_back(folder + name);
    }
}

// One file of a pattern and how its open went.
struct TOpenedFile {
    std::wstring File;  // its full path, as listed or as the pattern names it
    std::wstring Name;  // below the working folder; empty when the rules leave it out
    TCheckedEntry Source;
    DWORD Error = ERROR_SUCCESS;  // why it did not open
    std::exception_ptr Failure;   // what left its open, if anything
};

// What reading one pattern with the user's rights gave.
struct TPatternRead {
    std::vector<TOpenedFile> Files;
    std::exception_ptr Failure;  // what ended the pattern (its listing), if anything
};

// The product folders of one collection, each opened once, and the rights
// they are read with: the application-data folder's own, the others'.
class TProductReader {
public:
    TProductReader(const TUserRights& rights, const std::wstring& app_data_dir, const TUserRights& app_data_rights)
        : rights_(rights), app_data_key_(KeyOf(app_data_dir)), app_data_rights_(app_data_rights) {}

    // Lists `path` (a wildcard pattern) or takes it as one file, and opens
    // every file, all while acting once with the rights of the plan's root.
    // Nothing is written meanwhile; what failed is handed back.
    TPatternRead Read(const TPatternPlan& plan, const std::wstring& path) {
        TPatternRead read;
        TActAsUser as_user(RightsFor(plan.Root));
        if (!as_user.Ready()) return read;  // never read with more than the user's rights
        try {
            TStringList files;
            if (plan.Wildcard) {
                List(plan.Root, path, false, files);
            } else {
                files.push_back(path);
            }
            read.Files.resize(files.size());
            for (std::size_t i = 0; i < files.size(); ++i) {
                read.Files[i].File = files[i];
                // A file that fails is left out; the next one is tried.
                try {
                    Open(plan, read.Files[i]);
                } catch (...) {
                    read.Files[i].Failure = std::current_exception();
                }
            }
        } catch (...) {
            read.Failure = std::current_exception();
        }
        return read;
    }

    // Lists the entries of `pattern`, a folder below the product folder
    // `root` and a wildcard, with the user's rights. Without them nothing
    // bounds the listing: the folder must then lie where its path says, so
    // that a link there lists no other account's names, which would reach
    // the log.
    void ListAsUser(const std::wstring& root, const std::wstring& pattern, bool folders, TStringList& list) {
        TActAsUser as_user(RightsFor(root));
        if (as_user.Ready()) List(root, pattern, folders, list);
    }

private:
    static std::wstring KeyOf(const std::wstring& folder) {
        return folder.empty() ? folder : UpperCaseText(IncludeTrailingBackslash(FullPath(folder)));
    }

    const TUserRights& RightsFor(const std::wstring& root) const {
        return KeyOf(root) == app_data_key_ ? app_data_rights_ : rights_;
    }

    // Called while acting with the root's rights.
    const TUserDataFolder* Root(const std::wstring& root) {
        const std::wstring key = KeyOf(root);
        auto found = roots_.find(key);
        if (found == roots_.end()) {
            found =
                roots_.emplace(key, std::unique_ptr<TUserDataFolder>(new TUserDataFolder(root, RightsFor(root)))).first;
        }
        return found->second->Valid() ? found->second.get() : nullptr;
    }

    // Called while acting with the root's rights.
    void List(const std::wstring& root, const std::wstring& pattern, bool folders, TStringList& list) {
        if (!RightsFor(root).BoundByUser()) {
            const TUserDataFolder* data = Root(root);
            const std::wstring folder = RelativePath(ExcludeTrailingBackslash(FullPath(root)),
                                                     ExcludeTrailingBackslash(ExtractFilePath(FullPath(pattern))));
            if (data == nullptr || (!folder.empty() && !IsPlainRelativePath(folder)) ||
                !data->FolderLiesBelow(folder)) {
                return;
            }
        }
        ListEntries(pattern, folders, list);
    }

    // Opens `opened.File` (a full path below the plan's root) for its place
    // below the plan's target root; called while acting with the root's
    // rights.
    void Open(const TPatternPlan& plan, TOpenedFile& opened) {
        const std::wstring below_root = RelativePath(FullPath(plan.Root), opened.File);
        const std::wstring below_base = RelativePath(FullPath(plan.BaseFolder), opened.File);
        // A name that would leave its target root is never taken.
        if (!IsPlainRelativePath(below_base) || !IsPlainRelativePath(below_root)) return;
        if (plan.Wildcard && IsExcludedFromWildcard(ExtractFileName(below_base))) return;
        const TUserDataFolder* root = Root(plan.Root);
        if (root == nullptr) return;
        opened.Name = plan.TargetRoot + below_base;
        ::SetLastError(ERROR_SUCCESS);
        opened.Source = root->OpenFile(below_root);
        if (!opened.Source.Handle) opened.Error = ::GetLastError();
    }

    const TUserRights& rights_;
    const std::wstring app_data_key_;
    const TUserRights& app_data_rights_;
    std::map<std::wstring, std::unique_ptr<TUserDataFolder>> roots_;
};

// Leaves the line of a failure stored while the user's rights were in force.
void RecordStoredFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (...) {
        RecordCurrentFailure(kStage);
    }
}

// Keeps what the open of one file gave, with the run's own rights again: a
// missing file is no failure; one that is there but cannot be read (another
// program holds it, or access is denied) is recorded and left out.
void Keep(TOpenedFile& opened, TCollected& collected) {
    if (opened.Failure) {
        RecordStoredFailure(opened.Failure);
        return;
    }
    if (opened.Name.empty()) return;
    if (!opened.Source.Handle) {
        if (IsReadRefusal(opened.Error)) RecordFailure(kStage, L"Cannot open file " + opened.File, opened.Error);
        return;
    }
    TCollectedFile file;
    file.Name = opened.Name;
    file.Source = opened.File;
    file.Stage = kStage;
    file.Handle = std::move(opened.Source.Handle);
    TakeFileFacts(file, opened.Source.Info);
    collected.Add(std::move(file));
}

void CollectOne(TProductReader& reader, const std::wstring& pattern, const TProductFolders& folders,
                TCollected& collected) {
    // The names are made relative to the working folder itself.
    const TPatternPlan plan = PlanProductPattern(pattern, folders, std::wstring());
    if (!plan.Collect) return;
    const std::wstring path = FullPath(plan.Path);
    TPatternRead read = reader.Read(plan, path);
    if (read.Failure) {
        // A failure outside one file's open leaves out the rest of this
        // pattern.
        RecordStoredFailure(read.Failure);
        return;
    }
    if (plan.Wildcard) {
        WriteLog(path);
        WriteLog(DecimalText(static_cast<std::uint64_t>(read.Files.size())));
    }
    for (TOpenedFile& opened : read.Files) {
        if (plan.Wildcard) WriteLog(opened.File);
        Keep(opened, collected);
    }
}

// The whole collection; an error leaves it at once.
void CollectAll(const TProductFolders& folders, const TUserRights& rights, const TUserRights& app_data_rights,
                TCollected& collected) {
    const TLogBatch log_lines;  // a line for every file: the log stays open for the collection
    ScopedFsRedirectionOff redirection;
    TProductReader reader(rights, folders.AppDataDir, app_data_rights);
    for (std::size_t row = 0; row < kProductFilePatternCount; ++row) {
        CollectOne(reader, kProductFilePatterns[row], folders, collected);
    }
    if (folders.AppDataDir.empty()) return;
    TStringList devices;
    reader.ListAsUser(folders.AppDataDir, HandsetVaultFolder(folders.AppDataDir) + L"*.*", true, devices);
    for (const auto& device : devices) {
        CollectOne(reader, HandsetVaultPattern(ExtractFileName(device)), folders, collected);
    }
}

}  // namespace

// A failure ends the collection; what was collected stays.
void CollectProductFiles(const TProductFolders& folders, const TUserRights& rights, const TUserRights& app_data_rights,
                         TCollected& collected) {
    ContainFailure(kStage, [&] { CollectAll(folders, rights, app_data_rights, collected); });
}

void CollectProductFiles(const TProductFolders& folders, const TUserRights& rights, TCollected& collected) {
    CollectProductFiles(folders, rights, rights, collected);
}

void ListMatchingFiles(const std::wstring& pattern, TStringList& list) { ListEntries(pattern, false, list); }

void ListSubfolders(const std::wstring& pattern, TStringList& list) { ListEntries(pattern, true, list); }

}  // namespace vantrel
