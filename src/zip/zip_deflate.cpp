#include "zip/zip_deflate.h"

#include "platform/base/crc32.h"
#include "platform/base/errors.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace vantrel {

namespace {

[[noreturn]] void ThrowZlibError() { throw EToolError("error"); }

// Counts what passes to the real sink.
class TCountingSink : public TChunkSink {
public:
    explicit TCountingSink(TChunkSink& target) : target_(target) {}
    void Append(const char* data, std::size_t size) override {
        target_.Append(data, size);
        count_ += size;
    }
    std::uint64_t Count() const { return count_; }

private:
    TChunkSink& target_;
    std::uint64_t count_ = 0;
};

}  // namespace

struct TDeflateStream::TState {
    z_stream Stream{};
    std::vector<unsigned char> Output = std::vector<unsigned char>(kZipPieceSize);
    bool Open = false;
};

TDeflateStream::TDeflateStream(int level) : state_(new TState) {
    z_stream& s = state_->Stream;
    if (deflateInit2_(&s, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY, ZLIB_VERSION,
                      static_cast<int>(sizeof(z_stream))) != Z_OK) {
        ThrowZlibError();
    }
    state_->Open = true;
    s.next_out = state_->Output.data();
    s.avail_out = static_cast<uInt>(state_->Output.size());
}

TDeflateStream::~TDeflateStream() {
    if (state_->Open) deflateEnd(&state_->Stream);
}

void TDeflateStream::FlushOutput(TChunkSink& sink) {
    z_stream& s = state_->Stream;
    const std::size_t used = state_->Output.size() - s.avail_out;
    if (used > 0) sink.Append(reinterpret_cast<const char*>(state_->Output.data()), used);
    s.next_out = state_->Output.data();
    s.avail_out = static_cast<uInt>(state_->Output.size());
}

void TDeflateStream::SetDictionary(const char* data, std::size_t size) {
    if (size == 0) return;
    if (deflateSetDictionary(&state_->Stream, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(size)) != Z_OK) {
        ThrowZlibError();
    }
}

void TDeflateStream::Feed(const char* data, std::size_t size, TChunkSink& sink) {
    z_stream& s = state_->Stream;
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    s.avail_in = static_cast<uInt>(size);
    while (s.avail_in > 0) {
        if (s.avail_out == 0) FlushOutput(sink);
        if (deflate(&s, Z_NO_FLUSH) != Z_OK) ThrowZlibError();
    }
}

void TDeflateStream::SyncFlush(TChunkSink& sink) {
    z_stream& s = state_->Stream;
    s.next_in = nullptr;
    s.avail_in = 0;
    // Output space left over after a call means the flush is complete; a
    // call with nothing left to do reports Z_BUF_ERROR.
    do {
        if (s.avail_out == 0) FlushOutput(sink);
        const int result = deflate(&s, Z_SYNC_FLUSH);
        if (result != Z_OK && result != Z_BUF_ERROR) ThrowZlibError();
    } while (s.avail_out == 0);
    FlushOutput(sink);
}

void TDeflateStream::Finish(TChunkSink& sink) {
    z_stream& s = state_->Stream;
    s.next_in = nullptr;
    s.avail_in = 0;
    while (true) {
        if (s.avail_out == 0) FlushOutput(sink);
        int result = deflate(&s, Z_FINISH);
        if (result == Z_STREAM_END) break;
        if (result != Z_OK) ThrowZlibError();
    }
    FlushOutput(sink);
    state_->Open = false;
    if (deflateEnd(&s) != Z_OK) ThrowZlibError();
}

TPackedData PackMember(TPieceReader& reader, int level, std::uint64_t limit, TChunkSink& sink) {
    TDeflateStream stream(level);
    TCountingSink counted(sink);
    std::uint32_t crc = kCrc32Initial;
    std::vector<char> piece(kZipPieceSize);
    std::uint64_t read = 0;
    while (read < limit) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), limit - read));
        const std::size_t got = reader.Read(piece.data(), want);
        if (got == 0) break;
        crc = Crc32Update(crc, piece.data(), got);
        stream.Feed(piece.data(), got, counted);
        read += got;
    }
    stream.Finish(counted);
    return TPackedData{crc, read, counted.Count()};
}

void TPieceCutter::Next(TMemberPiece& piece) {
    piece.Dictionary = history_;
    std::vector<char>& data = piece.Data;
    // One byte beyond the piece tells whether anything follows it.
    const std::size_t wanted = kCutPieceSize + 1;
    data.resize(wanted);
    std::size_t filled = 0;
    if (has_ahead_) data[filled++] = ahead_;
    has_ahead_ = false;
    while (filled < wanted && read_ < limit_) {
        const auto ask =
            static_cast<std::size_t>(std::min<std::uint64_t>(std::min(wanted - filled, kZipPieceSize), limit_ - read_));
        const std::size_t got = reader_.Read(data.data() + filled, ask);
        if (got == 0) break;
        filled += got;
        read_ += got;
    }
    piece.Last = filled < wanted;
    if (!piece.Last) {
        ahead_ = data[kCutPieceSize];
        has_ahead_ = true;
        filled = kCutPieceSize;
    }
    data.resize(filled);
    crc_ = Crc32Update(crc_, data.data(), data.size());
    handed_ += data.size();
    // The next dictionary: the last bytes of what was handed out.
    if (data.size() >= kCutDictionarySize) {
        history_.assign(data.end() - kCutDictionarySize, data.end());
    } else {
        history_.insert(history_.end(), data.begin(), data.end());
        if (history_.size() > kCutDictionarySize) {
            history_.erase(history_.begin(), history_.end() - kCutDictionarySize);
        }
    }
}

void DeflatePiece(const TMemberPiece& piece, int level, TChunkSink& sink) {
    TDeflateStream stream(level);
    stream.SetDictionary(piece.Dictionary.data(), piece.Dictionary.size());
    if (!piece.Data.empty()) stream.Feed(piece.Data.data(), piece.Data.size(), sink);
    if (piece.Last) {
        stream.Finish(sink);
    } else {
        stream.SyncFlush(sink);
    }
}

TPackedData PackMemberInPieces(TPieceReader& reader, int level, std::uint64_t limit, TChunkSink& sink) {
    TPieceCutter cutter(reader, limit);
    TCountingSink counted(sink);
    TMemberPiece piece;
    do {
        cutter.Next(piece);
        DeflatePiece(piece, level, counted);
    } while (!piece.Last);
    return TPackedData{cutter.Crc32(), cutter.Read(), counted.Count()};
}

}  // namespace vantrel
