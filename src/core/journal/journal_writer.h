// Appends the rollback journal (journal_format.h) record by record. The
// engine hands it a file opened without sharing, whose Flush is
// FlushFileBuffers; the tests hand it memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/journal/journal_format.h"

namespace qv::journal {

// Where the journal's bytes go: always at the end.
class JournalSink {
public:
    virtual ~JournalSink() = default;
    // Raises (EInOutError from a file) when the bytes cannot be written.
    virtual void Append(const std::uint8_t* bytes, std::size_t count) = 0;
    // Returns once every byte appended so far is on the disk itself.
    virtual void Flush() = 0;
};

class JournalWriter {
public:
    // A new journal: writes the header and flushes it, before the first
    // change, so that a journal with changes always has its identity.
    JournalWriter(JournalSink& sink, const JournalHeader& header);
    // Goes on with a journal read back (a recovery noting what it undid).
    // Its file must first be cut to JournalReading::ReadableEnd and hold
    // no damage: a record after a cut tail would make the tail damage.
    JournalWriter(JournalSink& sink, std::uint32_t nextNumber);
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // What `change` is about to alter, on disk when this returns: only
    // then may the change begin. Returns the record's number. Raises
    // EProgramFault for a marker, which has its own calls.
    std::uint32_t WriteAhead(std::uint32_t change, const JournalFact& fact);
    // The facts of one change (the levels of a registry key and its value)
    // under a single flush. Returns the first record's number.
    std::uint32_t WriteAhead(std::uint32_t change, const std::vector<JournalFact>& facts);
    // `change` is complete. Not flushed: losing it only makes a recovery
    // try to undo a change that was made whole, which it can; the next
    // WriteAhead's flush carries it to the disk.
    void MarkDone(std::uint32_t change);
    // A rollback undid record `number` (of `change`). Flushed, so that a
    // recovery that dies meanwhile does not undo it again.
    void MarkUndone(std::uint32_t number, std::uint32_t change);
    // Nothing is to be rolled back any more. Flushed.
    void MarkComplete();

    std::uint32_t NextNumber() const { return next_; }

private:
    std::uint32_t Append(std::uint32_t change, const std::vector<JournalFact>& facts, bool flush);

    JournalSink& sink_;
    std::uint32_t next_ = 1;
    // Set when the sink failed: part of a record may be on disk, and a
    // record after it would turn a cut tail into damage. Every later
    // call raises.
    bool broken_ = false;
};

}  // namespace qv::journal
