// Packing with several compressing threads: different files are deflated
// at the same time while the calling thread writes the archive in the order
// of selection, so the archive is byte for byte the one a single thread
// writes.
#pragma once

#include "zip/zip_archive.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

// A selected file: its path and its stored name.
struct TSelectedFile {
    std::wstring Path;
    TEncodedName Name;
};

// Packs `files` in order into `builder`, one file at a time. A file that
// vanished or cannot be opened is passed over.
void PackSequentially(const std::vector<TSelectedFile>& files, TArchiveBuilder& builder);

// Packs `files` in order into `builder` at `level` with `threads`
// compressing threads (falling back to fewer, down to packing on the calling
// thread, when threads cannot be started). Compressed output waiting for
// the writer is held in memory up to `budget` bytes, and up to a quarter of
// that more for the file being written; a thread that would exceed it waits.
// Failures of any file pass on as packing one file at a time would raise
// them.
void PackInParallel(const std::vector<TSelectedFile>& files, TArchiveBuilder& builder, int level, unsigned threads,
                    std::size_t budget);

}  // namespace vantrel
