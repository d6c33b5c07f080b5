// The uninstaller's command line. Setup.exe writes it into the uninstall
// icon and the uninstall entry as
//   UNISTB32.EXE /U "placeholder" "log"      (UNISTB64.EXE for a 64-bit installation)
// and an administrator adds the options of an unattended run:
//   /SILENT             no question, the progress window alone
//   /VERYSILENT         no window at all
//   /SUPPRESSMSGBOXES   every question answered by the unattended table
//   /LOG, /LOG=file     the log of what was removed
//   /?, /HELP           the usage
// Options are case-insensitive and may stand before or after the /U form.
#pragma once

#include <string>
#include <vector>

namespace qv {

struct UninstallerOptions {
    std::string PlaceholderFile;  // UNINST0.nnn
    std::string LogFile;          // UNINST1.nnn
    bool Silent = false;
    bool VerySilent = false;  // implies Silent
    bool SuppressMsgBoxes = false;
    bool LogRequested = false;
    std::string LogFileName;  // empty: a name of the uninstaller's own in the temporary folder
    bool ShowHelp = false;
};

struct UninstallerCommandLine {
    UninstallerOptions Options;
    // Empty when the command line is usable; otherwise what is wrong with
    // it, in the words shown to the user. The options read so far are kept
    // (so that a wrong command line of an unattended run is not shown).
    std::string Problem;
};

// `params` are the parameters without the program's own path. With /? or
// /HELP nothing else is needed.
UninstallerCommandLine ParseUninstallerCommandLine(const std::vector<std::string>& params);

// The expected form, for the message of a wrong command line, with the
// uninstaller's own file name (UNISTB32.EXE or UNISTB64.EXE).
std::string UninstallerUsage(const std::string& programName);

}  // namespace qv
