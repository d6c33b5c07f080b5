// Compression and decompression of whole files in memory, with libdeflate
// (third_party/libdeflate), the same build on Linux and on Windows: both
// tools write the same bytes, in the zlib stream format that the engine
// reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/setupdata/data_files.h"

namespace qv::tool {

// One thread's compressor at a level 0-9 (zlib's scale).
class WholeCompressor {
public:
    explicit WholeCompressor(int level);
    ~WholeCompressor();
    WholeCompressor(const WholeCompressor&) = delete;
    WholeCompressor& operator=(const WholeCompressor&) = delete;

    // The complete zlib stream of `size` bytes.
    std::vector<std::uint8_t> Compress(const std::uint8_t* data, std::size_t size);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Compressors for several threads, kept for reuse: setting one up costs
// more than compressing a small file.
class WholeCompressorPool {
public:
    explicit WholeCompressorPool(int level) : level_(level) {}
    // WholeCompressor::Compress on a compressor no other thread holds.
    std::vector<std::uint8_t> Compress(const std::uint8_t* data, std::size_t size);

private:
    int level_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<WholeCompressor>> idle_;
};

// Adler-32 (RFC 1950) continued from `adler` over `size` bytes.
std::uint32_t FastAdler32(std::uint32_t adler, const std::uint8_t* data, std::size_t size);

// "libdeflate 1.14": what compresses the files.
std::string CompressorName();

}  // namespace qv::tool
