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
#include "platform/files/replace_win.h"
#include "platform/files/safe_paths.h"
#include "platform/files/user_data_win.h"
#include "platform/system/folders_win.h"

#include <map>
#include <memory>
#include <set>
#include <vector>

namespace vantrel {

namespace {

// Attributes a copy keeps (hidden and system copies stay out of the archive,
// read-only ones are marked so in it).
const DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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

// The folders of the working folder this collection writes in, each made
// and opened once.
using TOpenFolders = std::map<std::wstring, ScopedFileHandle>;

// Writes a copy of the open `source` (the file `file`) at `target`
// (extended-length, in the working folder), with the source's attributes and
// times. An older copy there is replaced by a complete new one. A file that
// cannot be read to its end (a locked range), or a copy that cannot be
// written, is left out with its line.
void WriteCopy(const TCheckedEntry& source, const std::wstring& file, const std::wstring& target,
               TOpenFolders& folders) {
    const std::wstring folder = ExtractFilePath(target);
    auto found = folders.find(folder);
    if (found == folders.end()) {
        if (!DirectoryExists(folder)) ForceDirectories(folder);
        found = folders.emplace(folder, OpenFolderToWriteIn(folder, false)).first;
    }
    if (!found->second) {
        RecordFailure(kStage, L"Cannot write the copy of " + file, ::GetLastError());
        return;
    }
    DWORD attributes = source.Info.dwFileAttributes & kCopiedAttributes;
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    TReplacement copy(found->second.Get(), ExtractFileName(target), attributes);
    if (!copy.Valid()) {
        RecordFailure(kStage, L"Cannot write the copy of " + file, copy.Error());
        return;
    }
    bool read_failed = false;
    if (!CopyOpenFileContent(source.Handle.Get(), copy.File(), &read_failed)) {
        RecordFailure(kStage, (read_failed ? L"Cannot read file " : L"Cannot write the copy of ") + file,
                      ::GetLastError());
        return;
    }
    ::SetFileTime(copy.File(), &source.Info.ftCreationTime, &source.Info.ftLastAccessTime,
                  &source.Info.ftLastWriteTime);
    if (!copy.Commit()) RecordFailure(kStage, L"Cannot write the copy of " + file, copy.Error());
}

// The product folders of one collection, each opened once, and the rights
// they are read with: the application-data folder's own, the others'.
class TProductReader {
public:
    TProductReader(const TUserRights& rights, const std::wstring& app_data_dir, const TUserRights& app_data_rights)
        : rights_(rights), app_data_key_(KeyOf(app_data_dir)), app_data_rights_(app_data_rights) {}

    // Copies `file` (a full path below the plan's root) to its place below
    // the plan's target root. The source is opened with the user's rights;
    // the copy is written with the run's own.
    void Copy(const TPatternPlan& plan, const std::wstring& file) {
        const std::wstring below_root = RelativePath(FullPath(plan.Root), file);
        const std::wstring below_base = RelativePath(FullPath(plan.BaseFolder), file);
        // A target that would leave its target root is never written.
        if (!IsPlainRelativePath(below_base) || !IsPlainRelativePath(below_root)) return;
        if (plan.Wildcard && IsExcludedFromWildcard(ExtractFileName(below_base))) return;
        TCheckedEntry source;
        DWORD open_error = ERROR_SUCCESS;
        {
            const TUserRights& rights = RightsFor(plan.Root);
            TActAsUser as_user(rights);
            if (!as_user.Ready()) return;  // never read with more than the user's rights
            const TUserDataFolder* root = Root(plan.Root);
            if (root == nullptr) return;
            ::SetLastError(ERROR_SUCCESS);
            source = root->OpenFile(below_root);
            if (!source.Handle) open_error = ::GetLastError();
        }
        if (!source.Handle) {
            // A missing file is no failure; one that is there but cannot be
            // read (another program holds it, or access is denied) is
            // recorded and left out.
            if (IsReadRefusal(open_error)) RecordFailure(kStage, L"Cannot open file " + file, open_error);
            return;
        }
        WriteCopy(source, file, ExtendedLengthPath(FullPath(plan.TargetRoot)) + below_base, folders_made_);
    }

