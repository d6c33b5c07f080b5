// Reads a whole rollback journal (journal_format.h) from its bytes: the
// records it can read, and an exact account of what it cannot, so that a
// recovery undoes what is readable and reports the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/journal/journal_format.h"

namespace qv::journal {

// Why a file is not read at all. Such a file is left as it is.
enum class JournalRefusal {
    None,
    NotAJournal,     // it does not begin with the signature
    UnknownVersion,  // another version's layout: only its own Setup.exe may act on it
};

enum class JournalHeaderState {
    Whole,
    // The file ends inside the header: the installation had not yet begun
    // to change anything. No records.
    Cut,
    // Its fixed part fails its checksum (the identity is unknown, records are
    // looked for behind it) or its identity texts do (AppName and AppFolder
    // stay empty). Listed among the damage too.
    Damaged,
};

// How the file ends after the last readable record.
enum class JournalTail {
    Clean,  // with that record
    // With part of a record: a frame header cut short, or a size that
    // reaches past the end. A run that died while writing; no damage.
    Cut,
    // With bytes that fail their checks and no readable record after them:
    // a record torn by a power cut while it was written, or one spoilt since.
    // Its change was not begun unless the disk spoilt it after its flush.
    Torn,
};

enum class JournalDamageKind {
    HeaderFixedPart,    // the header's first 40 bytes fail their checksum
    HeaderTexts,        // the identity texts fail their checksum or do not parse
    RecordFrame,        // no marker, or a frame header that fails its checksum
    RecordChecksum,     // a whole frame whose bytes fail the checksum
    RecordsMissing,     // a sound record whose number leaves out earlier ones
    RecordBody,         // a sound frame whose body does not parse
    UnknownRecordKind,  // a sound frame of a kind this version does not know
};

// Damage before the end: readable records follow it.
struct JournalDamage {
    JournalDamageKind Kind = JournalDamageKind::RecordFrame;
    std::uint64_t Offset = 0;      // where the damaged bytes begin
    std::uint32_t Number = 0;      // the record number due there; 0 in the header
    std::uint64_t Size = 0;        // bytes passed over, up to the next readable record
    std::uint32_t RecordsLost = 0; // how many numbers that leaves out
};

struct JournalEntry {
    std::uint32_t Number = 0;
    std::uint64_t Offset = 0;  // of its frame
    JournalRecord Record;
};

struct JournalReading {
    JournalRefusal Refusal = JournalRefusal::None;
    std::uint16_t Version = 0;  // as found
    JournalHeaderState HeaderState = JournalHeaderState::Whole;
    JournalHeader Header;
    std::vector<JournalEntry> Records;  // in the file's order
    std::vector<JournalDamage> Damage;  // in the file's order
    JournalTail Tail = JournalTail::Clean;
    // Where the readable part ends: the file's size when the tail is clean.
    // A writer that goes on cuts the file here first.
    std::uint64_t ReadableEnd = 0;
    // The number the next record gets.
    std::uint32_t NextNumber = 1;

    // Read to the end with nothing damaged (a cut or torn tail aside).
    bool Sound() const {
        return Refusal == JournalRefusal::None && HeaderState != JournalHeaderState::Damaged && Damage.empty();
    }
};

// Never raises for what the bytes hold; bounds are checked before use.
JournalReading ReadJournal(const std::uint8_t* data, std::size_t size);
inline JournalReading ReadJournal(const std::vector<std::uint8_t>& bytes) {
    return ReadJournal(bytes.data(), bytes.size());
}

// For the installation log: why the file was refused ("" when it was not),
// what one damage is, and how the file ends.
std::string DescribeRefusal(const JournalReading& reading);
std::string DescribeDamage(const JournalDamage& damage);
std::string DescribeTail(const JournalReading& reading);

}  // namespace qv::journal
