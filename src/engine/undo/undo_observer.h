// What becomes of each entry while TUndoChanges::UndoAll runs, for whoever
// shows the progress and reports what stayed behind (the uninstaller).
#pragma once

#include <cstddef>
#include <string>

#include "core/uninstall/uninstall_log.h"

namespace qv {

enum class TUndoOutcome {
    Undone,      // the change is gone (or nothing was left of it)
    PassedOver,  // left as it is, by rule: a folder with other files, a shared file still in use
    Failed,      // it should have gone and did not
    AtRestart,   // it goes at the next start of Windows (a file in use)
};

struct TUndoEntryResult {
    const TChangeEntry& Entry;
    std::size_t Number;  // from 1, in the order the entries were recorded
    std::size_t Total;
    TUndoOutcome Outcome;
    std::string Reason;           // why it was passed over or failed, for the log
    unsigned long ErrorCode = 0;  // the Windows error of a failure, 0 when there was none
    std::string UserReason;       // a failure's reason in the user's words, when no error code tells it
};

class IUndoObserver {
public:
    // Called once per entry, newest first, after the entry was handled.
    virtual void EntryUndone(const TUndoEntryResult& result) = 0;

protected:
    ~IUndoObserver() = default;
};

}  // namespace qv
