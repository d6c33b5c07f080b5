// Reads fuzz bytes as a build script of qvsetup. The reader takes a path,
// so each input is written to a script in a folder of this process; the
// files that the script names are looked up beside it, where only the
// script itself exists. That folder also stands for qvsetup's, so an
// uninstallable script finds no uninstaller unless it names one.
// A bad script must end in ScriptErrors.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tool/script.h"
#include "tool/tool_errors.h"

namespace {

std::filesystem::path scriptPath;

// The folder is removed when the fuzzer exits normally.
struct ScratchFolder {
    std::filesystem::path Path;
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
};
ScratchFolder scratch;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A folder in memory where there is one: every input is written there.
    std::error_code error;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : std::filesystem::temp_directory_path();
    scratch.Path = base / ("qv-script-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(scratch.Path);
    scriptPath = scratch.Path / "script.toml";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::FILE* file = std::fopen(scriptPath.c_str(), "wb");
        if (!file) std::abort();
        if (size && std::fwrite(data, 1, size, file) != size) std::abort();
        if (std::fclose(file) != 0) std::abort();
    }
    try {
        const qv::tool::BuildScript script = qv::tool::ReadScript(scriptPath, {std::nullopt, scratch.Path});
        // Each file entry has its source.
        if (script.Sources.size() != script.Data.FileRecords.size()) __builtin_trap();
    } catch (const qv::tool::ScriptErrors&) {
    }
    return 0;
}
