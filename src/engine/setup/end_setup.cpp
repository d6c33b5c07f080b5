#include "engine/setup/end_setup.h"

#include <windows.h>

#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "engine/instfunc/leftovers_at_restart.h"
#include "engine/setup/restart_windows.h"
#include "engine/setup/setup_state.h"

namespace qv {

bool EndSetup() {
    for (const std::string& file : SetupState.FilesToDeleteAtEnd) {
        if (DeleteFileW(Widen(file).c_str())) continue;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;
        // Still in use (a program the run started is running it): it goes
        // when nothing can hold it any more.
        LogLine("cannot delete " + Quoted(file) + " at the end of setup: " + WindowsErrorText(error));
        DeleteFileAtRestart(file, SetupState.WinFolder);
    }
    SetupState.FilesToDeleteAtEnd.clear();
    for (const std::string& folder : SetupState.DirsToRemoveAtEnd) RemoveDirectoryW(Widen(folder).c_str());
    SetupState.DirsToRemoveAtEnd.clear();
    if (!SetupState.PrivateTempFolder.empty() && !DeleteFolderTree(SetupState.PrivateTempFolder))
        DeleteLeftoversAtRestart(SetupState.PrivateTempFolder, SetupState.WinFolder);
    return SetupState.RestartChosen && RestartWindows();
}

}  // namespace qv
