// The install sequence: its steps, the rollback journal it writes ahead,
// and its rollback when a step fails or the user cancels. It shows its
// progress through IInstallProgress: the install window is one view of it,
// and a run that shows nothing (/VERYSILENT) runs it with none.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/install/install_context.h"
#include "engine/install/install_progress.h"
#include "engine/install/install_result.h"
#include "engine/journal/run_journal.h"
#include "engine/undo/undo_changes.h"

namespace qv {

class TInstallSequence {
public:
    // `cancelRequested` is the view's: set when a person confirmed Cancel.
    TInstallSequence(TInstallRun& run, IInstallProgress& progress, const bool& cancelRequested);
    TInstallSequence(const TInstallSequence&) = delete;
    TInstallSequence& operator=(const TInstallSequence&) = delete;

    // Runs every step. On a failure or a cancel everything recorded is
    // rolled back before it returns.
    TInstallResult Run();

    TUndoChanges UndoLog;

private:
    void CreateFolders(TInstallContext& context);
    void RunSteps(TInstallContext& context);
    // Undoes everything recorded, newest first.
    void RollBack();
    // The rollback journal of the run, opened before the first change.
    void OpenJournal(TInstallContext& context);
    // Completed: marked so and deleted with the backups; rolled back: deleted.
    void CloseJournal(bool completed) noexcept;

    TInstallRun& run_;
    IInstallProgress& progress_;
    const bool& cancelRequested_;
    std::unique_ptr<TRunJournal> journal_;
    // The journal could not be read back for the rollback: it stays on the
    // disk for the next start's recovery.
    bool keepJournal_ = false;
};

// The progress of a run that shows nothing: no window, only the pump that
// keeps the run's other windows (a registration's, the shell's) answered
// and a test's cancel plan.
class TInstallWithoutWindow final : public IInstallProgress {
public:
    void ShowStepText(const std::string&) override {}
    void ShowFilename(const std::string&) override {}
    std::int64_t Position() const override { return position_; }
    void SetPosition(std::int64_t position) override { position_ = position; }
    void PumpMessagesCheckCancel() override;

    bool CancelRequested = false;

private:
    std::int64_t position_ = 0;
};

// One pump of an install view: a test's cancel plan, the messages waiting,
// and EAbort once `cancelRequested` is set (also by WM_QUIT).
void PumpInstallMessages(bool& cancelRequested);

}  // namespace qv
