#include "engine/setup/setup_stages.h"

namespace qv {

TSetupStages DefaultSetupStages() {
    // The wizard and the install window join here as they are built.
    return {};
}

}  // namespace qv
