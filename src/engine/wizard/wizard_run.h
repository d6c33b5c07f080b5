// What the wizard reads of the run: the setup data and the values that
// start-up fixed. The setup layer builds it from its state, so that the
// wizard depends on nothing above its own layer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

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
};

}  // namespace qv
