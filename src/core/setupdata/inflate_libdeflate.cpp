#include <libdeflate.h>

#include <new>

#include "core/setupdata/data_files.h"

namespace qv {

namespace {

struct DecompressorOwner {
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    DecompressorOwner() = default;
    ~DecompressorOwner() { libdeflate_free_decompressor(decompressor); }
    DecompressorOwner(const DecompressorOwner&) = delete;
    DecompressorOwner& operator=(const DecompressorOwner&) = delete;
};

}  // namespace

WholeInflateResult InflateWholeWithLibdeflate(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                                              std::size_t room) {
    // Small to set up beside a file's decompression: one per call, so that
    // no thread shares one.
    const DecompressorOwner owner;
    if (!owner.decompressor) throw std::bad_alloc();
    WholeInflateResult result;
    const libdeflate_result outcome = libdeflate_zlib_decompress_ex(owner.decompressor, input, inputSize, output, room,
                                                                    &result.Consumed, &result.Produced);
    if (outcome == LIBDEFLATE_SUCCESS) {
        result.Result = WholeInflateResult::Outcome::Complete;
        // libdeflate has checked the output against the stream's own
        // Adler-32, its last four bytes (big-endian): no second pass.
        const std::uint8_t* check = input + result.Consumed - 4;
        result.Adler32 = std::uint32_t{check[0]} << 24 | std::uint32_t{check[1]} << 16 |
                         std::uint32_t{check[2]} << 8 | check[3];
    } else if (outcome == LIBDEFLATE_INSUFFICIENT_SPACE) {
        result.Result = WholeInflateResult::Outcome::NoRoom;
    }
    return result;
}

}  // namespace qv
