// Replacing a file at the next start of Windows, for a destination that is
// in use now: NT keeps the pending renames itself (MoveFileEx), the Windows
// 95 family reads them from the [rename] section of WININIT.INI in the
// Windows folder.
#pragma once

#include <string>

namespace qv {

// Arranges that at the next start of Windows `sourceFile` replaces
// `targetFile`, or is deleted when `targetFile` is empty. Sets
// `restartNeeded` first, whatever follows.
//
// On NT: raises Exception("MoveFileEx 失败；代码 <error>。").
// Elsewhere: adds the short paths to WININIT.INI in `winFolder`, moving the
// old file aside under a free name (MakeUniqueName) while the new one is
// written; raises EInOutError when a file operation fails, and then puts
// the old file back as it was.
void RestartReplace(const std::string& sourceFile, const std::string& targetFile, const std::string& winFolder,
                    bool& restartNeeded);

}  // namespace qv
