#include <windows.h>

#include <exception>

#include "core/errors.h"
#include "core/scope_exit.h"
#include "engine/common/message_box.h"
#include "engine/undo/undo_changes.h"
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

bool TUndoChanges::UndoAll(bool uninstalling) {
    // Whatever happens, nothing is left to undo a second time.
    const ScopeExit forget([this] { entries_.clear(); });
    UndoRun run(uninstalling);
    while (!entries_.empty()) {
        try {
            run.Undo(entries_.back());
        } catch (const EAbort&) {
            run.Fail();
        } catch (const std::exception& error) {
            run.Fail();
            ShowUndoError(error);
        }
        entries_.pop_back();
    }
    return run.Result();
}

}  // namespace qv
