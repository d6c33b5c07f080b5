// Writing INI entries.
#pragma once

#include <string>

namespace qv {

// Writes Key=Value in [Section] of `fileName`, or of the Windows WIN.INI
// when `fileName` is empty. True when Windows reports success.
bool WriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& fileName);

}  // namespace qv
