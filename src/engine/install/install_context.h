// The small context every install step works in: the run, the undo log that
// records each change the moment it is made, and the progress sink.
#pragma once

#include <string>
#include <vector>

#include "engine/install/install_progress.h"
#include "engine/install/install_run.h"
#include "engine/undo/undo_changes.h"

namespace qv {

struct TInstallContext {
    TInstallRun& Run;
    TUndoChanges& UndoLog;
    IInstallProgress& Progress;

    // "<app>\UNINST?.nnn" once the uninstall log name is reserved; the
    // placeholder is this with '0', the log itself with '1'.
    std::string UninstallLogPattern;
    // The uninstall key was written (given to the icons step).
    bool UninstallKeyCreated = false;
    // Its path below HKEY_LOCAL_MACHINE, once written.
    std::string UninstallKeyPath{};
    // Files already copied for the rollback in this run (INI files).
    std::vector<std::string> KeptForRollback{};
};

}  // namespace qv
