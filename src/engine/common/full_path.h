// Absolute paths with the relative parts ("..", ".") resolved, as the data
// files and the folder typed in the next-disk dialog need them.
#pragma once

#include <string>

namespace qv {

// `path` made absolute against the current folder, with "." and ".."
// resolved; `path` itself when Windows cannot expand it (an empty or
// malformed text), so that the caller's existence test fails on it.
std::string FullPathOf(const std::string& path);

}  // namespace qv
