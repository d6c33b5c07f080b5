#include "engine/setup/setup_stages.h"

#include "engine/setup/install_stage.h"
#include "engine/setup/wizard_stage.h"

namespace qv {

TSetupStages DefaultSetupStages() {
    TSetupStages stages;
    stages.CreateWizard = CreateWizardStage;
    stages.CreateInstallForm = CreateInstallStage;
    stages.InstallWithoutWindow = RunInstallWithoutWindow;
    return stages;
}

}  // namespace qv
