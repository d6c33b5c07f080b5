#include "engine/common/unattended.h"

#include <windows.h>

namespace qv {

namespace {
bool suppressed = false;
bool tableAborted = false;

std::string& LastRule() {
    static std::string rule;
    return rule;
}
}  // namespace

void SetMessagesSuppressed(bool value) { suppressed = value; }
bool MessagesSuppressed() { return suppressed; }

void NoteUnattendedAnswer(int button, const std::string& rule) {
    LastRule() = rule;
    if (button == IDABORT) tableAborted = true;
}
const std::string& LastUnattendedRule() { return LastRule(); }
bool UnattendedTableAborted() { return tableAborted; }

}  // namespace qv
