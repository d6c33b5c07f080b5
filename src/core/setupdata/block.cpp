#include "core/setupdata/block.h"

#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "core/bytes.h"
#include "core/errors.h"

namespace qv {

std::uint32_t Adler32(std::uint32_t adler, const void* data, std::size_t size) {
    const auto* p = static_cast<const Bytef*>(data);
    // zlib takes uInt lengths: feed large spans in pieces.
    while (size > 0) {
        const uInt n = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        adler = static_cast<std::uint32_t>(adler32(adler, p, n));
        p += n;
        size -= n;
    }
    return adler;
}

namespace {

// zlib allocates through the program's allocator and gets null, not an
// exception, when memory is short. It never needs zeroed memory: clearing
// the 32 KB window of each of 200,000 record blocks would cost more than
// reading them.
voidpf ZAlloc(voidpf, uInt items, uInt size) {
    if (size != 0 && items > static_cast<std::size_t>(-1) / size) return nullptr;
    return std::malloc(static_cast<std::size_t>(items) * size);
}
void ZFree(voidpf, voidpf block) { std::free(block); }

}  // namespace

void CheckZlib(int result) {
    if (result == Z_OK) return;
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    throw EZlibInternalError(result);
}

struct InflateState::Parts {
    // Not cleared: every byte is written before it is read.
    std::unique_ptr<std::uint8_t[]> Input{new std::uint8_t[kDecompressBufferSize]};
    std::unique_ptr<std::uint8_t[]> Output{new std::uint8_t[kDecompressBufferSize]};
    z_stream Stream{};
    bool Started = false;
    ~Parts() {
        if (Started) inflateEnd(&Stream);
    }
};

InflateState::InflateState() : parts_(std::make_unique<Parts>()) {}

InflateState::~InflateState() = default;

bool InflateState::Run(const DecompressReadProc& read, const DecompressWriteProc& write, std::uint32_t& adler) {
    z_stream& z = parts_->Stream;
    // Reset, the stream is as a fresh one; a run that failed halfway leaves
    // nothing behind for the next.
    if (!parts_->Started) {
        z.zalloc = ZAlloc;
        z.zfree = ZFree;
        z.opaque = nullptr;
        CheckZlib(inflateInit(&z));
        parts_->Started = true;
    } else {
        CheckZlib(inflateReset(&z));
    }
    std::uint8_t* const input = parts_->Input.get();
    std::uint8_t* const output = parts_->Output.get();

    std::uint32_t sum = 1;
    bool streamEnded = false;
    bool inputDone = false;
    for (;;) {
        if (z.avail_in == 0 && !inputDone) {
            z.next_in = input;
            z.avail_in = static_cast<uInt>(read(input, kDecompressBufferSize));
            if (z.avail_in == 0) inputDone = true;
        }
        // After the stream's end no input may follow.
        if (streamEnded) {
            if (z.avail_in != 0) throw EZlibDataError();
            break;
        }
        if (inputDone && z.avail_in == 0 && z.total_in == 0) break;  // no input at all

        z.next_out = output;
        z.avail_out = kDecompressBufferSize;
        const int result = inflate(&z, Z_PARTIAL_FLUSH);
        if (result == Z_DATA_ERROR) throw EZlibDataError();
        if (result == Z_MEM_ERROR) throw std::bad_alloc();
        // With no input left, "no progress possible" just means done.
        if (result == Z_BUF_ERROR && inputDone) break;
        if (result != Z_OK && result != Z_STREAM_END) throw EZlibInternalError(result);
        if (result == Z_STREAM_END) streamEnded = true;

        const std::size_t produced = kDecompressBufferSize - z.avail_out;
        if (write(output, produced) < produced) return false;
        sum = Adler32(sum, output, produced);
        // Input is used up: stop once inflate holds nothing more back.
        if (inputDone && produced == 0 && !streamEnded) break;
    }
    adler = sum;
    return true;
}

bool DecompressStream(const DecompressReadProc& read, const DecompressWriteProc& write, std::uint32_t& adler) {
    InflateState state;
    return state.Run(read, write, adler);
}

bool DecompressBlock(InStream& source, std::int32_t compressedSize, std::uint32_t& adler,
                     std::uint8_t* dest, std::int32_t maxOut, std::int64_t* produced, InflateState* state) {
    // Any other negative limit would turn into a huge unsigned one below.
    if (maxOut < kNoOutputLimit) throw EProgramFault("DecompressBlock: negative output limit");
    if (produced) *produced = 0;
    std::int32_t inRemaining = compressedSize;
    std::int32_t outRemaining = maxOut;
    const auto read = [&](std::uint8_t* buffer, std::size_t count) -> std::size_t {
        const std::size_t n = std::min<std::size_t>(count, inRemaining > 0 ? inRemaining : 0);
        source.ReadExact(buffer, n);
        inRemaining -= static_cast<std::int32_t>(n);
        return n;
    };
    const auto write = [&](const std::uint8_t* buffer, std::size_t count) -> std::size_t {
        std::size_t n = count;
        if (outRemaining != kNoOutputLimit) {
            n = std::min<std::size_t>(count, static_cast<std::size_t>(outRemaining));
            outRemaining -= static_cast<std::int32_t>(n);
        }
        std::copy(buffer, buffer + n, dest);
        dest += n;
        if (produced) *produced += static_cast<std::int64_t>(n);
        return n;
    };
    if (state) return state->Run(read, write, adler);
    return DecompressStream(read, write, adler);
}

BlockHeader ReadBlockHeader(InStream& file, std::size_t size) {
    std::uint8_t bytes[kBlockHeaderSize];
    file.ReadExact(bytes, sizeof bytes);
    BlockHeader header;
    header.CompressedSize = GetI32(bytes + 4);
    header.UncompressedSize = GetI32(bytes + 8);
    header.DataCheck = GetUi32(bytes + 12);
    if (header.UncompressedSize < 0 || static_cast<std::size_t>(header.UncompressedSize) != size ||
        Adler32(bytes + 4, 12) != GetUi32(bytes))
        throw EZlibDataError();
    // Other negative sizes name no valid block.
    if (header.CompressedSize < 0 && header.CompressedSize != kStoredBlock) throw EZlibDataError();
    return header;
}

void ReadBlockData(InStream& file, const BlockHeader& header, void* buffer, InflateState* state) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    const auto size = static_cast<std::size_t>(header.UncompressedSize);
    if (header.CompressedSize == kStoredBlock) {
        file.ReadExact(out, size);
        if (Adler32(out, size) != header.DataCheck) throw EZlibDataError();
        return;
    }
    std::uint32_t adler = 0;
    std::int64_t produced = 0;
    // The size is checked too: an empty stream has the checksum 1 and would
    // otherwise pass with nothing read into the buffer.
    if (!DecompressBlock(file, header.CompressedSize, adler, out, header.UncompressedSize, &produced, state) ||
        adler != header.DataCheck || produced != header.UncompressedSize)
        throw EZlibDataError();
}

void ReadBlock(InStream& file, void* buffer, std::size_t size, InflateState* state) {
    ReadBlockData(file, ReadBlockHeader(file, size), buffer, state);
}

}  // namespace qv
