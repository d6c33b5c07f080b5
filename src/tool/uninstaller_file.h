// The uninstaller UNISTB32.EXE as one more file of an uninstallable
// installation: its uninstall entry, its uninstall icon and its uninstall
// log all start {win}\UNISTB32.EXE, so the setup data carries the program
// that they name.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/setupdata/records.h"
#include "tool/script.h"

namespace qv::tool {

inline constexpr char kUninstallerFolder[] = "{win}\\";
inline constexpr char kUninstallerFileName[] = "UNISTB32.EXE";
inline constexpr char kUninstallerDest[] = "{win}\\UNISTB32.EXE";

// Whether a file entry installs to the uninstaller's place. Windows file
// names ignore case, so "{win}\unistb32.exe" is the same file; directory
// constants do not ("{WIN}" is no constant, but a folder of that name).
bool IsUninstallerDest(const std::string& dest);

// Fills `record` for installing `source` as the uninstaller, or returns why
// it cannot serve, worded to follow "names 'PATH', which ...".
//
// Several applications start the one uninstaller in the Windows folder, so
// its record keeps a newer copy that is there (by the version resource: an
// uninstaller without one is refused, it could replace a newer one), is
// never deleted by a rollback or an uninstall, and replaces a copy in use at
// the next restart. Sizes, checksum and location are left to the build.
std::optional<std::string> MakeUninstallerRecord(const std::filesystem::path& source, TFileRec& record);

struct FoundUninstaller {
    ScriptSource Source;
    TFileRec Record;
    std::string Origin;  // how it was chosen, for the build's summary
};

// For a script that needs an uninstaller and names none: the file of
// --uninstaller, else UNISTB32.EXE beside qvsetup.
struct UninstallerSearchResult {
    std::optional<FoundUninstaller> Found;
    // Otherwise why none serves, with what was looked at and how to give one.
    std::string Problem;
    bool ProblemOfCommandLine = false;  // --uninstaller's, not the script's
};
UninstallerSearchResult SearchUninstaller(const UninstallerSearch& search);

}  // namespace qv::tool
