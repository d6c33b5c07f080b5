// The checks of the destination folder page when the user presses Next.
#pragma once

#include <cstdint>
#include <string>

#include "engine/wizard/drive_free_space.h"
#include "engine/wizard/page_check.h"

namespace qv {

// Checks the folder `typed` into the page, in this order, and stops at the
// first failure with its message box: not a network (UNC) path; a full path
// "X:\..." of at least 4 characters; no character of FolderForbiddenChars
// after the "X:\"; no character outside code page 936; an existing drive;
// then, with one trailing backslash removed, enough room for
// `totalFileSize` bytes (else the user may go on anyway, No being the
// default) and, for a folder that exists already, the user's consent to
// install into it. Every message goes through AppMsgBox; nothing is raised.
// Text is the trimmed text, and from the space check on the text without
// its trailing backslash.
PageCheck ValidateFolder(const std::string& typed, std::uint64_t totalFileSize,
                         const DriveFreeSpaceQuery& freeSpace = GetDriveFreeSpace);

}  // namespace qv
