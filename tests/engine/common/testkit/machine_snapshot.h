// Snapshots of the parts of a machine an installation touches, as text, so
// that "as before" is a comparison of two strings and a failure shows the
// difference line by line.
#pragma once

#include <windows.h>

#include <string>

namespace qv::test {

// Every file and folder below `folder` (recursively), one per line: the
// path relative to it, the attributes, and for files the size, the
// last-write time and a hash of the contents. "<none>" when the folder is
// not there.
std::string FolderSnapshot(const std::string& folder);

// The key below `root` with every value (name, type, data in hex) and every
// subkey, recursively. "<none>" when the key does not open.
std::string RegistrySnapshot(HKEY root, const std::string& subKey);

// The shared-file count of `path` as a number, or "none".
std::string SharedFileCount(const std::string& path);

}  // namespace qv::test
