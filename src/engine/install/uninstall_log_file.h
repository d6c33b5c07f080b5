// The two files an uninstallable installation leaves in its folder for the
// uninstaller: the placeholder UNINST0.nnn and the log UNINST1.nnn, nnn
// chosen so that several installations into one folder never collide.
#pragma once

#include <string>

#include "engine/install/install_context.h"

namespace qv {

// True when at least one directory entry matches the wildcard pattern.
bool AnyFileMatches(const std::string& pattern);

// `pattern` ("...\UNINST%s.004") with its "%s" replaced by `which`.
std::string UninstallLogName(const std::string& pattern, char which);

// Chooses the first number 000..999 without a pair, sets
// context.UninstallLogPattern, creates the placeholder and records it.
// Raises "由于目标文件夹中文件数太多，导致无法在该文件夹下创建文件" when
// every number is taken, the run-time I/O error when the placeholder cannot
// be made.
void ReserveUninstallLogName(TInstallContext& context);

// One efUninstallOnly entry per delete-at-uninstall record, in every
// installation: the uninstaller deletes them, a rollback never does.
void RecordUninstallDeleteEntries(TInstallContext& context);

// The undo log as it stands, saved as UNINST1.nnn.
void SaveUninstallLog(TInstallContext& context);

}  // namespace qv
