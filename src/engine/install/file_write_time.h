// The last-write time of an existing file: with its version, it decides
// whether the file is replaced.
#pragma once

#include <windows.h>

#include <string>

namespace qv {

// The last-write time (UTC) of the first directory entry that `fileName`
// matches (the name is taken as a pattern). False, with `time` zero, when
// nothing matches or the entry is a folder.
bool ReadFileWriteTime(const std::string& fileName, FILETIME& time);

}  // namespace qv
