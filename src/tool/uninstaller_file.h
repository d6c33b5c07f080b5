// The uninstaller as one more file of an uninstallable installation: its
// uninstall entry, its uninstall icon and its uninstall log all start the
// uninstaller in the Windows folder, so the setup data carries the program
// that they name. Its machine type decides its name there (UNISTB32.EXE or
// UNISTB64.EXE) and must be the installation's: the engine of that type
// names that file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/setup/machine_type.h"
#include "core/setupdata/records.h"
#include "tool/script.h"

namespace qv::tool {

inline constexpr char kUninstallerFolder[] = "{win}\\";

// "{win}\UNISTB32.EXE" or "{win}\UNISTB64.EXE".
std::string UninstallerDest(TMachineType machine);

// Whether a file entry installs to the place of either uninstaller. Windows
// file names ignore case, so "{win}\unistb32.exe" is the same file;
// directory constants do not ("{WIN}" is no constant, but a folder of that
// name).
bool IsUninstallerDest(const std::string& dest);

// Fills `record` and `machine` for installing `source` as the uninstaller,
// or returns why it cannot serve, worded to follow "names 'PATH', which ...".
//
// Several applications start the one uninstaller in the Windows folder, so
// its record keeps a newer copy that is there (by the version resource: an
// uninstaller without one is refused, it could replace a newer one), is
// never deleted by a rollback or an uninstall, and replaces a copy in use at
// the next restart. Sizes, checksum and location are left to the build.
std::optional<std::string> MakeUninstallerRecord(const std::filesystem::path& source, TFileRec& record,
                                                 TMachineType& machine);

struct FoundUninstaller {
    ScriptSource Source;
    TFileRec Record;
    TMachineType Machine = TMachineType::X86;
    std::string Origin;  // how it was chosen, for the build's summary
};

// For a script that needs an uninstaller and names none: the file of
// --uninstaller, else the uninstaller beside qvsetup: the one of the
// script's architecture when it names one, else UNISTB32.EXE or
// UNISTB64.EXE, that of qvsetup's own machine type first.
struct UninstallerSearchResult {
    std::optional<FoundUninstaller> Found;
    // Otherwise why none serves, with what was looked at and how to give one.
    std::string Problem;
    bool ProblemOfCommandLine = false;  // --uninstaller's, not the script's
};
UninstallerSearchResult SearchUninstaller(const UninstallerSearch& search, std::optional<TMachineType> architecture);

}  // namespace qv::tool
