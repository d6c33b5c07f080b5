#include "engine/install/read_ahead.h"

#include <algorithm>
#include <cstring>

namespace qv {

namespace {

class TReadAheadReader final : public InStream {
public:
    explicit TReadAheadReader(TReadAhead& ahead) : ahead_(ahead) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t got = ahead_.ReadAt(position_, static_cast<std::uint8_t*>(buffer), count);
        position_ += got;
        return got;
    }
    void Seek(std::uint64_t position) override { position_ = position; }
    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return ahead_.Size(); }

private:
    TReadAhead& ahead_;
    std::uint64_t position_ = 0;
};

}  // namespace

std::unique_ptr<InStream> TReadAhead::NewReader() { return std::make_unique<TReadAheadReader>(*this); }

std::size_t TReadAhead::ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const std::uint64_t at = position + done;
        if (at >= windowStart_ && at - windowStart_ < windowSize_) {
            const std::size_t offset = static_cast<std::size_t>(at - windowStart_);
            const std::size_t piece = std::min(count - done, windowSize_ - offset);
            std::memcpy(out + done, window_.data() + offset, piece);
            done += piece;
            continue;
        }
        reader_->Seek(at);
        if (count - done >= kWindow) return done + reader_->Read(out + done, count - done);
        if (window_.empty()) window_.resize(kWindow);
        // Emptied first: a failed read leaves no window that seems to hold it.
        windowSize_ = 0;
        windowStart_ = at;
        windowSize_ = reader_->Read(window_.data(), kWindow);
        if (windowSize_ == 0) break;
    }
    return done;
}

std::uint64_t TReadAhead::Size() {
    if (!size_) size_ = reader_->Size();
    return *size_;
}

}  // namespace qv
