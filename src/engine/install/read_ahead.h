// One thread's reading of a held data file through a window of the bytes
// after the last read, so that the many small reads of files laid out one
// after the other (a stream's marker, then its bytes) become a few large
// ones: under Wine each read costs about as much as 64 KB copied.
//
//   TReadAhead ahead(heldFile);
//   std::unique_ptr<InStream> reader = ahead.NewReader();   // per file, as THeldFile's
//
// The readers share the window and must stay on one thread. The file is
// held against writers (THeldFile), so what the window holds stays true.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/io/streams.h"
#include "engine/common/held_file.h"

namespace qv {

class TReadAhead {
public:
    explicit TReadAhead(const THeldFile& file) : reader_(file.NewReader()) {}
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // A reader at offset 0 with a position of its own.
    std::unique_ptr<InStream> NewReader();

    // Up to `count` bytes from `position`: fewer only at the end of the file.
    std::size_t ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t count);
    std::uint64_t Size();

    // Reads at least this large go to the file directly.
    static constexpr std::size_t kWindow = 256 << 10;

private:
    std::unique_ptr<InStream> reader_;
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
    std::size_t windowSize_ = 0;
    std::optional<std::uint64_t> size_;
};

}  // namespace qv
