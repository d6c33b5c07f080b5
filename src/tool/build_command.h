// `qvsetup build`: a script becomes setup data and data files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

namespace qv::tool {

struct BuildOptions {
    std::filesystem::path Script;
    std::optional<std::filesystem::path> OutputFolder;  // default: "output" beside the script
    std::optional<std::uint64_t> DiskSize;              // overrides [setup] disk_size
    std::optional<std::filesystem::path> SingleFile;    // the /SL layout instead of data files
    std::optional<std::filesystem::path> Uninstaller;   // the uninstaller when the script names none
    std::optional<std::filesystem::path> Exe;           // one program: the engine with the /SL layout inside
    std::optional<std::filesystem::path> Engine;        // the engine of Exe, over [setup] engine
    int Level = 6;                                      // zlib level of streams and blocks; LZMA level of solid blocks
    std::optional<bool> Solid;                          // --compression: overrides [setup] compression
    unsigned Jobs = 0;                                  // compressing threads; 0 = one per processor
};

// Builds, prints a summary on `out`; raises the tool's errors.
void RunBuild(const BuildOptions& options, std::ostream& out, std::ostream& err, bool progress);

}  // namespace qv::tool
