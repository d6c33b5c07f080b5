#include "workspace.h"

#include <gtest/gtest.h>

#include <random>
#include <fstream>

#include "tool/platform.h"

namespace qv::test {

Bytes Noise(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    std::mt19937 random(seed);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}


namespace fs = std::filesystem;

Bytes ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Workspace::AddScript(const std::string& script) const {
    const fs::path source = ScriptSource(script);
    fs::copy_file(source, dir_.path() / source.filename(), fs::copy_options::overwrite_existing);
}

fs::path Workspace::Path(const std::string& relative) const { return dir_.path() / tool::PathFromUtf8(relative); }

std::string Workspace::Arg(const std::string& relative) const { return tool::PathToUtf8(Path(relative)); }

void Workspace::Write(const std::string& relative, const Bytes& bytes) const { WriteFileBytes(Path(relative), bytes); }

void Workspace::WriteText(const std::string& relative, const std::string& text) const {
    Write(relative, Bytes(text.begin(), text.end()));
}

Bytes Workspace::Read(const std::string& relative) const { return ReadFileBytes(Path(relative)); }

bool Workspace::Exists(const std::string& relative) const { return fs::exists(Path(relative)); }

nlohmann::json ListJson(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"list", "--json"};
    all.insert(all.end(), args.begin(), args.end());
    const ToolRun run = RunQvsetup(all);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return nlohmann::json::parse(run.Out);
}

}  // namespace qv::test
