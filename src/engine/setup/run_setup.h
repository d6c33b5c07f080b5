// The whole run of Setup.exe: start-up, the background window with its
// stages, the end of the run. The program's entry calls it with the real
// stages; test programs call it with stand-ins.
#pragma once

#include "engine/setup/setup_stages.h"

namespace qv {

// The process exit code of the run.
unsigned RunSetup(TSetupStages stages);

}  // namespace qv
