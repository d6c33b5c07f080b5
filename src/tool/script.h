// The build script: a TOML file that describes one installation. Reading it
// checks every value before anything is written; the result holds the setup
// data as far as the script alone decides it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/setup/machine_type.h"
#include "core/setupdata/setup_data.h"

namespace qv::tool {

struct ScriptSource {
    std::filesystem::path Path;  // resolved against the script's folder
    std::string AsWritten;       // as the script names it, for messages
};

struct BuildScript {
    std::filesystem::path Path;
    // Header, texts and every record. The files' sizes, checksums and
    // locations are left for the build to fill in.
    SetupData Data;
    std::vector<ScriptSource> Sources;  // item i belongs to Data.FileRecords[i]
    std::uint64_t DiskSize = 0;         // [setup] disk_size; 0 = no limit
    bool Solid = false;                 // [setup] compression = "solid"
    // Which uninstaller the setup data carries and where it came from, or
    // why it carries none: a line for the build's summary.
    std::string Uninstaller;
    // [setup] engine: the Setup.exe of a single-file program.
    std::optional<ScriptSource> Engine;
    // [setup] architecture, else the carried uninstaller's machine type;
    // empty: the engine of `build --exe` decides, or nothing does.
    std::optional<TMachineType> Architecture;
    // [setup] sign: the command that signs each program the build ships.
    std::optional<std::string> SignCommand;
};

// Where an uninstallable script's uninstaller is looked for when the script
// names none ([setup] uninstaller), in this order.
struct UninstallerSearch {
    std::optional<std::filesystem::path> CommandLine;  // build --uninstaller FILE
    std::filesystem::path ProgramFolder;               // the uninstaller beside qvsetup; empty: unknown
};

// Reads and checks a script. Raises ScriptErrors with every mistake found
// (each naming the script, the line, the entry and the key), or UsageError
// when the script itself cannot be read.
BuildScript ReadScript(const std::filesystem::path& path, const UninstallerSearch& uninstaller);

}  // namespace qv::tool
