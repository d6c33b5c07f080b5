// Reading another stream in large pieces: a reader of many small items
// (the setup data is a block of 16 header bytes and a record's few dozen
// bytes each, 200,000 of them for 100,000 files) then costs one system
// call per piece instead of two per item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/io/streams.h"

namespace qv {

class BufferedInStream final : public InStream {
public:
    // Reads `source` from its current position; `source` must outlive this.
    explicit BufferedInStream(InStream& source, std::size_t pieceSize = 1 << 16);

    std::size_t Read(void* buffer, std::size_t count) override;
    void Seek(std::uint64_t position) override;
    std::uint64_t Position() const override { return position_; }
    std::uint64_t Size() const override { return source_.Size(); }

private:
    InStream& source_;
    std::vector<std::uint8_t> piece_;
    std::size_t taken_ = 0;     // bytes of piece_ already delivered
    std::size_t held_ = 0;      // bytes in piece_
    std::uint64_t position_ = 0;  // of the next byte delivered
};

}  // namespace qv
