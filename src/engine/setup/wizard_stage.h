// The wizard stage of the background window: the wizard over the run's
// state, read back when the user presses Install and prepared for the last
// pages after installing.
#pragma once

#include <functional>
#include <memory>

#include "engine/setup/setup_stages.h"
#include "engine/wizard/wizard_run.h"

namespace qv {

// What the wizard reads of the run, from the setup state: the same for the
// wizard window and for the unattended run that chooses as it would.
// `closeBackground` closes the background window (none without one).
TWizardRun WizardRunOfSetupState(std::function<bool()> closeBackground = {});

std::unique_ptr<IWizardStage> CreateWizardStage();

}  // namespace qv
