#include "test_files.h"

#include <fstream>
#include <random>

namespace qv::test {

TempDir::TempDir() {
    static std::mt19937 rng(std::random_device{}());
    for (;;) {
        path_ = std::filesystem::temp_directory_path() / ("qvtest-" + std::to_string(rng()));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> MixedBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> bytes(size);
    static const char kWords[] = "setup data file installs compressed streams across disks ";
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = (i / 4096) % 2 ? static_cast<std::uint8_t>(rng()) : kWords[i % (sizeof kWords - 1)];
    return bytes;
}

}  // namespace qv::test
