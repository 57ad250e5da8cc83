#include "zip/zip_deflate.h"

#include "platform/errors.h"
#include "platform/crc32.h"

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

void TDeflateStream::Feed(const char* data, std::size_t size, TChunkSink& sink) {
    z_stream& s = state_->Stream;
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    s.avail_in = static_cast<uInt>(size);
    while (s.avail_in > 0) {
        if (s.avail_out == 0) FlushOutput(sink);
        if (deflate(&s, Z_NO_FLUSH) != Z_OK) ThrowZlibError();
    }
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

}  // namespace vantrel
