// What the end of the run cannot delete from its private temporary folder
// or from its journal's run folder: a file that was replaced while in use
// was moved aside there, and stays in use after the run. It and the
// folders that hold it are deleted at the next start of Windows instead,
// so that no qv-* folder stays behind.
#pragma once

#include <string>

namespace qv {

// Arranges the deletion at the next start of Windows of everything still
// in `folder` and of `folder` itself: each folder's files, then its
// subfolders in the same way, then the folder, so that each is empty when
// its turn comes. NT deletes empty folders on its pending list; the Windows
// 95 family deletes files only (WININIT.INI), and the emptied folders stay.
// Every item is logged; nothing raises, since the run has ended. A folder
// that is gone already (a rollback took it) leaves nothing to arrange.
void DeleteLeftoversAtRestart(const std::string& folder, const std::string& winFolder);

// The file `path`, still in use when the run ends, at the next start of
// Windows; logged, and nothing raises.
void DeleteFileAtRestart(const std::string& path, const std::string& winFolder);

}  // namespace qv
