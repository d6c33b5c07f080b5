// The run of /SILENT and /VERYSILENT: no wizard and no background window.
// The wizard's proposed choices are checked as Next would check them, the
// installation runs in its progress window (shown only with /SILENT), the
// programs to run follow; no readme is shown and Windows never restarts.
#pragma once

#include "engine/setup/run_outcome.h"
#include "engine/setup/setup_stages.h"

namespace qv {

TRunOutcome RunSilently(const TSetupStages& stages);

}  // namespace qv
