#include "engine/setup/setup_stages.h"

#include "engine/setup/install_stage.h"

namespace qv {

TSetupStages DefaultSetupStages() {
    TSetupStages stages;
    // The wizard joins here once it is built; until then the run stays at
    // its first step and the install stage is not reached.
    stages.CreateInstallForm = CreateInstallStage;
    return stages;
}

}  // namespace qv
