// Shell link (.lnk) files, written by the shell's own link object.
#pragma once

#include <string>

namespace qv {

// Writes the shell link `linkPath`, which starts `target` with `arguments`;
// `title` becomes its description. An empty `startFolder` or `iconFile` is
// left unset. Needs COM on this thread (InitializeComForProcess). Raises an
// Exception with the system's text when the link object cannot be made, and
// one that names the link when a field cannot be set or the file cannot be
// saved: the caller must never take an unsaved link for a made one.
void CreateLinkFile(const std::string& linkPath, const std::string& title, const std::string& target,
                    const std::string& arguments, const std::string& startFolder, const std::string& iconFile,
                    int iconIndex);

}  // namespace qv
