#include "engine/setup/end_setup.h"

#include <windows.h>

#include "engine/common/win_text.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "engine/instfunc/leftovers_at_restart.h"
#include "engine/setup/restart_windows.h"
#include "engine/setup/setup_state.h"

namespace qv {

bool EndSetup() {
    for (const std::string& file : SetupState.FilesToDeleteAtEnd) DeleteFileW(Widen(file).c_str());
    SetupState.FilesToDeleteAtEnd.clear();
    for (const std::string& folder : SetupState.DirsToRemoveAtEnd) RemoveDirectoryW(Widen(folder).c_str());
    SetupState.DirsToRemoveAtEnd.clear();
    if (!SetupState.PrivateTempFolder.empty() && !DeleteFolderTree(SetupState.PrivateTempFolder))
        DeleteLeftoversAtRestart(SetupState.PrivateTempFolder, SetupState.WinFolder);
    return SetupState.RestartChosen && RestartWindows();
}

}  // namespace qv
