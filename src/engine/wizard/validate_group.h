// The checks of the program group page when the user presses Next.
#pragma once

#include <string>

#include "engine/wizard/page_check.h"

namespace qv {

// The group name as the page keeps it: trimmed, runs of backslashes shrunk
// to one, one leading and one trailing backslash removed ("\\A\\\B\"
// becomes "A\B").
std::string CleanGroupName(const std::string& typed);

// Passes at once, leaving the text alone, when no icons are to be made.
// Otherwise Text is CleanGroupName(typed), which must be neither empty nor
// hold a character of GroupForbiddenChars or one outside code page 936; a
// failure shows its message box.
PageCheck ValidateGroup(const std::string& typed, bool noIcons);

}  // namespace qv
