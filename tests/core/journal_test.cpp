// The rollback journal: every kind read back as written, a run killed while
// writing read as a cut tail, damage named where it lies with the records
// around it kept, and files that are no journal of this version refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "core/errors.h"
#include "core/journal/journal_reader.h"
#include "core/journal/journal_writer.h"

namespace qv::journal {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct MemorySink : JournalSink {
    Bytes bytes;
    std::size_t flushed = 0;  // bytes on "disk"
    bool failing = false;
    void Append(const std::uint8_t* data, std::size_t count) override {
        if (failing) throw std::runtime_error("disk full");
        bytes.insert(bytes.end(), data, data + count);
    }
    void Flush() override { flushed = bytes.size(); }
};

JournalHeader Identity() {
    JournalHeader header;
    header.Flags = jhPerMachine;
    header.ProcessId = 4242;
    header.ProcessCreationTime = 0x01D9'1234'5678'9ABCull;
    header.StartTime = 0x01D9'1234'6000'0000ull;
    header.AppName = "你好 1.0";
    header.AppFolder = "C:\\Program Files\\你好";
    return header;
}

// One fact of every kind that is written ahead, each field unlike its default.
std::vector<JournalFact> EveryFact() {
    const std::string binary("\0\x01\xFF", 3);
    return {
        FileMovedAside{"C:\\应用\\a.dll", "C:\\Windows\\qvjournal\\qv-1A2B3.bak", 0x21, 0x01D8'0000'0000'0001ull,
                       0x01D8'0000'0000'0002ull, 0x1'0000'0003ull},
        FileWasAbsent{"C:\\应用\\说明.lnk", jfNotifyShell},
        FolderCreated{"C:\\Temp\\qv-ABCDE.tmp", jfWithContents},
        IniValueBefore{"C:\\Windows\\WIN.INI", "节", "键", true, "旧值"},
        IniValueBefore{"C:\\Windows\\x.ini", "S", "K", false, ""},
        RegKeyWasAbsent{0x80000002u, "Software\\QV\\Uninstall\\你好_qv1", jfWholeTree},
        RegValueBefore{0x80000001u, "Software\\QV", "", {true, 3, binary}},
        RegValueBefore{0x80000001u, "Software\\QV", "名", {false, 0, ""}},
        RegKeyTreeBefore{0x80000002u,
                         "Software\\Uninstall\\你好_qv1",
                         {{"", {{"DisplayName", 1, "n\0a\0"}, {"", 4, binary}}}, {"Sub\\Deeper", {}}}},
        SharedCountRaised{"C:\\Windows\\System32\\shared.dll", {true, 4, std::string("\x02\0\0\0", 4)}},
        RestartRenameAdded{"C:\\应用\\qv-00001.tmp", "C:\\应用\\busy.dll", RestartRenameWay::WininitIni},
        RestartRenameAdded{"C:\\应用\\qv-00002.tmp", "", RestartRenameWay::PendingRename},
        LibraryRegistered{"C:\\应用\\reg.ocx"},
        ProgManItemAdded{"软件组", ""},
    };
}

// A journal of every fact, each preceding its change (numbered from 7)
// and each change marked done; then an undone record and completion.
Bytes EveryKindJournal(std::vector<JournalRecord>& written) {
    MemorySink sink;
    JournalWriter writer(sink, Identity());
    std::uint32_t change = 7;
    for (const JournalFact& fact : EveryFact()) {
        writer.WriteAhead(change, fact);
        written.push_back({change, fact});
        writer.MarkDone(change);
        written.push_back({change, ChangeDone{}});
        ++change;
    }
    writer.MarkUndone(3, 8);
    written.push_back({8, RecordUndone{3}});
    writer.MarkComplete();
    written.push_back({0, InstallationComplete{}});
    return sink.bytes;
}

void ExpectRecords(const JournalReading& reading, const std::vector<JournalRecord>& expected,
                   std::size_t first = 0, std::size_t count = SIZE_MAX) {
    count = std::min(count, expected.size() - first);
    ASSERT_EQ(reading.Records.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(reading.Records[i].Number, first + i + 1) << i;
        EXPECT_TRUE(reading.Records[i].Record == expected[first + i])
            << "record " << first + i + 1 << " "
            << JournalKindName(static_cast<std::uint8_t>(KindOf(expected[first + i].Fact)));
    }
}

TEST(Journal, EveryKindReadsBackAsWritten) {
    std::vector<JournalRecord> written;
    const Bytes bytes = EveryKindJournal(written);
    const JournalReading reading = ReadJournal(bytes);
    EXPECT_TRUE(reading.Sound());
    EXPECT_TRUE(reading.Header == Identity());
    EXPECT_EQ(reading.Tail, JournalTail::Clean);
    EXPECT_EQ(reading.ReadableEnd, bytes.size());
    EXPECT_EQ(reading.NextNumber, written.size() + 1);
    ExpectRecords(reading, written);
    // Every kind is among them.
    std::vector<bool> seen(std::variant_size_v<JournalFact>);
    for (const JournalRecord& record : written) seen[record.Fact.index()] = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), static_cast<std::ptrdiff_t>(seen.size()));
}

