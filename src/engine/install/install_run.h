// What the install steps know of the run, and what they hand back to it.
// The setup layer fills it from its state when the install window is made;
// the steps never see that state itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/setup/dir_constants.h"
#include "core/setupdata/setup_data.h"
#include "engine/common/held_file.h"

namespace qv {

struct TInstallRun {
    // The header, the texts and the records.
    const SetupData& Data;
    // The folders behind {app}, {sys}, ..., with the wizard's choices in
    // App and Group.
    DirConstantValues Folders;

    // Where the file data lies: SETUP.n beside SETUP.0 (or in ..\DISKn), or,
    // when SlFileDataOffset is not 0, in the /SL file from that offset.
    std::string SetupSourceDir;
    std::string SlDataFileName;
    std::int32_t SlFileDataOffset = 0;

    bool ChosenNoIcons = false;
    bool HasIconsToCreate = false;
    bool UserIsAdmin = false;

    // For the end of the run: files deleted and (empty) folders removed
    // when the program ends, and whether Windows must restart.
    std::vector<std::string>& FilesToDeleteAtEnd;
    std::vector<std::string>& DirsToRemoveAtEnd;
    bool& RestartNeeded;

    // Where what the installation replaces waits for a rollback: inside the
    // private temporary folder, which goes when the run ends. Empty: nothing
    // is kept, and a rollback leaves replaced files new.
    std::string BackupFolder{};
    // The /SL file as the start-up holds it, read through that handle;
    // null: opened by SlDataFileName at first use and held from then on.
    std::shared_ptr<const THeldFile> SlFile{};
    // `s` with its directory constants expanded.
    std::string Expand(const std::string& s) const { return ExpandDirConstants(s, Folders); }
};

}  // namespace qv
