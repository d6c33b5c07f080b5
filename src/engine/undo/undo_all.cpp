#include <windows.h>

#include <exception>

#include "core/errors.h"
#include "core/scope_exit.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/message_box.h"
#include "engine/undo/undo_changes.h"
#include "engine/undo/rollback_entries.h"
#include "engine/undo/undo_entry_text.h"
#include "engine/undo/undo_run.h"

namespace qv {

namespace {

void ShowUndoError(const std::exception& error) noexcept {
    try {
        MsgBoxQuestion box;
        box.Text = std::string(error.what()) + ".";
        box.Caption = "反安装";
        box.Flags = MB_OK | MB_ICONERROR;
        ShowMessageBox(nullptr, box);
    } catch (...) {
        // Out of memory for the box: the result tells of the failure still.
    }
}

}  // namespace

bool TUndoChanges::UndoAll(bool uninstalling, IUndoObserver* observer) {
    // Whatever happens, nothing is left to undo a second time.
    const ScopeExit forget([this] { entries_.clear(); });
    LogLine(std::string(uninstalling ? "uninstall" : "rollback") + ": undoing the entries, newest first (" +
            std::to_string(entries_.size()) + ")");
    std::size_t failed = 0;
    const std::size_t total = entries_.size();
    UndoRun run(uninstalling, !uninstalling ? TEntrySource::OwnRun
                              : LogChecked  ? TEntrySource::CheckedLog
                                            : TEntrySource::UncheckedLog);
    while (!entries_.empty()) {
        const std::size_t number = entries_.size();
        try {
            run.Undo(entries_.back());
        } catch (const EAbort&) {
            run.Fail("stopped by a cancel");
        } catch (const std::exception& error) {
            run.Fail(CurrentExceptionText());
            ShowUndoError(error);
        }
        if (run.EntryFailed()) ++failed;
        if (InstallLogIsOpen())
            LogLine("undo #" + std::to_string(number) + " " + ChangeEntryText(entries_.back()) + ": " +
                    run.EntryOutcome());
        if (observer)
            observer->EntryUndone({entries_.back(), number, total, run.Outcome(), run.EntryReason(), run.EntryError(),
                                    run.EntryUserReason()});
        entries_.pop_back();
    }
    LogLine(std::string(uninstalling ? "uninstall" : "rollback") + " finished: " +
            (failed == 0 ? std::string("every entry undone or passed over")
                         : "entries that could not be undone: " + std::to_string(failed)));
    return run.Result();
}

}  // namespace qv
