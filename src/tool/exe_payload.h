// Single-file programs (`build --exe`): the engine Setup.exe in front, the
// installation behind it (core/setupdata/program_payload.h), and the same
// program read again by list, verify, extract and manifest.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/setup/machine_type.h"
#include "core/io/streams.h"
#include "core/setupdata/program_payload.h"
#include "tool/script.h"

namespace qv::tool {

// Where the engine is looked for, in this order.
struct EngineSearch {
    std::optional<std::filesystem::path> CommandLine;  // build --engine FILE
    std::optional<ScriptSource> Script;                // [setup] engine
    std::filesystem::path ProgramFolder;               // Setup.exe beside qvsetup; empty: unknown
    // The installation's machine type, when the script or its uninstaller
    // decides it: an engine of another type is refused.
    std::optional<TMachineType> Architecture;
};

struct ChosenEngine {
    std::filesystem::path Path;
    TMachineType Machine = TMachineType::X86;
    std::string Origin;  // how it was chosen, for the build's summary
    EngineImage Image;
};

// Reads the engine and makes its image; UsageError saying what was looked
// at and how to name another, IoFailure when it cannot be read.
ChosenEngine ChooseEngine(const EngineSearch& search);

// A line for the build's summary: the engine and what was left out of it.
std::string EngineSummary(const ChosenEngine& engine);

// The payload of the program at `path`: nullopt when the file is no Windows
// program. A program without payload raises UsageError, a damaged locator
// or a program cut short DamagedData, an unreadable file IoFailure.
std::optional<PayloadLocator> ReadProgramPayload(const std::filesystem::path& path);

// Reads the whole payload again and compares its CRC-32 with the locator's;
// DamagedData when they differ.
void CheckProgramPayload(const std::filesystem::path& path, const PayloadLocator& locator);

}  // namespace qv::tool
