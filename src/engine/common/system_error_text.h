// The system's own text for a Windows error code or a COM result.
#pragma once

#include <string>

namespace qv {

// Without the trailing line break and full stop; empty when the system has
// no text for the code.
std::string SystemErrorText(unsigned long code);

}  // namespace qv
