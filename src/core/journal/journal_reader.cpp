#include "core/journal/journal_reader.h"

#include <algorithm>
#include <optional>

#include "core/bytes.h"
#include "core/journal/journal_checksum.h"
#include "core/journal/journal_fields.h"

namespace qv::journal {

namespace {

struct Frame {
    std::size_t Offset = 0;
    std::uint32_t Number = 0;
    std::size_t BodySize = 0;
    std::size_t End() const { return Offset + kFrameOverhead + BodySize; }
};

enum class FrameCheck { Sound, HeaderBad, CutShort, ChecksumBad };

// The frame at `at`, of which at least its header lies in the file.
FrameCheck CheckFrame(const std::uint8_t* data, std::size_t size, std::size_t at, Frame& frame) {
    const std::uint8_t* p = data + at;
    if (!std::equal(kRecordMarker.begin(), kRecordMarker.end(), p) ||
        GetUi32(p + kFrameChecksumOffset) != Checksum(p, kFrameChecksumOffset) ||
        GetUi32(p + kFrameSizeOffset) > kMaxRecordBody)
        return FrameCheck::HeaderBad;
    frame.Offset = at;
    frame.Number = GetUi32(p + kFrameNumberOffset);
    frame.BodySize = GetUi32(p + kFrameSizeOffset);
    if (frame.BodySize + kFrameOverhead > size - at) return FrameCheck::CutShort;
    const std::size_t checked = kFrameHeaderSize + frame.BodySize;
    if (GetUi32(p + checked) != Checksum(p, checked)) return FrameCheck::ChecksumBad;
    return FrameCheck::Sound;
}

// The first sound frame from `from` on whose number is above `after`: where
// reading goes on behind damage.
std::optional<Frame> FindSoundFrame(const std::uint8_t* data, std::size_t size, std::size_t from,
                                    std::uint32_t after) {
    for (std::size_t at = from; size >= kFrameOverhead && at <= size - kFrameOverhead; ++at) {
        const std::uint8_t* found = std::search(data + at, data + size, kRecordMarker.begin(), kRecordMarker.end());
        at = static_cast<std::size_t>(found - data);
        if (at > size - kFrameOverhead) break;
        Frame frame;
        if (CheckFrame(data, size, at, frame) == FrameCheck::Sound && frame.Number > after) return frame;
    }
    return std::nullopt;
}

// The header. Returns where the records begin, or nothing when there are
// none to read (refused, or cut).
std::optional<std::size_t> ReadHeader(const std::uint8_t* data, std::size_t size, JournalReading& reading) {
    const std::size_t signatureBytes = std::min(size, kSignature.size());
    if (!std::equal(data, data + signatureBytes, kSignature.begin())) {
        reading.Refusal = JournalRefusal::NotAJournal;
        return std::nullopt;
    }
    // The version comes before any checksum: another version may lay out
    // the rest differently, and its records are not this version's to undo.
    if (size >= kVersionOffset + 2) {
        reading.Version = GetUi16(data + kVersionOffset);
        if (reading.Version != kVersion) {
            reading.Refusal = JournalRefusal::UnknownVersion;
            return std::nullopt;
        }
    }
    if (size < kFixedHeaderSize) {
        reading.HeaderState = JournalHeaderState::Cut;
        return std::nullopt;
    }
    const std::uint32_t textSize = GetUi32(data + kIdentitySizeOffset);
    if (GetUi32(data + kFixedChecksumOffset) != Checksum(data, kFixedChecksumOffset) || textSize > kMaxIdentityText) {
        reading.HeaderState = JournalHeaderState::Damaged;
        reading.Damage.push_back({JournalDamageKind::HeaderFixedPart, 0, 0, kFixedHeaderSize, 0});
        return kFixedHeaderSize;
    }
    JournalHeader& header = reading.Header;
    header.Flags = GetUi16(data + kHeaderFlagsOffset);
    header.ProcessId = GetUi32(data + kProcessIdOffset);
    header.ProcessCreationTime = GetUi64(data + kProcessCreationOffset);
    header.StartTime = GetUi64(data + kStartTimeOffset);
    if (textSize + 4 > size - kFixedHeaderSize) {
        reading.HeaderState = JournalHeaderState::Cut;
        return std::nullopt;
    }
    const std::uint8_t* texts = data + kFixedHeaderSize;
    FieldReader fields(texts, textSize);
    std::string appName = fields.Text(), appFolder = fields.Text();
    if (GetUi32(texts + textSize) != Checksum(texts, textSize) || !fields.Exhausted()) {
        reading.HeaderState = JournalHeaderState::Damaged;
        reading.Damage.push_back({JournalDamageKind::HeaderTexts, kFixedHeaderSize, 0, textSize + 4u, 0});
    } else {
        header.AppName = std::move(appName);
        header.AppFolder = std::move(appFolder);
    }
    return kFixedHeaderSize + textSize + 4;
}

void ReadRecords(const std::uint8_t* data, std::size_t size, std::size_t at, JournalReading& reading) {
    std::uint32_t last = 0;  // number of the last sound frame
    if (!reading.Damage.empty() && reading.Damage.back().Kind == JournalDamageKind::HeaderFixedPart) {
        // Where the identity texts end is unknown: the first sound frame tells.
        const std::optional<Frame> first = FindSoundFrame(data, size, at, 0);
        reading.ReadableEnd = at;
        if (!first) {
            reading.Tail = at == size ? JournalTail::Clean : JournalTail::Torn;
            return;
        }
        reading.Damage.back().Size = first->Offset;
        reading.Damage.back().RecordsLost = first->Number - 1;
        at = first->Offset;
        reading.NextNumber = first->Number;
    }
    for (;;) {
        reading.ReadableEnd = at;
        if (at == size) return;
        if (size - at < kFrameHeaderSize) {
            reading.Tail = JournalTail::Cut;
            return;
        }
        Frame frame;
        const FrameCheck check = CheckFrame(data, size, at, frame);
        if (check == FrameCheck::CutShort) {
            reading.Tail = JournalTail::Cut;
            return;
        }
        if (check == FrameCheck::Sound && frame.Number > last) {
            const std::uint32_t due = reading.NextNumber;
            if (frame.Number > due)
                reading.Damage.push_back({JournalDamageKind::RecordsMissing, at, due, 0, frame.Number - due});
            JournalEntry entry;
            entry.Number = frame.Number;
            entry.Offset = at;
            const BodyFault fault = DecodeJournalBody(data + at + kFrameHeaderSize, frame.BodySize, entry.Record);
            if (fault == BodyFault::None)
                reading.Records.push_back(std::move(entry));
            else
                reading.Damage.push_back({fault == BodyFault::UnknownKind ? JournalDamageKind::UnknownRecordKind
                                                                          : JournalDamageKind::RecordBody,
                                          at, frame.Number, frame.End() - at, 1});
            last = frame.Number;
            reading.NextNumber = last + 1;
            at = frame.End();
            continue;
        }
        // Damage here, unless nothing sound follows: then the tail is torn.
        const std::optional<Frame> next = FindSoundFrame(data, size, at + 1, last);
        if (!next) {
            reading.Tail = JournalTail::Torn;
            return;
        }
        const std::uint32_t due = reading.NextNumber;
        reading.Damage.push_back({check == FrameCheck::ChecksumBad ? JournalDamageKind::RecordChecksum
                                                                   : JournalDamageKind::RecordFrame,
                                  at, due, next->Offset - at, next->Number > due ? next->Number - due : 0});
        reading.NextNumber = next->Number;
        at = next->Offset;
    }
}

std::string DamageKindText(JournalDamageKind kind) {
    switch (kind) {
    case JournalDamageKind::HeaderFixedPart: return "the header fails its checks; the identity is unknown";
    case JournalDamageKind::HeaderTexts: return "the identity texts fail their checksum";
    case JournalDamageKind::RecordFrame: return "no sound record frame, next in order, begins here";
    case JournalDamageKind::RecordChecksum: return "the record fails its checksum";
    case JournalDamageKind::RecordsMissing: return "record numbers are left out";
    case JournalDamageKind::RecordBody: return "the record's fields do not parse";
    case JournalDamageKind::UnknownRecordKind: return "the record is of a kind this version does not know";
    }
    return "damage";
}

}  // namespace

JournalReading ReadJournal(const std::uint8_t* data, std::size_t size) {
    JournalReading reading;
    const std::optional<std::size_t> records = ReadHeader(data, size, reading);
    if (!records) {
        reading.ReadableEnd = 0;
        if (reading.HeaderState == JournalHeaderState::Cut) reading.Tail = JournalTail::Cut;
        return reading;
    }
    ReadRecords(data, size, *records, reading);
    return reading;
}

std::string DescribeRefusal(const JournalReading& reading) {
    switch (reading.Refusal) {
    case JournalRefusal::None: return "";
    case JournalRefusal::NotAJournal:
        return "not a rollback journal: the file does not begin with the signature \"qvjr-32\" 0x1A";
    case JournalRefusal::UnknownVersion:
        return "a rollback journal of version " + std::to_string(reading.Version) + ", which this Setup.exe (version " +
               std::to_string(kVersion) + ") does not read; it is left for the Setup.exe that wrote it";
    }
    return "";
}

std::string DescribeDamage(const JournalDamage& damage) {
    std::string text = "damage at offset " + std::to_string(damage.Offset);
    if (damage.Number != 0) text += ", record " + std::to_string(damage.Number);
    text += ": " + DamageKindText(damage.Kind);
    if (damage.Size != 0) text += "; " + std::to_string(damage.Size) + " bytes passed over";
    if (damage.RecordsLost != 0) text += "; " + std::to_string(damage.RecordsLost) + " record(s) not read";
    return text;
}

std::string DescribeTail(const JournalReading& reading) {
    const std::string at = " at offset " + std::to_string(reading.ReadableEnd);
    if (reading.HeaderState == JournalHeaderState::Cut) return "the file ends inside its header" + at;
    switch (reading.Tail) {
    case JournalTail::Clean: return "the file ends after its last record";
    case JournalTail::Cut: return "the last record was cut short" + at + ", its change not begun";
    case JournalTail::Torn: return "unreadable bytes" + at + " up to the end, no record after them";
    }
    return "";
}

}  // namespace qv::journal
