// The [rename] section of WININIT.INI, where the Windows 95 family finds the
// replacements to make at its next start: one line "target=source" each,
// "NUL" as the target deleting the source. The file holds code page 936;
// these functions work on its bytes and leave every line they do not add
// as it was.
#pragma once

#include <optional>
#include <string>

namespace qv {

// The line for replacing `target` with `source` (both UTF-8, normally in
// their short form); an empty `target` deletes `source`. Returned in code
// page 936. Raises EInOutError (invalid filename) for a character that code
// page 936 cannot hold: such a name could not be found at the restart.
std::string WininitRenameLine(const std::string& target, const std::string& source);

// The new contents of WININIT.INI with `renameLine` added: at the end of the
// first [rename] section (before the header that follows it), or in a new
// [rename] section at the end of the file. `oldFile` holds the bytes of the
// existing file, nullopt when there is none. Lines end in CR LF; a line may
// have ended in CR LF, LF or CR before, and the end-of-file mark Ctrl-Z of
// old editors is dropped from the end.
std::string AddWininitRename(const std::optional<std::string>& oldFile, const std::string& renameLine);

// The contents of WININIT.INI without `renameLine` (letter case aside) in
// its [rename] sections, the way AddWininitRename writes lines; nullopt
// when no such line is there. Every other line stays.
std::optional<std::string> RemoveWininitRename(const std::string& oldFile, const std::string& renameLine);

}  // namespace qv
