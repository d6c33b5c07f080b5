#include "engine/common/unique_name.h"

#include <windows.h>

#include <random>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/path_tests.h"

namespace qv {

namespace {
std::mt19937& Generator() {
    static std::mt19937 generator;
    return generator;
}
}  // namespace

void SeedUniqueNames() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    Generator().seed(static_cast<std::uint32_t>(counter.QuadPart) ^ GetTickCount());
}

std::string FindUniqueName(const std::string& dir, const std::string& extension, std::uint32_t start,
                           const std::function<bool(const std::string&)>& exists) {
    const std::string prefix = AppendBackslash(dir) + "qv-";
    std::uint32_t i = start % kUniqueNameCount;
    for (;;) {
        i = (i + 1) % kUniqueNameCount;
        if (i == start % kUniqueNameCount)
            throw Exception("由于目标文件夹中文件数太多，导致无法在该文件夹下创建文件");
        std::string name = prefix + Base32Digits(i) + extension;
        if (!exists(name)) return name;
    }
}

std::string MakeUniqueName(const std::string& dir, const std::string& extension) {
    return MakeUniqueName(dir, extension, [](const std::string& name) { return PathExists(name); });
}

std::string MakeUniqueName(const std::string& dir, const std::string& extension,
                           const std::function<bool(const std::string&)>& exists) {
    std::uniform_int_distribution<std::uint32_t> numbers(0, kUniqueNameCount - 1);
    return FindUniqueName(dir, extension, numbers(Generator()), exists);
}

}  // namespace qv
