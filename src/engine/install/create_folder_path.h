// Creating a folder with every missing parent, and recording what was made
// so that a rollback removes exactly those folders again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/install/install_context.h"
#include "engine/undo/undo_changes.h"

namespace qv {

// What CreateFolderPath does with each folder it creates.
enum TCreateFolderFlag : std::uint8_t {
    cfNoUninstall = 1,  // not recorded for the uninstaller, only for a rollback
    cfRemoveAtEnd = 2,  // removed when the program ends, instead of by the undo log
    cfNotifyShell = 4,  // the shell hears of it (a folder of shell links)
};

// Creates `dir` and each of its missing parents, parents first. Each folder
// created goes to `dirsToRemoveAtEnd` (cfRemoveAtEnd), or else into
// `undoLog`: as ekFolder, or with cfNoUninstall counted there as a change
// that only the journal's rollback undoes (no entry). Raises
// Exception("设置程序不能创建文件夹 \"<folder>\"") for the first folder that
// cannot be created; the folders made before it stay recorded.
// With `journal`, each folder is written ahead there before it is made.
void CreateFolderPath(const std::string& dir, std::uint8_t flags, TUndoChanges& undoLog,
                      std::vector<std::string>& dirsToRemoveAtEnd, TRunJournal* journal = nullptr);

// The same in an install step: its undo log, the run's list and journal.
void CreateFolderPath(TInstallContext& context, const std::string& dir, std::uint8_t flags);

}  // namespace qv
