#include "tool/uninstaller_file.h"

#include "core/errors.h"
#include "core/io/streams.h"
#include "tool/pe_version.h"
#include "tool/platform.h"
#include "tool/tool_errors.h"

namespace qv::tool {

bool IsUninstallerDest(const std::string& dest) {
    const std::string folder = kUninstallerFolder, name = kUninstallerFileName;
    if (dest.size() != folder.size() + name.size() || dest.compare(0, folder.size(), folder) != 0) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = dest[folder.size() + i];
        if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != name[i]) return false;
    }
    return true;
}

std::optional<std::string> MakeUninstallerRecord(const std::filesystem::path& source, TFileRec& record) {
    std::error_code error;
    const auto status = std::filesystem::status(source, error);
    if (!std::filesystem::exists(status)) return "does not exist";
    if (!std::filesystem::is_regular_file(status)) return "is not a file";
    std::optional<FileVersion> version;
    try {
        FileInStream in(PathToUtf8(source));
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
    record.DestPath = kUninstallerDest;
    record.ReplaceMode = rmKeepNewer;
    record.FileFlags = ffNoUninstall | ffReplaceAtRestart;
    record.VersionFlags = vfHasVersion;
    record.FileVersionMS = version->MS;
    record.FileVersionLS = version->LS;
    return std::nullopt;
}

UninstallerSearchResult SearchUninstaller(const UninstallerSearch& search) {
    UninstallerSearchResult result;
    FoundUninstaller found;
    if (search.CommandLine) {
        found.Source = {*search.CommandLine, PathToUtf8(*search.CommandLine)};
        found.Origin = "--uninstaller";
        if (const auto problem = MakeUninstallerRecord(found.Source.Path, found.Record)) {
            result.Problem = "--uninstaller names '" + found.Source.AsWritten + "', which " + *problem;
            result.ProblemOfCommandLine = true;
            return result;
        }
    } else {
        const std::filesystem::path beside = search.ProgramFolder / kUninstallerFileName;
        found.Source = {beside, PathToUtf8(beside)};
        found.Origin = "beside qvsetup";
        std::error_code ignored;
        if (search.ProgramFolder.empty() || !std::filesystem::exists(beside, ignored)) {
            const std::string missing = search.ProgramFolder.empty()
                                            ? std::string(kUninstallerFileName) + " beside qvsetup (whose folder is unknown)"
                                            : "'" + found.Source.AsWritten + "'";
            result.Problem = std::string("the installation is uninstallable, so it needs the uninstaller ") +
                             kUninstallerFileName + ", but the script names none and " + missing +
                             " does not exist: name it with uninstaller = \"PATH\" in [setup] or with --uninstaller "
                             "FILE, or set uninstaller = false to carry none";
            return result;
        }
        if (const auto problem = MakeUninstallerRecord(beside, found.Record)) {
            result.Problem = "the uninstaller beside qvsetup is '" + found.Source.AsWritten + "', which " + *problem;
            return result;
        }
    }
    result.Found = std::move(found);
    return result;
}

}  // namespace qv::tool
