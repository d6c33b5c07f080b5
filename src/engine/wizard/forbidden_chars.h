// The characters that a typed folder or program group must not contain.
// The old shell (Windows below 4) takes short FAT names and keeps its
// groups flat; from Windows 4 on long names are allowed and a backslash
// in a group makes a sub-folder of the Start menu.
#pragma once

#include <string>

namespace qv {

// For the part of a destination folder after its leading "X:\".
std::string FolderForbiddenChars();
// For a program group's name.
std::string GroupForbiddenChars();

}  // namespace qv