void Append(Bytes& bytes, std::initializer_list<int> values) {
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
}
void AppendCrc(Bytes& bytes, std::size_t from) {
    const uLong crc = crc32(0L, bytes.data() + from, static_cast<uInt>(bytes.size() - from));
    Append(bytes, {int(crc & 0xFF), int(crc >> 8 & 0xFF), int(crc >> 16 & 0xFF), int(crc >> 24 & 0xFF)});
}

TEST(Journal, TheLayoutIsTheOneDocumented) {
    JournalHeader header;
    header.Flags = jhPerMachine;
    header.ProcessId = 0x01020304;
    header.ProcessCreationTime = 0x1112131415161718ull;
    header.StartTime = 0x2122232425262728ull;
    header.AppName = "A";
    MemorySink sink;
    JournalWriter writer(sink, header);
    writer.WriteAhead(5, FileWasAbsent{"C:\\a", jfNotifyShell});

    Bytes expected = {'q', 'v', 'j', 'r', '-', '3', '2', 0x1A};
    Append(expected, {1, 0, 1, 0, 4, 3, 2, 1});
    Append(expected, {0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11, 0x28, 0x27, 0x26, 0x25, 0x24, 0x23, 0x22, 0x21});
    Append(expected, {9, 0, 0, 0});  // identity texts: "A" and ""
    AppendCrc(expected, 0);
    Append(expected, {1, 0, 0, 0, 'A', 0, 0, 0, 0});
    AppendCrc(expected, 40);
    const std::size_t frame = expected.size();
    Append(expected, {'J', 'R', 'e', 'c', 1, 0, 0, 0, 17, 0, 0, 0});
    AppendCrc(expected, frame);
    Append(expected, {2, 5, 0, 0, 0, 4, 0, 0, 0, 'C', ':', '\\', 'a', 1, 0, 0, 0});
    AppendCrc(expected, frame);
    EXPECT_EQ(sink.bytes, expected);
}

TEST(Journal, EachFactIsOnDiskBeforeItsChangeMayBegin) {
    MemorySink sink;
    JournalWriter writer(sink, Identity());
    EXPECT_EQ(sink.flushed, sink.bytes.size()) << "the header";
    writer.WriteAhead(1, FileWasAbsent{"C:\\a", 0});
    EXPECT_EQ(sink.flushed, sink.bytes.size());
    writer.MarkDone(1);
    const std::size_t done = sink.bytes.size();
    writer.WriteAhead(2, FileWasAbsent{"C:\\b", 0});
    EXPECT_GT(sink.flushed, done) << "the done marker rides on the next fact's flush";
    // The facts of one change under one flush.
    EXPECT_EQ(writer.WriteAhead(3, {RegKeyWasAbsent{0x80000001u, "Software\\QV", 0},
                                    RegValueBefore{0x80000001u, "Software\\QV", "v", {}}}),
              4u);
    EXPECT_EQ(sink.flushed, sink.bytes.size());
    EXPECT_EQ(writer.NextNumber(), 6u);
    EXPECT_THROW(writer.WriteAhead(3, ChangeDone{}), EProgramFault);
}

TEST(Journal, AWriteThatFailedStopsTheJournal) {
    MemorySink sink;
    JournalWriter writer(sink, Identity());
    sink.failing = true;
    EXPECT_THROW(writer.WriteAhead(1, FileWasAbsent{"C:\\a", 0}), std::runtime_error);
    sink.failing = false;
    // Part of the record may be on disk; anything after it would be damage.
    EXPECT_THROW(writer.WriteAhead(1, FileWasAbsent{"C:\\a", 0}), Exception);
    EXPECT_THROW(writer.MarkDone(1), Exception);
}

TEST(Journal, ARunKilledWhileWritingLeavesACutTail) {
    std::vector<JournalRecord> written;
    const Bytes whole = EveryKindJournal(written);
    const JournalReading full = ReadJournal(whole);
    const std::size_t lastStart = full.Records.back().Offset;
    for (std::size_t cut = lastStart; cut < whole.size(); ++cut) {
        const JournalReading reading = ReadJournal(whole.data(), cut);
        SCOPED_TRACE("cut at " + std::to_string(cut));
        EXPECT_TRUE(reading.Sound());
        EXPECT_EQ(reading.Tail, cut == lastStart ? JournalTail::Clean : JournalTail::Cut);
        EXPECT_EQ(reading.ReadableEnd, lastStart);
        ExpectRecords(reading, written, 0, written.size() - 1);
    }
    // Killed while the header was written: nothing was changed yet.
    const std::size_t headerSize = full.Records.front().Offset;
    for (std::size_t cut = 0; cut < headerSize; ++cut) {
        const JournalReading reading = ReadJournal(whole.data(), cut);
        EXPECT_EQ(reading.Refusal, JournalRefusal::None) << cut;
        EXPECT_EQ(reading.HeaderState, JournalHeaderState::Cut) << cut;
        EXPECT_TRUE(reading.Records.empty()) << cut;
    }
}

