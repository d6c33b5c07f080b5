// Reads fuzz bytes as a rollback journal. The reader must never raise, and
// every record it returns must be one the writer writes byte for byte at
// that place: nothing it hands a recovery is made up from damage.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/journal/journal_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qv::journal;
    const JournalReading reading = ReadJournal(data, size);
    if (reading.ReadableEnd > size) __builtin_trap();
    if (reading.Refusal != JournalRefusal::None && !reading.Records.empty()) __builtin_trap();
    if (reading.Tail == JournalTail::Clean && reading.Refusal == JournalRefusal::None && reading.ReadableEnd != size)
        __builtin_trap();
    std::uint64_t end = 0;
    std::uint32_t number = 0;
    for (const JournalEntry& entry : reading.Records) {
        if (entry.Offset < end || entry.Number <= number) __builtin_trap();
        const auto frame = EncodeJournalFrame(entry.Number, entry.Record);
        if (entry.Offset + frame.size() > size || !std::equal(frame.begin(), frame.end(), data + entry.Offset))
            __builtin_trap();
        end = entry.Offset + frame.size();
        number = entry.Number;
    }
    if (end > reading.ReadableEnd || (number != 0 && reading.NextNumber <= number)) __builtin_trap();
    // What a recovery writes to its log.
    (void)DescribeRefusal(reading);
    (void)DescribeTail(reading);
    for (const JournalDamage& damage : reading.Damage) (void)DescribeDamage(damage);
    return 0;
}
