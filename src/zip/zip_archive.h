// Lays out an archive on a byte sink: per entry a provisional local header,
// the compressed data and the final local header written over the first,
// then the central directory and the end records. Pure code.
#pragma once

#include "platform/base/errors.h"
#include "zip/zip_deflate.h"
#include "zip/zip_format.h"
#include "zip/zip_names.h"

#include <cstdint>
#include <vector>

namespace vantrel {

// The archive file. Write appends at the end and throws
// EToolError("Not enough room to write archive") when fewer bytes than asked
// were written; Overwrite writes over bytes already written and returns to
// the end; Truncate drops everything from `size` on.
class TArchiveSink {
public:
    virtual ~TArchiveSink() = default;
    virtual void Write(const void* data, std::size_t size) = 0;
    virtual std::uint64_t Size() const = 0;
    virtual void Overwrite(std::uint64_t offset, const void* data, std::size_t size) = 0;
    virtual void Truncate(std::uint64_t size) = 0;
};

// Raised by a member's reader when that member cannot be read to its end
// and is to be passed over: its entry is taken back and packing goes on
// (the reader has left the failure's line). Any other failure of a read ends
// the packing.
class EMemberUnreadable : public EToolError {
public:
    using EToolError::EToolError;
};

// A file about to be packed, as it was when it was opened.
struct TMemberInfo {
    TEncodedName Name;
    std::uint32_t Attributes = 0;   // Windows attributes
    std::uint32_t DosDateTime = 0;  // last write, local time
    std::uint64_t Size = 0;         // the provisional uncompressed size
};

// The most uncompressed bytes an entry whose file had `size` bytes when it
// was opened may hold: a local header without a Zip64 field limits the entry
// to kLocalZip64Threshold bytes (a file that grows while read is cut there).
std::uint64_t ReadLimitFor(std::uint64_t size);

class TArchiveBuilder : public TChunkSink {
public:
    // Entries are deflated at `level` (which sets the flag of maximum
    // compression above 7).
    TArchiveBuilder(TArchiveSink& sink, int level);

    int Level() const { return level_; }

    // Starts an entry at the end of the archive: its provisional local header.
    void BeginEntry(const TMemberInfo& member);
    // ReadLimitFor the started entry.
    std::uint64_t ReadLimit() const;
    // Compressed bytes of the started entry.
    void Append(const char* data, std::size_t size) override;
    // Completes the started entry with what packing produced and lists it.
    void EndEntry(const TPackedData& packed);
    // Takes back the started entry, if any: the archive ends where it began.
    void AbandonEntry();
    // Begin, pack `reader` through this builder (cut into pieces when the
    // member is large), end; a member whose reader raises EMemberUnreadable
    // is taken back and leaves nothing.
    void PackEntry(const TMemberInfo& member, TPieceReader& reader);

    // Writes the central directory and the end records.
    void Finish();

    std::size_t Count() const { return entries_.size(); }
    const std::vector<TZipHeaderInfo>& Entries() const { return entries_; }

private:
    TArchiveSink& sink_;
    int level_;
    TZipHeaderInfo current_;
    bool open_ = false;
    std::uint64_t appended_ = 0;
    std::vector<TZipHeaderInfo> entries_;
};

}  // namespace vantrel
