// Undoing what a rollback journal records, with the undo layer's own
// functions: each fact becomes the undo entry that puts the same thing
// back, and TUndoChanges::UndoAll undoes them newest first, never stopping
// at a failed one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/journal/journal_reader.h"
#include "core/journal/journal_writer.h"

namespace qv {

struct TJournalUndoResult {
    std::uint32_t Undone = 0;  // facts undone or found with nothing to undo
    // One line per fact that could not be undone, naming what stays changed.
    std::vector<std::string> Failures;
    bool AllUndone() const { return Failures.empty(); }
};

// Undoes every fact of `records` that no RecordUndone marker names, newest
// first. With `writer` each fact undone is marked on it as it goes, so that
// a rollback that dies meanwhile is finished by the next without undoing
// anything twice. A fact's change may have been made in part or not at
// all: what it finds missing is no failure (a file moved aside whose
// backup is missing counts as never moved while the file in its place is
// still the one recorded).
// Whoever wrote the journal, it changes nothing its own installation could
// not have: every fact passes the undo layer's guards; a backup is put back
// only from `runFolder`, the journal's own; a folder goes whole only when
// it is a scratch folder of the engine's (scratch_folder.h); a library is
// unregistered only when a file fact of the same journal placed it. A fact
// refused is a failure, named in the result and the log.
TJournalUndoResult UndoJournalRecords(const std::vector<journal::JournalEntry>& records,
                                      journal::JournalWriter* writer, const std::string& runFolder);

// A registry tree as the undo layer's KeyTreeText holds it, and back.
std::vector<journal::RegTreeKey> RegTreeOfText(const std::string& text);
std::string TextOfRegTree(const std::vector<journal::RegTreeKey>& keys);

}  // namespace qv
