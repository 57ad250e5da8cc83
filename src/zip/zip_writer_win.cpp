#include "zip/zip_writer.h"

#include "platform/base/file_io_win.h"
#include "platform/base/text_win.h"
#include "platform/base/win.h"
#include "platform/files/collected_file_win.h"
#include "platform/files/safe_paths.h"
#include "zip/dir_search_win.h"
#include "zip/zip_files_win.h"
#include "zip/zip_threads_win.h"

#include <algorithm>
#include <map>
#include <set>

namespace vantrel {

namespace {

const unsigned kMaxThreads = 8;

unsigned ProcessorCount() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return std::max<unsigned>(1, info.dwNumberOfProcessors);
}

bool IsAbsolutePath(const std::wstring& path) {
    return (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
}

}  // namespace

void TZipWriter::SetStorePaths(bool value) {
    store_paths_ = value;
    if (!value) relative_paths_ = false;
}

void TZipWriter::SetRelativePaths(bool value) {
    relative_paths_ = value;
    if (value) {
        store_paths_ = true;
        Recurse = true;
    }
}

void TZipWriter::SetRootDir(const std::wstring& folder) {
    root_dir_ = folder.empty() ? folder : IncludeTrailingBackslash(folder);
}

namespace {

// Whether a file with `found` attributes is packed.
bool Selected(const TZipWriter& writer, DWORD found) {
    if (!writer.IncludeHiddenFiles && (found & FILE_ATTRIBUTE_HIDDEN)) return false;
    if (!writer.IncludeSysFiles && (found & FILE_ATTRIBUTE_SYSTEM)) return false;
    if (!writer.IncludeReadOnlyFiles && (found & FILE_ATTRIBUTE_READONLY)) return false;
    return writer.IncludeArchiveFiles || (found & FILE_ATTRIBUTE_ARCHIVE) == 0;
}

// A selected file and the key it is ordered by: its path below the root,
// upper-cased.
struct TOrderedFile {
    std::wstring Key;
    TSelectedFile File;
};

// The files walked, the collected and the late ones together, in the order
// of a walk of one folder holding them all; a collected or late file takes
// the place of a walked one of the same name.
std::vector<TSelectedFile> WithCollected(const TZipWriter& writer, std::vector<TSelectedFile> walked) {
    const std::wstring& root = writer.RootDir();
    const std::wstring upper_root = UpperCaseText(root);
    std::map<std::wstring, TSelectedFile> by_key;
    for (TSelectedFile& file : walked) {
        const std::wstring below = UpperCaseText(file.Path).compare(0, root.size(), upper_root) == 0
                                       ? file.Path.substr(root.size())
                                       : file.Path;
        by_key[UpperCaseText(below)] = std::move(file);
    }
    const std::vector<TCollectedFile> none;
    for (const TCollectedFile& collected : writer.Collected != nullptr ? *writer.Collected : none) {
        if (!Selected(writer, collected.Attributes)) continue;
        const std::wstring path = root + collected.Name;
        const std::wstring name = ArchiveEntryName(root, path, writer.StorePaths(), writer.RelativePaths());
        by_key[UpperCaseText(collected.Name)] =
            TSelectedFile{path, EncodeEntryName(name, writer.OEMConvert, SystemNameCodePages()), false, &collected};
    }
    if (writer.Late != nullptr) {
        for (const TLateFile& late : *writer.Late) {
            const std::wstring path = root + late.Name;
            const std::wstring name = ArchiveEntryName(root, path, writer.StorePaths(), writer.RelativePaths());
            TSelectedFile file{path, EncodeEntryName(name, writer.OEMConvert, SystemNameCodePages()), false};
            file.Late = &late;
            by_key[UpperCaseText(late.Name)] = std::move(file);
        }
    }
    std::vector<TOrderedFile> ordered;
    ordered.reserve(by_key.size());
    for (auto& entry : by_key) ordered.push_back(TOrderedFile{entry.first, std::move(entry.second)});
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TOrderedFile& a, const TOrderedFile& b) { return WalkedBefore(a.Key, b.Key); });
    std::vector<TSelectedFile> files;
    files.reserve(ordered.size());
    for (TOrderedFile& file : ordered) files.push_back(std::move(file.File));
    return files;
}

