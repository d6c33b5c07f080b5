// A scratch folder for one end-to-end test: scripts copied from the test
// sources, the files they name, and qvsetup run over them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "test_files.h"
#include "tool_runner.h"

namespace qv::test {

using Bytes = std::vector<std::uint8_t>;

// `size` bytes that do not compress, the same for the same seed.
Bytes Noise(std::size_t size, std::uint32_t seed);

class Workspace {
public:
    // Copies tests/tool/scripts/<script> into the folder under its file name.
    void AddScript(const std::string& script) const;
    // A path in the folder from a UTF-8 relative path.
    std::filesystem::path Path(const std::string& relative) const;
    // The same as a UTF-8 string, for command lines.
    std::string Arg(const std::string& relative) const;
    void Write(const std::string& relative, const Bytes& bytes) const;
    void WriteText(const std::string& relative, const std::string& text) const;
    Bytes Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    TempDir dir_;
};

Bytes ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
// qvsetup's JSON listing of the setup data in a folder or file; fails the
// test when list does not succeed.
nlohmann::json ListJson(const std::vector<std::string>& args);

}  // namespace qv::test
