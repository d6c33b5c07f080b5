// The command line of qvsetup: git-style subcommands, each with --help.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qv::tool {

// Runs one command line (without the program name) and returns the exit
// status: 0 ok, 1 usage or script error, 2 damaged setup data, 3 I/O failure.
// `progress` allows a progress bar on `err`.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress);

}  // namespace qv::tool
