// The version of an existing file, as its version resource gives it: one of
// the facts that decide whether the file is replaced.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// The file version of the fixed block of `fileName`'s version resource
// (dwFileVersionMS and dwFileVersionLS). False, with both 0, when the file
// has no version resource that can be read.
bool ReadFileVersion(const std::string& fileName, std::uint32_t& versionMS, std::uint32_t& versionLS);

}  // namespace qv
