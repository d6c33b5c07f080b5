// `qvsetup log`: an uninstall log (UNINST1.nnn) as the uninstaller reads it:
// its header, then every recorded change with its kind, its flags or root
// key by name, and its strings. An administrator sees what an uninstall
// will remove; the tests read what the engine wrote.
#pragma once

#include <ostream>
#include <string>

namespace qv::tool {

// Prints the log as text, or as JSON (UTF-8) when `json` is set. Raises
// DamagedData naming the damage, its offset and the entry, IoFailure when
// the file cannot be opened or read.
void RunLog(const std::string& path, bool json, std::ostream& out);

}  // namespace qv::tool
