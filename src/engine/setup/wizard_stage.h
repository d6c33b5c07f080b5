// The wizard stage of the background window: the wizard over the run's
// state, read back when the user presses Install and prepared for the last
// pages after installing.
#pragma once

#include <memory>

#include "engine/setup/setup_stages.h"

namespace qv {

std::unique_ptr<IWizardStage> CreateWizardStage();

}  // namespace qv
