// The rollback journal of this run's installation: what each change will
// need to be undone goes to the disk before the change begins, so that a
// run that dies halfway is rolled back by the next start of Setup.exe.
//
// Per change:  journal.WriteAhead(fact);  <the change>;  undo.AddEntry(...)
// (the undo log's OnRecorded then marks the change done). A change is
// numbered as the fault seam counts it (ChangesCounted): the facts written
// ahead of it carry the number its undo entry is about to get.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/journal/journal_writer.h"
#include "engine/journal/journal_file.h"
#include "engine/journal/journal_undo.h"

namespace qv {

class TRunJournal {
public:
    // Makes the run folder and the journal in it, and writes the header,
    // flushed. Raises Exception or EInOutError.
    TRunJournal(const std::string& appName, const std::string& appFolder, bool perMachine);
    // A journal neither completed nor discarded stays on the disk, for a
    // recovery: as if the run had died.
    ~TRunJournal() = default;
    TRunJournal(const TRunJournal&) = delete;
    TRunJournal& operator=(const TRunJournal&) = delete;

    // Where the backups of replaced files go.
    const std::string& RunFolder() const { return folder_; }

    // On the disk when this returns; only then may the change begin.
    void WriteAhead(const journal::JournalFact& fact);
    // The facts of one change under one flush.
    void WriteAhead(const std::vector<journal::JournalFact>& facts);
    void MarkDone(std::uint32_t change);

    // The installation succeeded: nothing is to be rolled back any more.
    // Marks the journal complete, then deletes it with the backups.
    void Complete();
    // The installation failed or was cancelled: undoes every fact written,
    // newest first, as a recovery would, marking each on the journal.
    // Raises when the journal cannot be read back.
    TJournalUndoResult RollBack();
    // The installation was rolled back by this run: the journal and what is
    // left of the backups go.
    void Discard();

private:
    void RemoveRunFolder();

    std::string folder_;
    std::unique_ptr<TJournalFile> file_;
    std::unique_ptr<journal::JournalWriter> writer_;
};

}  // namespace qv
