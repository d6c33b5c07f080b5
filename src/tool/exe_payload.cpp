#include "tool/exe_payload.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/errors.h"
#include "tool/platform.h"
#include "tool/tool_errors.h"

namespace qv::tool {

namespace {

std::string Quoted(const fs::path& path) { return "'" + PathToUtf8(path) + "'"; }

std::vector<std::uint8_t> ReadWhole(const fs::path& path) {
    try {
        FileInStream in(PathToUtf8(path));
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.Size()));
        in.ReadExact(bytes.data(), bytes.size());
        return bytes;
    } catch (const EInOutError& error) {
        throw IoFailure("cannot read " + Quoted(path) + ": " + error.what());
    }
}

constexpr char kEngineHint[] = "name it with --engine FILE or engine = \"PATH\" in [setup]";

}  // namespace

ChosenEngine ChooseEngine(const EngineSearch& search) {
    ChosenEngine chosen;
    std::string named;  // how the message names where it came from
    if (search.CommandLine) {
        chosen.Path = *search.CommandLine;
        chosen.Origin = "--engine";
        named = "--engine names " + Quoted(chosen.Path);
    } else if (search.Script) {
        chosen.Path = search.Script->Path;
        chosen.Origin = "[setup] engine";
        named = "[setup] engine names " + Quoted(chosen.Path);
    } else {
        if (search.ProgramFolder.empty())
            throw UsageError(std::string("--exe needs the engine Setup.exe, and qvsetup cannot tell its own folder: ") +
                             kEngineHint);
        chosen.Path = search.ProgramFolder / "Setup.exe";
        chosen.Origin = "beside qvsetup";
        named = "the engine beside qvsetup is " + Quoted(chosen.Path);
    }
    std::error_code error;
    if (!fs::is_regular_file(chosen.Path, error))
        throw UsageError(named + ", which does not exist" + (search.CommandLine ? "" : std::string(": ") + kEngineHint));
    switch (MakeEngineImage(ReadWhole(chosen.Path), chosen.Image)) {
    case EngineProblem::None:
        break;
    case EngineProblem::NotAProgram:
        throw UsageError(named + ", which is no Windows program (no PE image, or one cut short)");
    case EngineProblem::AlreadyCarriesPayload:
        throw UsageError(named + ", which already carries an installation (it was built with --exe): give the "
                                 "plain Setup.exe");
    }
    // The engine installs applications of its own machine type, into its own
    // view of 64-bit Windows, and names the uninstaller of that type.
    const auto type = MachineTypeOfPe(chosen.Image.Layout.Machine);
    if (!type) throw UsageError(named + ", which is no x86 or x64 program");
    if (search.Architecture && *search.Architecture != *type)
        throw UsageError(named + ", which is an " + MachineTypeName(*type) + " engine, but the installation is " +
                         MachineTypeName(*search.Architecture) + " ([setup] architecture, or the machine type of " +
                         "the uninstaller it carries): give the " + MachineTypeName(*search.Architecture) +
                         " engine");
    chosen.Machine = *type;
    return chosen;
}

std::string EngineSummary(const ChosenEngine& engine) {
    std::string line = PathToUtf8(engine.Path) + " (" + engine.Origin + "), " +
                       std::to_string(engine.Image.Bytes.size()) + " bytes";
    if (engine.Image.DroppedSignature) line += "; its signature was left out: sign the program itself";
    if (engine.Image.DroppedSymbols) line += "; its symbol table was left out";
    if (engine.Image.DroppedOtherBytes)
        line += "; " + std::to_string(engine.Image.DroppedOtherBytes) + " bytes after its sections were left out";
    return line;
}

std::optional<PayloadLocator> ReadProgramPayload(const fs::path& path) {
    PayloadSearch found;
    std::uint64_t fileSize = 0;
    try {
        FileInStream in(PathToUtf8(path));
        fileSize = in.Size();
        found = FindProgramPayload(in);
    } catch (const EInOutError& error) {
        throw IoFailure("cannot read " + Quoted(path) + ": " + error.what());
    }
    switch (found.State) {
    case PayloadState::NotAProgram:
        return std::nullopt;
    case PayloadState::NoPayload:
        throw UsageError(Quoted(path) + " is a Windows program that carries no setup data (qvsetup build --exe "
                                        "writes programs that do)");
    case PayloadState::Damaged:
        throw DamagedData(PathToUtf8(path) + ": the locator after its sections (at offset " +
                          std::to_string(found.Image.ImageEnd) + ") is damaged");
    case PayloadState::CutShort: {
        const std::uint64_t needed =
            found.Locator.PayloadSize ? found.Locator.PayloadEnd()
                                      : std::max<std::uint64_t>(found.Image.ImageEnd, found.Image.ImageEnd + kLocatorSize);
        throw DamagedData(PathToUtf8(path) + ": the program is cut short: it has " + std::to_string(fileSize) +
                          " bytes, its " + (found.Locator.PayloadSize ? "payload ends" : "sections and locator end") +
                          " at " + std::to_string(needed));
    }
    case PayloadState::Found:
        break;
    }
    return found.Locator;
}

void CheckProgramPayload(const fs::path& path, const PayloadLocator& locator) {
    std::uint32_t crc = 0;
    try {
        FileInStream in(PathToUtf8(path));
        crc = FileRangeCrc32(in, locator.PayloadOffset, locator.PayloadSize);
    } catch (const EInOutError& error) {
        throw IoFailure("cannot read " + Quoted(path) + ": " + error.what());
    }
    if (crc != locator.PayloadCrc32) {
        char text[96];
        std::snprintf(text, sizeof text, "the CRC-32 of its payload is 0x%08X, its locator gives 0x%08X", crc,
                      locator.PayloadCrc32);
        throw DamagedData(PathToUtf8(path) + ": " + text + ": the program is damaged");
    }
}

}  // namespace qv::tool
