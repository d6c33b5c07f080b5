// Existence tests on real paths. None of them lets Windows ask for a disk:
// an empty floppy or CD drive simply does not exist.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// The file attributes of `path`, or -1 when it does not exist. One trailing
// backslash is ignored except in a drive root such as "C:\".
std::int32_t GetPathAttributes(const std::string& path);
bool PathExists(const std::string& path);
bool FolderExists(const std::string& path);
// An existing path that is not a folder.
bool FileExists(const std::string& path);

// A drive path ("C:\...") or a network path ("\\server\..."): a path that
// means the same whatever the current folder is.
bool IsFullPath(const std::string& path);

// The short (8.3) form of `path`, or `path` itself when Windows has none.
std::string GetShortPath(const std::string& path);

}  // namespace qv
