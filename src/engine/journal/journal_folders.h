// Where the rollback journals live: a folder that survives the run, that
// the next run finds without any setup data, and that nobody can plant a
// journal in for a run with more rights than his own. An elevated run uses
// one under the Windows folder that only the system and the administrators
// may write; a per-user run one under the user's local application data. Each installation has a run folder of its own there, "qv-XXXXX.run",
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

// Creates the root and the folder that holds it when missing (an elevated
// run's with the access list of SYSTEM and the administrators alone, owned
// by the Administrators group; a per-user run's with this user too;
// nothing inherited), and a new run folder in it with the same list. The
// machine's folders found with another list get that one. Raises Exception
// with the system's text.
std::string CreateRunFolder(bool perMachine);

// The run folders this run may act on: the machine's when `elevated`, the
// user's otherwise.
std::vector<std::string> ListRunFolders(bool elevated);

// "" when nobody but SYSTEM, the administrators (and whoever may write the
// Windows folder) can have written the machine's journal of `runFolder`:
// the folders above it, the run folder and the journal file; else the
// first that somebody else could write, and why, for the log.
std::string OtherWriterOfMachineJournal(const std::string& runFolder);

// Removes both roots, and the folders that hold them, that hold nothing
// more: the machine is left as it was before the first run.
void RemoveEmptyJournalRoots();

}  // namespace qv
