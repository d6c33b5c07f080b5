// Scratch folders and files for tests that touch the file system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/io/streams.h"

namespace qv::test {

// A fresh folder under the system's temporary folder, removed at scope end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Deterministic bytes: half text-like (compressible), half noise.
std::vector<std::uint8_t> MixedBytes(std::size_t size, std::uint32_t seed);

// Reads bytes and fails like a device for any read that reaches `failAt`.
class FailingInStream final : public InStream {
public:
    FailingInStream(std::vector<std::uint8_t> bytes, std::uint64_t failAt)
        : bytes_(std::move(bytes)), failAt_(failAt) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        if (bytes_.Position() + count > failAt_) throw EInOutError(io_code::AccessDenied);
        return bytes_.Read(buffer, count);
    }
    void Seek(std::uint64_t position) override { bytes_.Seek(position); }
    std::uint64_t Position() const override { return bytes_.Position(); }
    std::uint64_t Size() const override { return bytes_.Size(); }

private:
    MemoryInStream bytes_;
    std::uint64_t failAt_;
};

}  // namespace qv::test
