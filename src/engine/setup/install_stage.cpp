#include "engine/setup/install_stage.h"

#include "engine/common/install_log.h"
#include "engine/install/install_form.h"
#include "engine/install/install_sequence.h"
#include "engine/setup/setup_dir_constants.h"
#include "engine/setup/setup_state.h"

namespace qv {

namespace {

TInstallRun InstallRunOfSetupState() {
    return {SetupState,
            CurrentDirConstantValues(),
            SetupState.SetupSourceDir,
            SetupState.SlDataFileName,
            SetupState.SlFileDataOffset,
            SetupState.ChosenNoIcons,
            SetupState.HasIconsToCreate,
            SetupState.UserIsAdmin,
            SetupState.FilesToDeleteAtEnd,
            SetupState.DirsToRemoveAtEnd,
            SetupState.RestartNeeded,
            // Recorded in the journal, to go with a recovery; the backups
            // move beside the journal.
            SetupState.PrivateTempFolder,
            SetupState.SlFile};
}

class TInstallStage final : public IInstallStage {
public:
    TInstallStage() : run_(InstallRunOfSetupState()), form_(run_) {}

    TSetupChildForm& Form() override { return form_; }
    TInstallResult RunInstallSteps() override { return form_.RunInstallSteps(); }

private:
    TInstallRun run_;
    Owned<TInstallForm> form_;
};

}  // namespace

std::unique_ptr<IInstallStage> CreateInstallStage() { return std::make_unique<TInstallStage>(); }

TInstallResult RunInstallWithoutWindow() {
    TInstallRun run = InstallRunOfSetupState();
    TInstallWithoutWindow progress;
    LogLine("the installation runs without its window");
    return TInstallSequence(run, progress, progress.CancelRequested).Run();
}

}  // namespace qv
