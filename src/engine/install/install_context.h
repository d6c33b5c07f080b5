// The small context every install step works in: the run, the undo log that
// records each change the moment it is made, the rollback journal that holds
// what each change will need to be undone before it is made, and the
// progress sink.
#pragma once

#include <string>
#include <vector>

#include "engine/install/install_progress.h"
#include "engine/install/install_run.h"
#include "engine/journal/run_journal.h"
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
    // The SHA-256 of the uninstall log's bytes as written, once saved.
    std::string UninstallLogHash{};
    // Files already copied for the rollback in this run (INI files).
    std::vector<std::string> KeptForRollback{};
    // The run's rollback journal; null when the run keeps none (no backup
    // folder: nothing is kept for a rollback either).
    TRunJournal* Journal = nullptr;
};

// Puts `fact` on the disk before the change it describes, when the run
// keeps a journal.
inline void WriteAhead(TInstallContext& context, const journal::JournalFact& fact) {
    if (context.Journal) context.Journal->WriteAhead(fact);
}

}  // namespace qv
