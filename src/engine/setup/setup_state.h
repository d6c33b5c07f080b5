// The setup state: the run-wide values, filled by the start-up and read by
// the setup layer. Strings are UTF-8. Lower layers never see this object:
// they receive what they need as arguments or small interfaces.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/setupdata/setup_data.h"
#include "engine/common/held_file.h"

namespace qv {

class TMainForm;

// What the setup data holds (SetupInfo, the three texts, the eight record
// lists, loaded straight into this object), and what the run adds to it.
struct TSetupState : SetupData {
    std::vector<std::string> FilesToDeleteAtEnd;
    std::vector<std::string> DirsToRemoveAtEnd;

    // Command line.
    bool SlMode = false;
    std::string SlDataFileName;
    std::int32_t SlDataOffset = 0;
    std::int32_t SlFileDataOffset = 0;
    // The program's own file and the /SL file (the same for a program that
    // carries its installation), opened once at the start and held until
    // the end of the run: every byte of the setup data and the file data in
    // them is read through these, never by name again. Null when the file
    // could not be opened (it is refused where it is read).
    std::shared_ptr<const THeldFile> OwnFile;
    std::shared_ptr<const THeldFile> SlFile;
    std::string SetupSourceDir;
    std::string CmdLineDir;
    std::string CmdLineGroup;
    // The unattended options: no wizard and no background window (Silent,
    // which VerySilent implies), no window at all (VerySilent), every
    // question answered by the table of unattended_answers.h.
    bool Silent = false;
    bool VerySilent = false;
    bool SuppressMsgBoxes = false;
    bool CmdLineNoIcons = false;
    bool NoRestart = false;
    bool LogRequested = false;
    std::string LogFileName;  // empty with /LOG alone: a name in the temporary folder
    bool ShowHelp = false;    // /? or /HELP
    bool RecoverOnly = false; // /RECOVER: only the rollback of installations that died
    // Set when start-up ended the run on purpose before installing (the
    // help was shown, another setup of the application runs): its exit code.
    std::optional<unsigned> EarlyExitCode;

    // Folders fixed at start-up.
    std::string WinFolder;
    std::string SysFolder;
    std::string SystemDrive;
    std::string ProgFilesFolder;
    std::string CommonFilesFolder;
    // User desktop, start menu, programs, startup, then the four common ones.
    std::array<std::string, 8> ShellFolderPaths;
    std::string PrivateTempFolder;

    // The wizard's results.
    std::string ChosenAppDir;
    std::string ChosenGroup;
    bool ChosenNoIcons = false;

    // Sum of the files' sizes, in 64 bits: a 32-bit sum wraps past 2 GiB.
    std::int64_t TotalFileSize = 0;
    bool UserIsAdmin = false;
    bool HasIconsToCreate = false;
    bool RestartNeeded = false;
    bool RestartChosen = false;
    std::string ReadmeFileName;

    TMainForm* MainForm = nullptr;
};

// The one state of the run.
extern TSetupState SetupState;

// Empties the state again (tests run several start-ups in one process).
inline void ResetSetupState() { SetupState = TSetupState(); }

}  // namespace qv
