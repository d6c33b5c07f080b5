// What the wizard reads of the run: the setup data and the values that
// start-up fixed. The setup layer builds it from its state, so that the
// wizard depends on nothing above its own layer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/setup/dir_constants.h"
#include "core/setupdata/setup_data.h"

namespace qv {

struct TWizardRun {
    const SetupData& Data;  // SetupInfo and the three texts
    std::string SystemDrive;
    std::string WinFolder;
    std::string ProgFilesFolder;
    std::string CommonProgramsFolder;  // {commonprograms}: the groups listed on the group page
    std::string CmdLineDir;
    std::string CmdLineGroup;
    bool HasIconsToCreate = false;
    std::uint64_t TotalFileSize = 0;
    // Asks the background window to close, which asks the user whether to
    // leave the setup; true when it has closed.
    std::function<bool()> CloseBackground;
    // /NOICONS: the box "不能建立图标" starts checked.
    bool CmdLineNoIcons = false;
    // The folders behind the directory constants, for the check before
    // installing; App and Group are taken from the wizard's pages.
    DirConstantValues Folders{};
};

// The folder and the group that the wizard proposes, as an unattended run
// takes them: /DIR= and /GROUP= unless their page is switched off, else
// the defaults of the setup data.
std::string ProposedAppFolder(const TWizardRun& run);
std::string ProposedGroup(const TWizardRun& run);

}  // namespace qv
