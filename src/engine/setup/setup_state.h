// The setup state: the run-wide values, filled by the start-up and read by
// the setup layer. Strings are UTF-8. Lower layers never see this object:
// they receive what they need as arguments or small interfaces.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/setupdata/setup_data.h"

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
    std::string SetupSourceDir;
    std::string CmdLineDir;
    std::string CmdLineGroup;

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
