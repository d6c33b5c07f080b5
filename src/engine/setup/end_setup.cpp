#include "engine/setup/end_setup.h"

#include <windows.h>

#include "engine/common/win_text.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "engine/setup/restart_windows.h"
#include "engine/setup/setup_state.h"

namespace qv {

bool EndSetup() {
    for (const std::string& file : FilesToDeleteAtEnd) DeleteFileW(Widen(file).c_str());
    FilesToDeleteAtEnd.clear();
    for (const std::string& folder : DirsToRemoveAtEnd) RemoveDirectoryW(Widen(folder).c_str());
    DirsToRemoveAtEnd.clear();
    if (!PrivateTempFolder.empty()) DeleteFolderTree(PrivateTempFolder);
    return RestartChosen && RestartWindows();
}

}  // namespace qv
