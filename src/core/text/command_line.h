// Command-line splitting as the setup engine does it: the tail after the
// program's own path, and its parameters one by one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qv {

// Longest parameter that ExtractNextParam collects.
constexpr std::size_t kMaxParamLength = 4096;

// The command line without the program's own path: skips to the first space
// outside double quotes, then over all spaces.
std::string CommandLineTail(const std::string& commandLine);

// Reads one parameter of `text` starting at `pos`; returns the position just
// behind it. `param` is empty at the end of the text.
std::size_t ExtractNextParam(const std::string& text, std::size_t pos, std::string& param);

// Every parameter of a command-line tail, up to the first empty one (so that
// GetParamCount is the size and GetParam(n) is element n - 1).
std::vector<std::string> SplitParams(const std::string& tail);

}  // namespace qv
