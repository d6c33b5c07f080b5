// The uninstaller's run, from its command line to its exit code:
//   read the uninstall log whole (a missing or damaged log: nothing is
//   touched); ask once (unless silent); undo every entry newest first with
//   a gauge; delete the log and, once empty, the folders the installation
//   made; tell what stayed behind.
// Exit codes: 0 everything removed, 1602 the user declined, 3010 files in
// use go at the next restart, 1603 something could not be removed, or the
// command line or the log was refused.
#pragma once

#include <string>
#include <vector>

namespace qv {

// `params`: the command line without the program's own path.
unsigned RunUninstaller(const std::vector<std::string>& params);

}  // namespace qv
