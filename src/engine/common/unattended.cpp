#include "engine/common/unattended.h"

namespace qv {

namespace {
bool suppressed = false;
}

void SetMessagesSuppressed(bool value) { suppressed = value; }
bool MessagesSuppressed() { return suppressed; }

}  // namespace qv
