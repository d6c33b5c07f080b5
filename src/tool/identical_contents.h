// Finds sources with identical contents, so that each content is stored once
// and several file records point at the same stream.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

namespace qv::tool {

// For each source, the index of the first source with the same bytes (its
// own index when it is the first). Only files that share a size are read,
// through fixed buffers: first a CRC-32 each, then a byte-by-byte comparison
// of those whose CRC-32 matches. Raises IoFailure for an unreadable file.
std::vector<std::size_t> FindIdenticalContents(const std::vector<std::filesystem::path>& sources);

}  // namespace qv::tool
