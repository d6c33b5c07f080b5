#include "core/io/buffered_in_stream.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"

namespace qv {

BufferedInStream::BufferedInStream(InStream& source, std::size_t pieceSize)
    : source_(source), piece_(std::max<std::size_t>(pieceSize, 1)), position_(source.Position()) {}

std::size_t BufferedInStream::Read(void* buffer, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        if (taken_ == held_) {
            // A large request goes straight through.
            if (count - total >= piece_.size()) {
                const std::size_t got = source_.Read(out + total, count - total);
                total += got;
                position_ += got;
                break;
            }
            taken_ = held_ = 0;
            try {
                held_ = source_.Read(piece_.data(), piece_.size());
            } catch (const EInOutError&) {
                // The bytes read ahead may be the ones that fail: only
                // those asked for may fail the caller.
                source_.Seek(position_);
                const std::size_t got = source_.Read(out + total, count - total);
                total += got;
                position_ += got;
                break;
            }
            if (held_ == 0) break;  // the end of the data
        }
        const std::size_t n = std::min(count - total, held_ - taken_);
        std::memcpy(out + total, piece_.data() + taken_, n);
        taken_ += n;
        total += n;
        position_ += n;
    }
    return total;
}

void BufferedInStream::Seek(std::uint64_t position) {
    source_.Seek(position);
    taken_ = held_ = 0;
    position_ = position;
}

}  // namespace qv
