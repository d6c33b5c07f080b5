#include "tool/whole_codec.h"

#include <zlib.h>

#include <new>

#include <libdeflate.h>

#include "core/errors.h"

namespace qv::tool {

std::vector<std::uint8_t> WholeCompressorPool::Compress(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<WholeCompressor> compressor;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!idle_.empty()) {
            compressor = std::move(idle_.back());
            idle_.pop_back();
        }
    }
    if (!compressor) compressor = std::make_unique<WholeCompressor>(level_);
    std::vector<std::uint8_t> stream = compressor->Compress(data, size);
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(std::move(compressor));
    return stream;
}

namespace {

// libdeflate's levels for zlib's 0-9: from 5 on, one step up, so that no
// level writes larger output than zlib did at the same number (libdeflate's
// 5 and 6 lose to zlib's on text).
constexpr int kLibdeflateLevel[10] = {0, 1, 2, 3, 4, 6, 7, 7, 8, 9};

}  // namespace

struct WholeCompressor::Impl {
    libdeflate_compressor* compressor = nullptr;
    ~Impl() { libdeflate_free_compressor(compressor); }
};

WholeCompressor::WholeCompressor(int level) : impl_(std::make_unique<Impl>()) {
    impl_->compressor = libdeflate_alloc_compressor(kLibdeflateLevel[level < 0 ? 0 : level > 9 ? 9 : level]);
    if (!impl_->compressor) throw std::bad_alloc();
}

WholeCompressor::~WholeCompressor() = default;

std::vector<std::uint8_t> WholeCompressor::Compress(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out(libdeflate_zlib_compress_bound(impl_->compressor, size));
    const std::size_t made = libdeflate_zlib_compress(impl_->compressor, data, size, out.data(), out.size());
    // The bound always leaves room; no room would be a fault of the library.
    if (made == 0) throw EZlibInternalError(Z_BUF_ERROR);
    out.resize(made);
    out.shrink_to_fit();
    return out;
}

std::uint32_t FastAdler32(std::uint32_t adler, const std::uint8_t* data, std::size_t size) {
    return libdeflate_adler32(adler, data, size);
}

std::string CompressorName() { return std::string("libdeflate ") + LIBDEFLATE_VERSION_STRING; }


}  // namespace qv::tool
