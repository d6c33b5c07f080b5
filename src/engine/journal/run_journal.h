// The rollback journal of this run's installation: what each change will
// need to be undone goes to the disk before the change begins, so that a
// run that dies halfway is rolled back by the next start of Setup.exe.
//
// Per change:  journal.WriteAhead(fact);  <the change>;  undo.AddEntry(...)
// (the undo log's OnRecorded then marks the change done). A change is
// numbered as the fault seam counts it (ChangesCounted): the facts written
// ahead of it carry the number its undo entry is about to get.
//
// Every record is written (to the system) before its change, so a process
// that is killed never leaves a change without its record. Against a power
// cut, a fact that something of the machine's depends on (a file moved
// aside, a value or key overwritten, a count raised, a pending rename) is
// flushed to the disk before its change; a fact of something new (a file,
// folder or key the run makes) is flushed only when the last flush is
// kAdditiveFlushDelayMs old, else it goes with the next flush. A power cut
// may then leave some of the run's new things for nobody to remove, and
// loses nothing that was there. A flush for every installed file cost a
// fifth of the installation's time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/journal/journal_writer.h"
#include "engine/journal/journal_file.h"
#include "engine/journal/journal_undo.h"

namespace qv {

inline constexpr unsigned kAdditiveFlushDelayMs = 1000;

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
    // Defers the flush of facts that only record something new, unless the
    // last flush is too long ago.
    void ChooseFlush(const std::vector<journal::JournalFact>& facts);
    unsigned long lastFlush_ = 0;  // GetTickCount

    std::string folder_;
    std::unique_ptr<TJournalFile> file_;
    std::unique_ptr<journal::JournalWriter> writer_;
};

}  // namespace qv
