// Compression of one archive member: the file is read in pieces, checked
// with CRC-32 and fed to zlib's raw deflate; the output leaves in pieces of
// at most one buffer. A large member is cut into pieces of a fixed size that
// are deflated one by one (each can go to another thread) and still join
// into one deflate stream. Pure code over two small interfaces.
#pragma once

#include "platform/base/crc32.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

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

    // Primes the stream with the bytes that precede its input (the last
    // 32 KiB count); only before the first Feed.
    void SetDictionary(const char* data, std::size_t size);
    void Feed(const char* data, std::size_t size, TChunkSink& sink);
    // Ends the current block with an empty stored block (a sync flush), so
    // that the output stops on a byte boundary without ending the stream,
    // and hands the output to the sink. The stream is then done with.
    void SyncFlush(TChunkSink& sink);
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

// Large members: the size of a cut piece, the dictionary that primes each
// piece after the first (the whole deflate window), and the size above which
// a member is cut. The cut follows the data alone, so whoever deflates the
// pieces, the member's bytes are the same.
const std::size_t kCutPieceSize = 1u << 20;
const std::size_t kCutDictionarySize = 32768;
const std::uint64_t kCutThreshold = 2 * static_cast<std::uint64_t>(kCutPieceSize);

// True when a member whose file had `size` bytes when it was opened is cut
// into pieces.
inline bool PacksInPieces(std::uint64_t size) { return size > kCutThreshold; }

// One piece of a cut member.
struct TMemberPiece {
    std::vector<char> Dictionary;  // the bytes just before the piece, at most kCutDictionarySize
    std::vector<char> Data;        // kCutPieceSize bytes, fewer only in the last piece
    bool Last = false;             // the piece ends the member
};

// Reads a member piece by piece, checking it with CRC-32 as it goes. A piece
// is the last when the reader has nothing after it (a byte is read ahead to
// know) or `limit` bytes have been read.
class TPieceCutter {
public:
    TPieceCutter(TPieceReader& reader, std::uint64_t limit) : reader_(reader), limit_(limit) {}
    // Reads the next piece into `piece`; call until a piece is the last.
    // Read failures pass on.
    void Next(TMemberPiece& piece);
    // The CRC-32 and the count of the member bytes handed out so far.
    std::uint32_t Crc32() const { return crc_; }
    std::uint64_t Read() const { return handed_; }

private:
    TPieceReader& reader_;
    const std::uint64_t limit_;
    std::uint64_t read_ = 0;             // bytes taken from the reader
    std::uint64_t handed_ = 0;           // bytes handed out in pieces
    std::uint32_t crc_ = kCrc32Initial;  // over the bytes handed out
    bool has_ahead_ = false;             // a byte read ahead belongs to the next piece
    char ahead_ = 0;
    std::vector<char> history_;  // the last bytes handed out, the next dictionary
};

// Deflates `piece` at `level` as a stream of its own, primed with its
// dictionary, into `sink`: a sync flush ends every piece but the last, which
// ends the stream. The outputs of a member's pieces, one after the other,
// are one raw deflate stream of the whole member.
void DeflatePiece(const TMemberPiece& piece, int level, TChunkSink& sink);

// PackMember for a cut member: its pieces deflated in order on the calling
// thread, the same bytes as deflating them on several threads.
TPackedData PackMemberInPieces(TPieceReader& reader, int level, std::uint64_t limit, TChunkSink& sink);

}  // namespace vantrel
