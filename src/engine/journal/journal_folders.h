// Where the rollback journals live: a folder that survives the run, that
// the next run finds without any setup data, and that other users can
// neither write nor plant a journal in. An elevated run uses one under the
// Windows folder; a per-user run one under the user's local application
// data. Each installation has a run folder of its own there, "qv-XXXXX.run",
// holding its journal and the backups of the files it replaces.
#pragma once

#include <string>
#include <vector>

namespace qv {

inline constexpr char kJournalFileName[] = "journal";
// A journal a recovery could not read whole, kept with what it did not undo.
inline constexpr char kDamagedJournalFileName[] = "journal.damaged";
// A journal whose rollback left something it could not put back.
inline constexpr char kFailedJournalFileName[] = "journal.failed";

// The root of the journals: {win}\QVSetup\Rollback for an elevated run,
// %LOCALAPPDATA%\QVSetup\Rollback for a per-user one. "" when the folder
// of local application data is unknown.
std::string JournalRoot(bool perMachine);

// Creates the root (with an access list for SYSTEM, the administrators and
// this user alone, nothing inherited) when it is missing, and a new run
// folder in it. Raises Exception with the system's text.
std::string CreateRunFolder(bool perMachine);

// The run folders of both roots that this run may act on: the per-user
// root, and the machine's when `elevated`.
std::vector<std::string> ListRunFolders(bool elevated);

}  // namespace qv