// Expands the masks of `writer` into the files to pack, in walk order, the
// collected files among them.
std::vector<TSelectedFile> SelectFiles(const TZipWriter& writer) {
    DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY;
    if (writer.IncludeHiddenFiles) attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (writer.IncludeSysFiles) attributes |= FILE_ATTRIBUTE_SYSTEM;
    const std::wstring archive = UpperCaseText(FullPath(writer.ZipName));
    const std::wstring root = writer.RootDir();

    std::vector<TSelectedFile> files;
    std::set<std::wstring> seen;
    for (const std::wstring& mask : writer.FilesList) {
        std::wstring folder, pattern;
        SplitAtLastBackslash(mask, folder, pattern);
        if (folder.empty())
            folder = root;
        else if (!IsAbsolutePath(folder))
            folder.insert(0, root);
        if (pattern == L"*.*") pattern = L"*";

        TDirSearch search(folder, attributes, writer.Recurse, pattern);
        for (std::wstring path = search.Next(); !path.empty(); path = search.Next()) {
            if (path.back() == L'\\') continue;  // folders make no entries
            const DWORD found = search.LastAttributes();
            if (!Selected(writer, found)) continue;
            const std::wstring key = UpperCaseText(path);
            if (key == archive) continue;
            // Masks that overlap would list a file twice.
            if (writer.FilesList.size() > 1 && !seen.insert(key).second) continue;
            const std::wstring name = ArchiveEntryName(root, path, writer.StorePaths(), writer.RelativePaths());
            files.push_back(TSelectedFile{path, EncodeEntryName(name, writer.OEMConvert, SystemNameCodePages()),
                                          (found & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
        }
    }
    if ((writer.Collected != nullptr && !writer.Collected->empty()) ||
        (writer.Late != nullptr && !writer.Late->empty())) {
        return WithCollected(writer, std::move(files));
    }
    return files;
}

}  // namespace

int TZipWriter::Zip() {
    // The files are selected before the archive exists, so that the walk
    // never meets the archive being written.
    const std::vector<TSelectedFile> files = SelectFiles(*this);
    TArchiveFile archive(ZipName);
    TSelectedFiles members(files);
    TArchiveBuilder builder(archive, PackLevel);
    const unsigned threads = std::min(Threads == 0 ? ProcessorCount() : Threads, kMaxThreads);
    if (threads > 1 && !files.empty()) {
        TWin32PackerSync sync;
        PackInParallel(members, builder, threads, BufferBudget, sync);
    } else {
        PackSequentially(members, builder);
    }
    builder.Finish();
    archive.Keep();
    return static_cast<int>(builder.Count());
}

int ZipFolder(const std::wstring& work_dir, const std::wstring& archive) {
    return ZipFolderWithThreads(work_dir, archive, 0);
}

int ZipFolder(const std::wstring& work_dir, const std::wstring& archive, const std::vector<TCollectedFile>& collected) {
    return ZipFolderWithThreads(work_dir, archive, 0, &collected);
}

int ZipFolder(const std::wstring& work_dir, const std::wstring& archive, const std::vector<TCollectedFile>& collected,
              const std::vector<TLateFile>& late) {
    return ZipFolderWithThreads(work_dir, archive, 0, &collected, &late);
}

int ZipFolderWithThreads(const std::wstring& work_dir, const std::wstring& archive, unsigned threads,
                         const std::vector<TCollectedFile>* collected, const std::vector<TLateFile>* late) {
    TZipWriter writer;
    writer.Threads = threads;
    writer.Collected = collected;
    writer.Late = late;
    writer.FilesList.assign(1, L"*.*");
    writer.PackLevel = 9;
    writer.SetStorePaths(true);
    writer.SetRelativePaths(true);
    writer.Recurse = true;
    // Extended-length paths: names with trailing dots or spaces, device names
    // and paths over 260 characters are packed like any other.
    writer.SetRootDir(ExtendedLengthPath(FullPath(ExcludeTrailingBackslash(work_dir))));
    writer.ZipName = ExtendedLengthPath(FullPath(archive));
    return writer.Zip();
}

}  // namespace vantrel
