// The install stage of the background window: the install window over the
// run's state, with the folders and choices of this run.
#pragma once

#include <memory>

#include "engine/setup/setup_stages.h"

namespace qv {

std::unique_ptr<IInstallStage> CreateInstallStage();
// The same installation with no window at all (/VERYSILENT).
TInstallResult RunInstallWithoutWindow();

}  // namespace qv
