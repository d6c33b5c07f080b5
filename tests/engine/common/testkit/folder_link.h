// Folders that lead elsewhere, for the tests of what undoing follows.
#pragma once

#include <string>

namespace qv::test {

// Makes `link` (which must not exist) a folder that leads to `target`: a
// junction where the file system makes one, else a directory symbolic
// link, else, under a Wine that makes neither, a Unix symbolic link, which
// Wine reports as a reparse point. True when `link` is then a reparse point
// through which `target`'s contents are seen.
bool MakeFolderLink(const std::string& link, const std::string& target);

// Removes the link itself, never what it leads to.
void RemoveFolderLink(const std::string& link);

}  // namespace qv::test
