// Framed blocks of the setup data, and the inflate loop shared with file
// extraction.
//
// Block layout (little-endian):
//   0  uint32  Adler-32 of the 12 bytes at offsets 4..15
//   4  int32   compressed size; -1 = the data follows stored
//   8  int32   uncompressed size (must equal the size asked for)
//  12  uint32  Adler-32 of the uncompressed data
//  16  ...     a complete zlib stream, or the stored bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/io/streams.h"

namespace qv {

constexpr std::size_t kBlockHeaderSize = 16;
constexpr std::int32_t kStoredBlock = -1;
// A DecompressBlock output limit that accepts everything.
constexpr std::int32_t kNoOutputLimit = -1;
// Both buffers of one decompression run have this size.
constexpr std::size_t kDecompressBufferSize = 32000;

std::uint32_t Adler32(std::uint32_t adler, const void* data, std::size_t size);
inline std::uint32_t Adler32(const void* data, std::size_t size) { return Adler32(1, data, size); }

// Delivers up to `count` bytes into `buffer`; 0 means no more input.
using DecompressReadProc = std::function<std::size_t(std::uint8_t* buffer, std::size_t count)>;
// Accepts up to `count` bytes; fewer than `count` stops the decompression.
using DecompressWriteProc = std::function<std::size_t(const std::uint8_t* buffer, std::size_t count)>;

// The parts of one decompression run: both buffers and the inflate stream.
// A reader of many blocks lends one state to all of them: reset between
// runs, the stream is as a fresh one, without its buffers and window
// allocated again for each of 200,000 records.
class InflateState {
public:
    InflateState();
    ~InflateState();
    InflateState(const InflateState&) = delete;
    InflateState& operator=(const InflateState&) = delete;

    // DecompressStream with this state's stream and buffers.
    bool Run(const DecompressReadProc& read, const DecompressWriteProc& write, std::uint32_t& adler);

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Inflates what `read` delivers into `write`. True when the input was used
// up (then `adler` is the Adler-32 of everything written); false when
// `write` accepted fewer bytes than offered. Raises EZlibDataError for
// corrupt data, including input left over after the end of the stream, and
// EZlibInternalError for unexpected zlib results.
bool DecompressStream(const DecompressReadProc& read, const DecompressWriteProc& write,
                      std::uint32_t& adler);

// DecompressStream from `compressedSize` bytes of `source` into at most
// `maxOut` bytes of `dest` (kNoOutputLimit: no limit); `produced` receives
// the bytes written. Any other negative `maxOut` is a fault of the caller:
// EProgramFault, before anything is read. With `state`, its stream
// and buffers serve.
bool DecompressBlock(InStream& source, std::int32_t compressedSize, std::uint32_t& adler,
                     std::uint8_t* dest, std::int32_t maxOut, std::int64_t* produced = nullptr,
                     InflateState* state = nullptr);

// The 12 checked bytes in front of a block's data.
struct BlockHeader {
    std::int32_t CompressedSize = 0;  // kStoredBlock: the data follows stored
    std::int32_t UncompressedSize = 0;
    std::uint32_t DataCheck = 1;
};

// Reads one block of exactly `size` bytes into `buffer`. Raises
// EZlibDataError when a check fails; I/O errors pass as EInOutError.
void ReadBlock(InStream& file, void* buffer, std::size_t size, InflateState* state = nullptr);

// ReadBlock in two steps, for a caller that must not make room for `size`
// bytes before the block has confirmed that size: the header is read and
// checked first, then the data of that block into a buffer of
// header.UncompressedSize bytes.
BlockHeader ReadBlockHeader(InStream& file, std::size_t size);
void ReadBlockData(InStream& file, const BlockHeader& header, void* buffer, InflateState* state = nullptr);

// Writes blocks: each compressed at `level` (0-9), or stored when that is
// not larger than the compressed form. One deflate state serves every
// block, reset in between: setting one up costs far more than compressing
// a record (setup data of 100,000 files holds 200,000 blocks), and a reset
// state writes the same bytes as a fresh one.
class BlockWriter {
public:
    explicit BlockWriter(int level);
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    void Write(OutStream& file, const void* data, std::size_t size);

private:
    struct State;
    int level_;
    std::unique_ptr<State> state_;
};

// One block on its own, as BlockWriter writes it.
void WriteBlock(OutStream& file, const void* data, std::size_t size, int level);

// Throws for a zlib result other than Z_OK: std::bad_alloc when zlib was
// short of memory, EZlibInternalError otherwise (a fault of the caller or
// of zlib, never of the data).
void CheckZlib(int result);

}  // namespace qv
