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

// Takes back what RestartReplace arranged for the same two files, so that
// nothing happens to them at the restart: on NT their pair among the
// system's pending renames, elsewhere their line in WININIT.INI (found by
// the short names, so `sourceFile` must still be there). Everybody else's
// pending replacements stay. True when one was found and removed.
//
// On NT: raises Exception("不能取消重新启动时的文件替换；代码 <error>。")
// when the list cannot be read or written back. Elsewhere: raises
// EInOutError as RestartReplace does, the old file put back as it was.
bool CancelRestartReplace(const std::string& sourceFile, const std::string& targetFile, const std::string& winFolder);

}  // namespace qv
