#include "engine/setup/install_stage.h"

#include "engine/install/install_form.h"
#include "engine/setup/setup_dir_constants.h"
#include "engine/setup/setup_state.h"

namespace qv {

namespace {

class TInstallStage final : public IInstallStage {
public:
    TInstallStage()
        : run_{SetupState,
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
               // What the installation replaces waits there for a rollback.
               SetupState.PrivateTempFolder},
          form_(run_) {}

    TSetupChildForm& Form() override { return form_; }
    TInstallResult RunInstallSteps() override { return form_.RunInstallSteps(); }

private:
    TInstallRun run_;
    Owned<TInstallForm> form_;
};

}  // namespace

std::unique_ptr<IInstallStage> CreateInstallStage() { return std::make_unique<TInstallStage>(); }

}  // namespace qv
