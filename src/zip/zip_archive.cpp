#include "zip/zip_archive.h"

#include "platform/base/errors.h"

namespace vantrel {

std::uint64_t ReadLimitFor(std::uint64_t size) {
    return LocalHeaderReservesZip64(size) ? UINT64_MAX : kLocalZip64Threshold;
}

TArchiveBuilder::TArchiveBuilder(TArchiveSink& sink, int level) : sink_(sink), level_(level) {}

void TArchiveBuilder::BeginEntry(const TMemberInfo& member) {
    TZipHeaderInfo h;
    h.Name = member.Name.Bytes;
    h.VersionMadeBy = member.Name.Utf8 ? kVersionMadeByUtf8 : kVersionMadeBy;
    h.Flags = member.Name.Utf8 ? kFlagUtf8Name : 0;
    h.DosDateTime = member.DosDateTime;
    h.ExternalAttributes = member.Attributes;
    h.UncompressedSize = member.Size;
    h.Crc32 = 0xFFFFFFFFu;
    h.HeaderOffset = sink_.Size();
    h.LocalZip64 = LocalHeaderReservesZip64(member.Size);
    h.VersionNeeded = VersionNeededFor(h);
    const std::string header = LocalHeaderRecord(h);
    sink_.Write(header.data(), header.size());
    current_ = h;
    appended_ = 0;
    open_ = true;
}

std::uint64_t TArchiveBuilder::ReadLimit() const { return ReadLimitFor(current_.UncompressedSize); }

void TArchiveBuilder::Append(const char* data, std::size_t size) {
    sink_.Write(data, size);
    appended_ += size;
}

void TArchiveBuilder::EndEntry(const TPackedData& packed) {
    if (!open_ || packed.Written != appended_) throw EToolError("error");
    TZipHeaderInfo& h = current_;
    h.Crc32 = packed.Crc32;
    h.UncompressedSize = packed.Read;
    h.CompressedSize = appended_;
    if (level_ > 7) h.Flags |= kFlagMaximumCompression;
    // Sizes the local header cannot describe would make an entry that
    // disagrees with its data; the read limit keeps this from happening.
    if (!h.LocalZip64 && (NeedsZip64(h.UncompressedSize) || NeedsZip64(h.CompressedSize))) {
        throw EToolError("error");
    }
    h.VersionNeeded = VersionNeededFor(h);
    const std::string header = LocalHeaderRecord(h);
    sink_.Overwrite(h.HeaderOffset, header.data(), header.size());
    entries_.push_back(h);
    open_ = false;
}

void TArchiveBuilder::AbandonEntry() {
    if (!open_) return;
    sink_.Truncate(current_.HeaderOffset);
    open_ = false;
}

void TArchiveBuilder::PackEntry(const TMemberInfo& member, TPieceReader& reader) {
    BeginEntry(member);
    try {
        if (PacksInPieces(member.Size)) {
            EndEntry(PackMemberInPieces(reader, level_, ReadLimit(), *this));
        } else {
            EndEntry(PackMember(reader, level_, ReadLimit(), *this));
        }
    } catch (const EMemberUnreadable&) {
        AbandonEntry();
    }
}

void TArchiveBuilder::Finish() {
    const std::uint64_t directory_offset = sink_.Size();
    std::string block;
    for (const TZipHeaderInfo& h : entries_) {
        block += CentralHeaderRecord(h);
        if (block.size() >= (1u << 16)) {
            sink_.Write(block.data(), block.size());
            block.clear();
        }
    }
    if (!block.empty()) sink_.Write(block.data(), block.size());
    const std::uint64_t directory_size = sink_.Size() - directory_offset;
    const std::string end = EndRecords(entries_.size(), directory_size, directory_offset);
    sink_.Write(end.data(), end.size());
}

}  // namespace vantrel
