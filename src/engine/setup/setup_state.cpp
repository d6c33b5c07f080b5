#include "engine/setup/setup_state.h"

namespace qv {

TSetupState SetupState;

}  // namespace qv
