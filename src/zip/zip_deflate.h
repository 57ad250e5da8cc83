// Compression of one archive member: the file is read in pieces, checked
// with CRC-32 and fed to zlib's raw deflate; the output leaves in pieces of
// at most one buffer. Pure code over two small interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vantrel {

// The size of a read piece and of the output buffer.
const std::size_t kZipPieceSize = 65535;

// Where member bytes come from. Read returns 0 at the end and throws
// EToolError when the source cannot be read.
class TPieceReader {
public:
    virtual ~TPieceReader() = default;
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// Where compressed bytes go, in order.
class TChunkSink {
public:
    virtual ~TChunkSink() = default;
    virtual void Append(const char* data, std::size_t size) = 0;
};

// A raw deflate stream (no zlib wrapper) at `level`, method 8, window bits
// -15, memory level 8, default strategy. Output collects in a buffer of
// kZipPieceSize bytes that goes to the sink whenever it is full and at the
// end. zlib failures throw EToolError("error").
class TDeflateStream {
public:
    explicit TDeflateStream(int level);
    ~TDeflateStream();
    TDeflateStream(const TDeflateStream&) = delete;
    TDeflateStream& operator=(const TDeflateStream&) = delete;

    void Feed(const char* data, std::size_t size, TChunkSink& sink);
    // Ends the stream and hands the rest of the output to the sink.
    void Finish(TChunkSink& sink);

private:
    struct TState;
    void FlushOutput(TChunkSink& sink);
    std::unique_ptr<TState> state_;
};

// What packing one member produced.
struct TPackedData {
    std::uint32_t Crc32 = 0;
    std::uint64_t Read = 0;     // uncompressed bytes
    std::uint64_t Written = 0;  // compressed bytes
};

// Reads `reader` to its end (or up to `limit` bytes) in pieces of at most
// kZipPieceSize bytes, deflates at `level` into `sink`.
TPackedData PackMember(TPieceReader& reader, int level, std::uint64_t limit, TChunkSink& sink);

}  // namespace vantrel