    // Lists the entries of `pattern`, a folder below the product folder
    // `root` and a wildcard, with the user's rights. Without them nothing
    // bounds the listing: the folder must then lie where its path says, so
    // that a link there lists no other account's names, which would reach
    // the log.
    void List(const std::wstring& root, const std::wstring& pattern, bool folders, TStringList& list) {
        const TUserRights& rights = RightsFor(root);
        TActAsUser as_user(rights);
        if (!as_user.Ready()) return;
        if (!rights.BoundByUser()) {
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

private:
    static std::wstring KeyOf(const std::wstring& folder) {
        return folder.empty() ? folder : UpperCaseText(IncludeTrailingBackslash(FullPath(folder)));
    }

    const TUserRights& RightsFor(const std::wstring& root) const {
        return KeyOf(root) == app_data_key_ ? app_data_rights_ : rights_;
    }

    const TUserDataFolder* Root(const std::wstring& root) {
        const std::wstring key = KeyOf(root);
        auto found = roots_.find(key);
        if (found == roots_.end()) {
            found =
                roots_.emplace(key, std::unique_ptr<TUserDataFolder>(new TUserDataFolder(root, RightsFor(root)))).first;
        }
        return found->second->Valid() ? found->second.get() : nullptr;
    }

    const TUserRights& rights_;
    const std::wstring app_data_key_;
    const TUserRights& app_data_rights_;
    std::map<std::wstring, std::unique_ptr<TUserDataFolder>> roots_;
    TOpenFolders folders_made_;
};

void CollectMatches(TProductReader& reader, const TPatternPlan& plan, const std::wstring& path) {
    // A failure outside one file's copy leaves out the rest of this pattern.
    ContainFailure(kStage, [&] {
        TStringList files;
        reader.List(plan.Root, path, false, files);
        WriteLog(path);
        WriteLog(DecimalText(static_cast<std::uint64_t>(files.size())));
        for (const auto& file : files) {
            WriteLog(file);
            // A file that fails is left out; the next one is tried.
            ContainFailure(kStage, [&] { reader.Copy(plan, file); });
        }
    });
}

void CollectOne(TProductReader& reader, const std::wstring& pattern, const TProductFolders& folders,
                const std::wstring& work_dir) {
    const TPatternPlan plan = PlanProductPattern(pattern, folders, work_dir);
    if (!plan.Collect) return;
    const std::wstring path = FullPath(plan.Path);
    if (plan.Wildcard) {
        CollectMatches(reader, plan, path);
    } else {
        reader.Copy(plan, path);
    }
}

// The whole collection; an error leaves it at once.
void CollectAll(const TProductFolders& folders, const std::wstring& work_dir, const TUserRights& rights,
                const TUserRights& app_data_rights) {
    const TLogBatch log_lines;  // a line for every file: the log stays open for the collection
    ScopedFsRedirectionOff redirection;
    TProductReader reader(rights, folders.AppDataDir, app_data_rights);
    for (std::size_t row = 0; row < kProductFilePatternCount; ++row) {
        CollectOne(reader, kProductFilePatterns[row], folders, work_dir);
    }
    if (folders.AppDataDir.empty()) return;
    TStringList devices;
    reader.List(folders.AppDataDir, HandsetVaultFolder(folders.AppDataDir) + L"*.*", true, devices);
    for (const auto& device : devices) {
        CollectOne(reader, HandsetVaultPattern(ExtractFileName(device)), folders, work_dir);
    }
}

}  // namespace

// A failure ends the collection; what was copied stays.
void CollectProductFiles(const TProductFolders& folders, const std::wstring& work_dir, const TUserRights& rights,
                         const TUserRights& app_data_rights) {
    ContainFailure(kStage, [&] { CollectAll(folders, work_dir, rights, app_data_rights); });
}

void CollectProductFiles(const TProductFolders& folders, const std::wstring& work_dir, const TUserRights& rights) {
    CollectProductFiles(folders, work_dir, rights, rights);
}

void ListMatchingFiles(const std::wstring& pattern, TStringList& list) { ListEntries(pattern, false, list); }

void ListSubfolders(const std::wstring& pattern, TStringList& list) { ListEntries(pattern, true, list); }

}  // namespace vantrel
