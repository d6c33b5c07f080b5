#include "tool/uninstaller_file.h"

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/text/path_strings.h"
#include "tool/pe_version.h"
#include "tool/platform.h"
#include "tool/tool_errors.h"

namespace qv::tool {

std::string UninstallerDest(TMachineType machine) {
    return std::string(kUninstallerFolder) + UninstallerFileName(machine);
}

bool IsUninstallerDest(const std::string& dest) {
    const std::string folder = kUninstallerFolder;
    if (dest.compare(0, folder.size(), folder) != 0) return false;
    const std::string name = dest.substr(folder.size());
    return SameTextAscii(name, UninstallerFileName(TMachineType::X86)) ||
           SameTextAscii(name, UninstallerFileName(TMachineType::X64));
}

std::optional<std::string> MakeUninstallerRecord(const std::filesystem::path& source, TFileRec& record,
                                                 TMachineType& machine) {
    std::error_code error;
    const auto status = std::filesystem::status(source, error);
    if (!std::filesystem::exists(status)) return "does not exist";
    if (!std::filesystem::is_regular_file(status)) return "is not a file";
    std::optional<FileVersion> version;
    std::optional<TMachineType> type;
    try {
        FileInStream in(PathToUtf8(source));
        if (const auto pe = ReadPeMachine(in)) type = MachineTypeOfPe(*pe);
        version = ReadPeFileVersion(in);
        record.FileTime = LocalFileTimeOf(source);
    } catch (const EInOutError& failure) {
        return std::string("cannot be read: ") + failure.what();
    } catch (const IoFailure& failure) {
        return std::string("cannot be read: ") + failure.what();
    }
    if (!version)
        return "has no version resource (an uninstaller without a version could replace a newer one on the "
               "machine)";
    if (!type) return "is no x86 or x64 Windows program";
    machine = *type;
    record.DestPath = UninstallerDest(machine);
    record.ReplaceMode = rmKeepNewer;
    record.FileFlags = ffNoUninstall | ffReplaceAtRestart;
    record.VersionFlags = vfHasVersion;
    record.FileVersionMS = version->MS;
    record.FileVersionLS = version->LS;
    return std::nullopt;
}

UninstallerSearchResult SearchUninstaller(const UninstallerSearch& search, std::optional<TMachineType> architecture) {
    UninstallerSearchResult result;
    FoundUninstaller found;
    if (search.CommandLine) {
        found.Source = {*search.CommandLine, PathToUtf8(*search.CommandLine)};
        found.Origin = "--uninstaller";
        if (const auto problem = MakeUninstallerRecord(found.Source.Path, found.Record, found.Machine)) {
            result.Problem = "--uninstaller names '" + found.Source.AsWritten + "', which " + *problem;
            result.ProblemOfCommandLine = true;
            return result;
        }
    } else {
        // The architecture's uninstaller, else the first of both that is there.
        std::vector<TMachineType> types;
        if (architecture) types = {*architecture};
#ifdef _WIN64
        else types = {TMachineType::X64, TMachineType::X86};
#else
        else types = {TMachineType::X86, TMachineType::X64};
#endif
        std::error_code ignored;
        std::filesystem::path beside;
        for (const TMachineType type : types) {
            beside = search.ProgramFolder / UninstallerFileName(type);
            if (!search.ProgramFolder.empty() && std::filesystem::exists(beside, ignored)) break;
        }
        found.Source = {beside, PathToUtf8(beside)};
        found.Origin = "beside qvsetup";
        if (search.ProgramFolder.empty() || !std::filesystem::exists(beside, ignored)) {
            std::string wanted = UninstallerFileName(types[0]), looked;
            if (types.size() > 1) wanted += std::string(" or ") + UninstallerFileName(types[1]);
            if (search.ProgramFolder.empty()) {
                looked = wanted + " beside qvsetup (whose folder is unknown) does not exist";
            } else {
                for (const TMachineType type : types)
                    looked += (looked.empty() ? "'" : " nor '") + PathToUtf8(search.ProgramFolder / UninstallerFileName(type)) + "'";
                looked = (types.size() > 1 ? "neither " : "") + looked + (types.size() > 1 ? " exists" : " does not exist");
            }
            result.Problem = "the installation is uninstallable, so it needs the uninstaller " + wanted +
                             ", but the script names none and " + looked +
                             ": name it with uninstaller = \"PATH\" in [setup] or with --uninstaller "
                             "FILE, or set uninstaller = false to carry none";
            return result;
        }
        if (const auto problem = MakeUninstallerRecord(beside, found.Record, found.Machine)) {
            result.Problem = "the uninstaller beside qvsetup is '" + found.Source.AsWritten + "', which " + *problem;
            return result;
        }
    }
    result.Found = std::move(found);
    return result;
}

}  // namespace qv::tool