TEST(Journal, AFlippedByteInAMiddleRecordIsDamageThere) {
    std::vector<JournalRecord> written;
    const Bytes whole = EveryKindJournal(written);
    const JournalReading full = ReadJournal(whole);
    const std::size_t middle = 5;  // record 6
    const std::size_t start = full.Records[middle].Offset, end = full.Records[middle + 1].Offset;
    for (std::size_t at = start; at < end; ++at) {
        Bytes bytes = whole;
        bytes[at] ^= 0x20;
        const JournalReading reading = ReadJournal(bytes);
        SCOPED_TRACE("byte " + std::to_string(at));
        ASSERT_EQ(reading.Damage.size(), 1u);
        const JournalDamage& damage = reading.Damage[0];
        EXPECT_EQ(damage.Offset, start);
        EXPECT_EQ(damage.Number, middle + 1);
        EXPECT_EQ(damage.Size, end - start);
        EXPECT_EQ(damage.RecordsLost, 1u);
        EXPECT_NE(DescribeDamage(damage).find("record 6"), std::string::npos) << DescribeDamage(damage);
        // The records before it, and those after it, all read.
        ASSERT_EQ(reading.Records.size(), written.size() - 1);
        EXPECT_EQ(reading.Records[middle - 1].Number, middle);
        EXPECT_EQ(reading.Records[middle].Number, middle + 2);
        EXPECT_EQ(reading.Tail, JournalTail::Clean);
    }
    // The last record spoilt: nothing sound follows, so it reads as torn.
    Bytes bytes = whole;
    bytes[full.Records.back().Offset + kFrameHeaderSize] ^= 1;
    const JournalReading torn = ReadJournal(bytes);
    EXPECT_TRUE(torn.Damage.empty());
    EXPECT_EQ(torn.Tail, JournalTail::Torn);
    EXPECT_EQ(torn.Records.size(), written.size() - 1);
}

TEST(Journal, DamageInTheHeaderKeepsTheRecords) {
    std::vector<JournalRecord> written;
    const Bytes whole = EveryKindJournal(written);
    for (const std::size_t at : {kProcessIdOffset, kFixedHeaderSize + 6}) {
        Bytes bytes = whole;
        bytes[at] ^= 1;
        const JournalReading reading = ReadJournal(bytes);
        EXPECT_EQ(reading.HeaderState, JournalHeaderState::Damaged) << at;
        ASSERT_EQ(reading.Damage.size(), 1u) << at;
        EXPECT_EQ(reading.Damage[0].Kind, at == kProcessIdOffset ? JournalDamageKind::HeaderFixedPart
                                                                 : JournalDamageKind::HeaderTexts);
        EXPECT_TRUE(reading.Header.AppName.empty());
        ExpectRecords(reading, written);
    }
}

TEST(Journal, FilesOfOtherKindsAreRefused) {
    const Bytes uninstallLog = {'u', '1', '0', '9', '-', '3', '2', 0x1A, 0, 0};
    const JournalReading foreign = ReadJournal(uninstallLog);
    EXPECT_EQ(foreign.Refusal, JournalRefusal::NotAJournal);
    EXPECT_NE(DescribeRefusal(foreign).find("not a rollback journal"), std::string::npos);

    std::vector<JournalRecord> written;
    Bytes later = EveryKindJournal(written);
    later[kVersionOffset] = 2;
    const JournalReading newer = ReadJournal(later);
    EXPECT_EQ(newer.Refusal, JournalRefusal::UnknownVersion);
    EXPECT_TRUE(newer.Records.empty());
    EXPECT_NE(DescribeRefusal(newer).find("version 2"), std::string::npos) << DescribeRefusal(newer);
}

TEST(Journal, ARecoveryGoesOnAfterACutTail) {
    std::vector<JournalRecord> written;
    Bytes bytes = EveryKindJournal(written);
    bytes.resize(bytes.size() - 3);
    const JournalReading cut = ReadJournal(bytes);
    ASSERT_EQ(cut.Tail, JournalTail::Cut);
    MemorySink sink;
    sink.bytes.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut.ReadableEnd));
    JournalWriter writer(sink, cut.NextNumber);
    writer.MarkUndone(cut.Records.back().Number, 0);
    const JournalReading again = ReadJournal(sink.bytes);
    EXPECT_TRUE(again.Sound());
    EXPECT_EQ(again.Tail, JournalTail::Clean);
    ASSERT_EQ(again.Records.size(), written.size());
    EXPECT_TRUE(again.Records.back().Record.Fact == JournalFact(RecordUndone{cut.Records.back().Number}));
}

}  // namespace
}  // namespace qv::journal
