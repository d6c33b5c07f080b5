// A data file opened once and read at explicit offsets: the threads that
// decompress files side by side share it, each reader at its own place,
// without opening, sizing and seeking the file anew for every stream (a
// dozen system calls each, more than reading a small file's stream took).
//
//   const auto file = PositionalFile::Open(path);        // once
//   std::unique_ptr<InStream> a = file->NewReader();      // per stream, on any thread
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "core/io/streams.h"
#include "tool/system_handle.h"

namespace qv::tool {

class PositionalFile final : public std::enable_shared_from_this<PositionalFile> {
public:
    // Raises EInOutError with the run-time library's code.
    static std::shared_ptr<const PositionalFile> Open(const std::filesystem::path& path);
    PositionalFile(const PositionalFile&) = delete;
    PositionalFile& operator=(const PositionalFile&) = delete;

    // Up to `count` bytes from `offset`; fewer only at the end of the file.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const;
    std::uint64_t Size() const { return size_; }
    // A reader at offset 0 that keeps the file open.
    std::unique_ptr<InStream> NewReader() const;

private:
    PositionalFile() = default;
    UniqueSystemHandle file_;
    std::uint64_t size_ = 0;
};

}  // namespace qv::tool
