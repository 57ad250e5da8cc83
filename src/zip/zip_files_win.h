// File access of the zip writer: the archive file, the files it packs, and
// the system's code pages for entry names.
#pragma once

#include "platform/base/handles_win.h"
#include "platform/files/collected_file_win.h"
#include "platform/files/replace_win.h"
#include "zip/zip_archive.h"
#include "zip/zip_parallel.h"
#include "zip/zip_writer.h"

#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// The archive being written: a new file under a random name beside its
// name (TReplacement), renamed over the name by Keep once complete, which
// replaces a file or a link there as a name and never writes through it.
// Unless Keep is called, the destructor deletes the new file.
class TArchiveFile : public TArchiveSink {
public:
    // Throws EToolError when the file cannot be created.
    explicit TArchiveFile(const std::wstring& path);
    TArchiveFile(const TArchiveFile&) = delete;
    TArchiveFile& operator=(const TArchiveFile&) = delete;

    void Write(const void* data, std::size_t size) override;
    std::uint64_t Size() const override { return size_; }
    void Overwrite(std::uint64_t offset, const void* data, std::size_t size) override;
    void Truncate(std::uint64_t size) override;

    // Closes the finished archive and gives it its name.
    void Keep();

private:
    void WriteAll(const void* data, std::size_t size);
    void Seek(std::uint64_t offset);

    std::wstring path_;
    ScopedFileHandle folder_;
    std::unique_ptr<TReplacement> file_;
    std::uint64_t size_ = 0;
};

// A file to pack, opened for reading only while others may go on reading
// and writing it.
class TSourceFile : public TPieceReader {
public:
    // False when the file no longer exists or cannot be opened. A link put
    // in its place after the walk is opened as itself, which holds no data;
    // a file the walk listed as another reparse point (`reparse_point`) is
    // read through its filter.
    bool Open(const std::wstring& path, bool reparse_point);
    // What the open file says now: attributes, size, last write time as
    // MS-DOS local time (0xFFFFFFFF when it cannot be read).
    TMemberInfo Describe(const TEncodedName& name) const;
    // Throws EToolError when a read fails.
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    std::wstring path_;
    ScopedFileHandle file_;
};

// A collected file read through its open handle, from its start (where
// TSelectedFiles puts it) up to the size it had when it was collected: what it grew by since
// is not read. A read that fails leaves the failure's line under the file's
// stage and raises EMemberUnreadable: the file is passed over.
class TCollectedSource : public TPieceReader {
public:
    explicit TCollectedSource(const TCollectedFile& file) : file_(file), left_(file.Size) {}
    TMemberInfo Describe(const TEncodedName& name) const;
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    const TCollectedFile& file_;
    std::uint64_t left_;
};

// A selected file: its path and its stored name; a collected file is read
// through its handle instead of its path.
struct TSelectedFile {
    std::wstring Path;
    TEncodedName Name;
    bool ReparsePoint = false;  // the walk's listing showed a reparse point (no link)
    const TCollectedFile* Collected = nullptr;
    const TLateFile* Late = nullptr;  // made at Path when opened
};

// The selected files as the packer opens them.
class TSelectedFiles : public TMemberSource {
public:
    explicit TSelectedFiles(const std::vector<TSelectedFile>& files) : files_(files) {}
    std::size_t Count() const override { return files_.size(); }
    std::unique_ptr<TPieceReader> Open(std::size_t index, TMemberInfo& member) override;

private:
    const std::vector<TSelectedFile>& files_;
};

// The ANSI and OEM code pages of the system.
const TNameCodePages& SystemNameCodePages();

}  // namespace vantrel
