#include "engine/install/remove_at_end_folders.h"

#include <windows.h>

#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/win_text.h"

namespace qv {

void TRemoveAtEndFoldersSweep::Sweep() {
    // A folder is listed after the folders around it.
    for (std::size_t i = folders_.size(); i-- > 0;) {
        if (!RemoveDirectoryW(Widen(folders_[i]).c_str())) continue;
        LogLine("rollback: removed the folder " + Quoted(folders_[i]) + ", made to be removed when setup ends");
        folders_.erase(folders_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

}  // namespace qv
