// Removing a whole folder tree, as at the end of the run for the private
// temporary folder.
#pragma once

#include <string>

namespace qv {

// Deletes `folder` with all its files and subfolders, making read-only
// entries writable first. Never raises: failures are passed over, and the
// result tells whether everything, `folder` included, went. An empty
// name is refused (false).
bool DeleteFolderTree(const std::string& folder);

}  // namespace qv
