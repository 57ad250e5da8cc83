// The zip writer: an options object with one operation, Zip, and ZipFolder,
// the one way the report job uses it. Declared here without Windows types;
// defined in zip_writer_win.cpp.
#pragma once

#include "platform/base/text.h"
#include "zip/zip_names.h"

#include <functional>
#include <string>
#include <vector>

namespace vantrel {

struct TCollectedFile;

// A file of the packed folder that is made only when the packer reaches its
// place in the archive's order, while the members before it are packed:
// `Make` writes it in the root folder as `Name`. A file still missing then
// is passed over; what `Make` throws passes on as a failing file's error.
struct TLateFile {
    std::wstring Name;
    std::function<void()> Make;
};

class TZipWriter {
public:
    // Names or masks to pack; a mask without a folder part is searched in
    // RootDir, "*.*" matches every name.
    TStringList FilesList;
    // Deflate level 0 to 9.
    int PackLevel = 6;
    // Masks are searched in all subfolders too.
    bool Recurse = false;
    // The archive to create; an existing file or link there is replaced
    // (renamed over) only by the complete archive.
    std::wstring ZipName;
    // Whether hidden, system, read-only and archive-flagged files (for the
    // first two, folders too) are packed.
    bool IncludeHiddenFiles = false;
    bool IncludeSysFiles = false;
    bool IncludeReadOnlyFiles = true;
    bool IncludeArchiveFiles = true;
    // Code page of entry names.
    TOemConvert OEMConvert = TOemConvert::oemFlexible;
    // Compressing threads: 0 gives one per processor (at most 8), 1 packs on
    // the calling thread. The archive is the same whatever the number.
    unsigned Threads = 0;
    // With several threads: compressed bytes waiting for the writer that are
    // held in memory at most, and a quarter of that more for the file being
    // written; a large file being written holds at most this over 1 MiB of
    // its pieces (the archive is the same whatever the figure).
    std::size_t BufferBudget = 32u << 20;
    // Files collected from elsewhere (not owned), each packed from its open
    // handle as if it lay in RootDir under its name, and selected as the
    // walk would have selected it there. With any, the files walked and the
    // collected ones are packed in the order a walk of an NTFS folder
    // holding them all would meet them (WalkedBefore); a walked file of the
    // same name gives way.
    const std::vector<TCollectedFile>* Collected = nullptr;
    // Files made at their place (not owned), ordered as collected files are;
    // each is selected whatever attributes it gets.
    const std::vector<TLateFile>* Late = nullptr;

    // Entry names carry the folder part; clearing it clears RelativePaths.
    bool StorePaths() const { return store_paths_; }
    void SetStorePaths(bool value);
    // The folder part is made relative to RootDir; setting it also sets
    // StorePaths and Recurse.
    bool RelativePaths() const { return relative_paths_; }
    void SetRelativePaths(bool value);
    // The base folder, kept with one trailing backslash.
    const std::wstring& RootDir() const { return root_dir_; }
    void SetRootDir(const std::wstring& folder);

    // Writes the archive; returns the number of entries written. Throws
    // EToolError ("Not enough room to write archive" when the volume is full,
    // "error" when zlib fails, or when the archive cannot be created or a
    // file fails in the middle of a read); the unfinished archive is then
    // deleted.
    int Zip();

private:
    bool store_paths_ = true;
    bool relative_paths_ = false;
    std::wstring root_dir_;
};

// Packs everything below `work_dir` (a folder with a trailing backslash)
// into a new archive at `archive`: deflate level 9, names relative to the
// folder. Returns the number of files packed; exceptions pass on.
int ZipFolder(const std::wstring& work_dir, const std::wstring& archive);
// ZipFolder with `collected` packed as if they lay in `work_dir` under their
// names (TZipWriter::Collected).
int ZipFolder(const std::wstring& work_dir, const std::wstring& archive, const std::vector<TCollectedFile>& collected);
// ... and `late` made at their places (TZipWriter::Late).
int ZipFolder(const std::wstring& work_dir, const std::wstring& archive, const std::vector<TCollectedFile>& collected,
              const std::vector<TLateFile>& late);
// ZipFolder with a chosen number of compressing threads (TZipWriter::Threads).
int ZipFolderWithThreads(const std::wstring& work_dir, const std::wstring& archive, unsigned threads,
                         const std::vector<TCollectedFile>* collected = nullptr,
                         const std::vector<TLateFile>* late = nullptr);

}  // namespace vantrel
