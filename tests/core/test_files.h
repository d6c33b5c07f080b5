// Scratch folders and files for tests that touch the file system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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

}  // namespace qv::test
