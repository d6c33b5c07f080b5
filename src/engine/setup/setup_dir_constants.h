// Directory constants ({app}, {sys}, {group}, ...) over the setup state.
#pragma once

#include <string>

#include "core/setup/dir_constants.h"

namespace qv {

// The current values of the constants, from the setup state.
DirConstantValues CurrentDirConstantValues();

// `s` with every directory constant replaced by the folder it stands for.
// Raises "内部错误 C100" for {group} or a shell folder that is empty (below
// Windows 4).
std::string ExpandDirConstants(const std::string& s);

}  // namespace qv
