#include <gtest/gtest.h>

#include <map>
#include <optional>

#include <zlib.h>

#include "core/bytes.h"
#include "core/setupdata/block.h"
#include "core/setupdata/data_files.h"
#include "test_files.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = SourceFailureKind;

// Data files and the /SL file as bytes in memory, so that each test damages
// exactly what it names.
class MemoryOpener : public DataFileOpener {
public:
    std::unique_ptr<InStream> OpenDataFile(int n) override {
        ++opened[n];
        if (n == failingDisk) return std::make_unique<test::FailingInStream>(disks.at(n), failAt);
        const auto found = disks.find(n);
        if (found == disks.end()) throw EInOutError(io_code::FileNotFound);
        return std::make_unique<MemoryInStream>(found->second);
    }
    std::unique_ptr<InStream> OpenSlDataFile() override {
        ++slOpened;
        return std::make_unique<MemoryInStream>(slFile);
    }

    std::map<int, Bytes> disks;
    Bytes slFile;
    std::map<int, int> opened;
    int slOpened = 0;
    int failingDisk = 0;
    std::uint64_t failAt = 0;
};

struct Stored {
    TFileRec file;
    TFileLocationRec location;
};

Stored Store(FileDataWriter& writer, const Bytes& content) {
    MemoryInStream in(content);
    const StoredStream s = writer.AddStream(in);
    Stored r;
    r.location = s.Location;
    r.file.OriginalSize = s.OriginalSize;
    r.file.CompressedSize = s.CompressedSize;
    r.file.Adler32 = s.Adler32;
    return r;
}

// Writes the contents as data files of at most `diskSize` bytes and loads them.
std::vector<Stored> StoreAll(MemoryOpener& opener, std::uint64_t diskSize, const std::vector<Bytes>& contents) {
    test::TempDir dir;
    FileDataWriter writer(dir.path().string(), diskSize, 6);
    std::vector<Stored> stored;
    for (const auto& content : contents) stored.push_back(Store(writer, content));
    const int disks = writer.Finish();
    for (int n = 1; n <= disks; ++n) opener.disks[n] = test::ReadAll(dir.file("SETUP." + std::to_string(n)));
    return stored;
}

Bytes Extract(DataFileOpener& opener, const Stored& s, std::int32_t slFileDataOffset = 0,
              std::vector<std::size_t>* pieces = nullptr) {
    MemoryOutStream out;
    ExtractFileStream(opener, s.file, s.location, slFileDataOffset, out, [&](std::size_t n) {
        if (pieces) pieces->push_back(n);
    });
    return out.Bytes();
}

// The details of the damage that extracting `s` reports; the engine's text
// is the one of every kind of damage.
SourceFailure Damage(DataFileOpener& opener, const Stored& s, std::int32_t slFileDataOffset = 0) {
    try {
        Extract(opener, s, slFileDataOffset);
    } catch (const ESourceStreamDamaged& damage) {
        EXPECT_STREQ(damage.what(), "源文件已损坏。");
        EXPECT_FALSE(IsReadError(damage.failure().Kind));
        return damage.failure();
    }
    ADD_FAILURE() << "no damage reported";
    return {};
}

void ExpectAt(const SourceFailure& failure, Kind kind, std::int32_t disk, std::int64_t offset) {
    EXPECT_EQ(failure.Kind, kind);
    EXPECT_EQ(failure.Disk, disk);
    EXPECT_EQ(failure.Offset, offset);
}

TEST(DataFiles, StreamSpanningThreeDataFilesInPieces) {
    MemoryOpener opener;
    const Bytes small = test::MixedBytes(500, 1);
    const Bytes big = test::MixedBytes(100000, 2);  // noise halves: about 50 KB compressed
    const auto stored = StoreAll(opener, 20000, {small, big});
    const Stored &a = stored[0], &b = stored[1];
    ASSERT_GE(opener.disks.size(), 3u);
    EXPECT_EQ(a.location.FirstDisk, 1);
    EXPECT_EQ(a.location.LastDisk, 1);
    EXPECT_EQ(a.location.StartOffset, 12);
    EXPECT_EQ(b.location.FirstDisk, 1);
    EXPECT_GE(b.location.LastDisk, 3);
    // Each data file's header names its own size.
    for (const auto& [n, file] : opener.disks) {
        EXPECT_LE(file.size(), 20000u);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "idska32\x1A");
        EXPECT_EQ(GetI32(&file[8]), static_cast<std::int32_t>(file.size()));
    }

    EXPECT_EQ(Extract(opener, a), small);
    EXPECT_EQ(opener.opened.count(2), 0u);  // a file within SETUP.1 never touches SETUP.2
    std::vector<std::size_t> pieces;
    EXPECT_EQ(Extract(opener, b, 0, &pieces), big);
    EXPECT_EQ(opener.opened[3], 1);
    // One call per piece of at most 32,000 bytes; the pieces add up to the
    // compressed size, which is what the engine's gauge counts.
    ASSERT_GE(pieces.size(), 2u);
    std::int64_t total = 0;
    for (const std::size_t n : pieces) {
        EXPECT_LE(n, kDecompressBufferSize);
        total += static_cast<std::int64_t>(n);
    }
    EXPECT_EQ(pieces.front(), kDecompressBufferSize);
    EXPECT_EQ(total, b.file.CompressedSize);
}

TEST(DataFiles, DamagedDataFileHeaders) {
    MemoryOpener opener;
    const auto stored = StoreAll(opener, 8000, {test::MixedBytes(20000, 3)});
    const Stored& s = stored[0];
    ASSERT_GE(s.location.LastDisk, 2);
    const Bytes good1 = opener.disks[1], good2 = opener.disks[2];

    opener.disks[1][3] = 'X';
    ExpectAt(Damage(opener, s), Kind::BadSignature, 1, 0);
    opener.disks[1] = good1;

    SetI32(&opener.disks[1][8], static_cast<std::int32_t>(good1.size() + 1));
    SourceFailure failure = Damage(opener, s);
    ExpectAt(failure, Kind::SizeFieldDiffers, 1, 8);
    EXPECT_EQ(failure.Expected, static_cast<std::int64_t>(good1.size() + 1));
    EXPECT_EQ(failure.Actual, static_cast<std::int64_t>(good1.size()));
    opener.disks[1] = good1;

    // A negative size field never matches.
    SetI32(&opener.disks[2][8], -1);
    failure = Damage(opener, s);
    ExpectAt(failure, Kind::SizeFieldDiffers, 2, 8);  // checked after the change of disk
    EXPECT_EQ(failure.Expected, -1);
    opener.disks[2] = good2;

    // A data file shorter than its header is the run-time error, not damage.
    opener.disks[2].resize(7);
    try {
        Extract(opener, s);
        ADD_FAILURE() << "a cut header passed";
    } catch (const ESourceReadError& error) {
        EXPECT_EQ(error.code(), io_code::ReadBeyondEnd);
        EXPECT_STREQ(error.what(), "Read beyond end of file");
        ExpectAt(error.failure(), Kind::HeaderCutShort, 2, 0);
        EXPECT_EQ(error.failure().Actual, 7);
    }
    opener.disks[2] = good2;
    EXPECT_EQ(Extract(opener, s), test::MixedBytes(20000, 3));
}

TEST(DataFiles, DamagedStreams) {
    MemoryOpener opener;
    const Bytes content = test::MixedBytes(20000, 3);
    const auto stored = StoreAll(opener, 0, {content});
    const Stored& s = stored[0];
    const Bytes good = opener.disks[1];

    opener.disks[1][13] = 'Z';
    ExpectAt(Damage(opener, s), Kind::MissingMarker, 1, 12);
    opener.disks[1] = good;

    opener.disks[1][good.size() / 2] ^= 0x55;  // deflate data
    SourceFailure failure = Damage(opener, s);
    EXPECT_EQ(failure.Kind, Kind::CorruptData);
    EXPECT_EQ(failure.Disk, 1);
    EXPECT_GT(failure.Offset, static_cast<std::int64_t>(good.size() / 2));  // read past the damage
    opener.disks[1] = good;

    Stored wrong = s;
    wrong.file.Adler32 ^= 1;
    failure = Damage(opener, wrong);
    EXPECT_EQ(failure.Kind, Kind::ChecksumMismatch);
    EXPECT_EQ(failure.Expected, wrong.file.Adler32);
    EXPECT_EQ(failure.Actual, s.file.Adler32);

    wrong = s;
    wrong.file.OriginalSize -= 1;
    failure = Damage(opener, wrong);
    EXPECT_EQ(failure.Kind, Kind::MoreDataThanExpected);
    EXPECT_EQ(failure.Expected, 19999);
    EXPECT_GT(failure.Actual, 19999);

    wrong = s;
    wrong.file.OriginalSize += 1;
    failure = Damage(opener, wrong);
    EXPECT_EQ(failure.Kind, Kind::LessDataThanExpected);
    EXPECT_EQ(failure.Expected, 20001);
    EXPECT_EQ(failure.Actual, 20000);

    wrong = s;
    wrong.file.CompressedSize += 10;  // runs past the last disk
    failure = Damage(opener, wrong);
    ExpectAt(failure, Kind::StreamEndedEarly, 1, static_cast<std::int64_t>(good.size()));
    EXPECT_EQ(failure.Expected, 10);
    EXPECT_EQ(failure.Actual, 0);
}

TEST(DataFiles, StreamEndingBeforeItsLastDiskIsDamage) {
    MemoryOpener opener;
    const auto stored = StoreAll(opener, 8000, {test::MixedBytes(20000, 4)});
    Stored wrong = stored[0];
    wrong.location.LastDisk -= 1;
    const SourceFailure failure = Damage(opener, wrong);
    ExpectAt(failure, Kind::StreamEndedEarly, wrong.location.LastDisk,
             static_cast<std::int64_t>(opener.disks[wrong.location.LastDisk].size()));
    EXPECT_GT(failure.Expected, 0);
    EXPECT_EQ(opener.opened.count(wrong.location.LastDisk + 1), 0u);
}

TEST(DataFiles, CraftedRecordsAreDamageBeforeAnyRead) {
    MemoryOpener opener;
    const auto stored = StoreAll(opener, 0, {test::MixedBytes(3000, 5)});
    const Stored& s = stored[0];
    const std::int64_t size = static_cast<std::int64_t>(opener.disks[1].size());

    Stored wrong = s;
    wrong.file.CompressedSize = -5;
    SourceFailure failure = Damage(opener, wrong);
    EXPECT_EQ(failure.Kind, Kind::NegativeSize);
    EXPECT_EQ(failure.Actual, -5);
    wrong = s;
    wrong.file.OriginalSize = -1;
    EXPECT_EQ(Damage(opener, wrong).Kind, Kind::NegativeSize);

    wrong = s;
    wrong.location.FirstDisk = 2;
    failure = Damage(opener, wrong);
    EXPECT_EQ(failure.Kind, Kind::BadDiskRange);
    EXPECT_EQ(failure.Disk, 2);
    EXPECT_EQ(failure.Actual, 1);
    wrong = s;
    wrong.location.FirstDisk = wrong.location.LastDisk = 0;
    EXPECT_EQ(Damage(opener, wrong).Kind, Kind::BadDiskRange);
    EXPECT_TRUE(opener.opened.empty());

    for (const std::int32_t start : {-1, static_cast<std::int32_t>(size) - 3, 1 << 30}) {
        wrong = s;
        wrong.location.StartOffset = start;
        failure = Damage(opener, wrong);
        ExpectAt(failure, Kind::StartOutsideSource, 1, start);
        EXPECT_EQ(failure.Actual, size);
    }
}

TEST(DataFiles, ReadFailuresCarryTheDiskAndOffset) {
    MemoryOpener opener;
    const Bytes content = test::MixedBytes(20000, 6);
    const auto stored = StoreAll(opener, 8000, {content});
    const Stored& s = stored[0];

    opener.failingDisk = 2;
    for (const std::uint64_t failAt : {std::uint64_t{5}, std::uint64_t{100}}) {
        opener.failAt = failAt;
        try {
            Extract(opener, s);
            ADD_FAILURE() << "a failing device passed";
        } catch (const ESourceReadError& error) {
            EXPECT_EQ(error.code(), io_code::AccessDenied);
            EXPECT_STREQ(error.what(), "File access denied");  // the engine's text
            EXPECT_EQ(error.failure().Kind, Kind::ReadFailed);
            EXPECT_EQ(error.failure().Disk, 2);
            EXPECT_EQ(error.failure().Offset, failAt < 12 ? 0 : 12);
        }
    }
    opener.failingDisk = 0;

    // The sink's own failure (a full destination disk) is not the source's.
    class FullDisk final : public OutStream {
    public:
        void Write(const void*, std::size_t) override { throw EInOutError(io_code::DiskFull); }
        std::uint64_t Position() const override { return 0; }
    } full;
    try {
        ExtractFileStream(opener, s.file, s.location, 0, full);
        ADD_FAILURE() << "a full disk passed";
    } catch (const ESourceReadError&) {
        ADD_FAILURE() << "a full disk was taken for the source's failure";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.code(), io_code::DiskFull);
    }
}

TEST(DataFiles, TheOpenersAndTheCallbacksExceptionsPassUntouched) {
    MemoryOpener opener;
    const auto stored = StoreAll(opener, 4000, {test::MixedBytes(30000, 7)});
    const Stored& s = stored[0];

    const Bytes disk2 = opener.disks[2];
    opener.disks.erase(2);
    try {
        Extract(opener, s);
        ADD_FAILURE() << "a missing disk passed";
    } catch (const ESourceReadError&) {
        ADD_FAILURE() << "a missing disk was taken for the source's failure";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.code(), io_code::FileNotFound);
    }

    opener.disks[2] = disk2;

    // The engine's Cancel, raised where it pumps messages.
    MemoryOutStream out;
    int calls = 0;
    EXPECT_THROW(ExtractFileStream(opener, s.file, s.location, 0, out, [&](std::size_t) {
        if (++calls == 1) throw EAbort();
    }), EAbort);
    EXPECT_EQ(calls, 1);
}

TEST(DataFiles, SingleFileLayoutHasNoHeaderButLaterDisksDo) {
    MemoryOutStream data;
    FileDataWriter writer(data, 9);
    const Bytes one = test::MixedBytes(3000, 5), two = test::MixedBytes(40000, 6);
    const Stored a = Store(writer, one);
    const Stored b = Store(writer, two);
    writer.Finish();
    EXPECT_EQ(a.location.StartOffset, 0);
    EXPECT_EQ(b.location.StartOffset, 4 + a.file.CompressedSize);

    // The /SL file: 100 bytes of something else, then the file data.
    MemoryOpener opener;
    opener.slFile.assign(100, 0x11);
    opener.slFile.insert(opener.slFile.end(), data.Bytes().begin(), data.Bytes().end());
    EXPECT_EQ(Extract(opener, a, 100), one);
    EXPECT_EQ(Extract(opener, b, 100), two);
    EXPECT_EQ(opener.slOpened, 2);
    EXPECT_TRUE(opener.opened.empty());

    // A stream that the /SL file holds only in part goes on in SETUP.2, whose
    // header is checked.
    const std::size_t cut = opener.slFile.size() - 5000;
    const Bytes rest(opener.slFile.begin() + static_cast<std::ptrdiff_t>(cut), opener.slFile.end());
    Bytes disk2(kDataFileHeaderSize + rest.size());
    std::copy(kDataFileSignature.begin(), kDataFileSignature.end(), disk2.begin());
    SetI32(&disk2[8], static_cast<std::int32_t>(disk2.size()));
    std::copy(rest.begin(), rest.end(), disk2.begin() + kDataFileHeaderSize);
    opener.slFile.resize(cut);
    opener.disks[2] = disk2;
    Stored spanning = b;
    spanning.location.LastDisk = 2;
    EXPECT_EQ(Extract(opener, spanning, 100), two);
    opener.disks[2][0] = 'X';
    const SourceFailure failure = Damage(opener, spanning, 100);
    ExpectAt(failure, Kind::BadSignature, 2, 0);
    EXPECT_FALSE(failure.InSlFile);

    // Damage in the /SL file itself says so.
    Stored outside = a;
    outside.location.StartOffset = static_cast<std::int32_t>(cut);
    const SourceFailure there = Damage(opener, outside, 100);
    EXPECT_EQ(there.Kind, Kind::StartOutsideSource);
    EXPECT_TRUE(there.InSlFile);
    EXPECT_EQ(there.Offset, static_cast<std::int64_t>(cut) + 100);
}

TEST(DataFiles, EmptyFileAndTinyDisks) {
    MemoryOpener opener;
    const auto stored = StoreAll(opener, 17, {{}, {'h', 'i'}});  // header, marker and one byte
    EXPECT_GT(opener.disks.size(), 2u);
    EXPECT_TRUE(Extract(opener, stored[0]).empty());
    EXPECT_EQ(Extract(opener, stored[1]), (Bytes{'h', 'i'}));
    test::TempDir dir;
    EXPECT_THROW(FileDataWriter(dir.path().string(), 16, 6), Exception);
}

// A whole-stream decompressor over zlib in one call, as the tool's are.
WholeInflateResult ZlibWhole(const std::uint8_t* input, std::size_t size, std::uint8_t* output, std::size_t room) {
    WholeInflateResult result;
    z_stream z{};
    inflateInit(&z);
    z.next_in = const_cast<Bytef*>(input);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = output;
    z.avail_out = static_cast<uInt>(room);
    if (inflate(&z, Z_FINISH) == Z_STREAM_END) {
        result.Result = WholeInflateResult::Outcome::Complete;
        result.Consumed = size - z.avail_in;
        result.Produced = z.total_out;
        result.Adler32 = Adler32(output, result.Produced);
    }
    inflateEnd(&z);
    return result;
}

// One that never gets anywhere: every verdict is left to the streamed loop.
WholeInflateResult Refusing(const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t) { return {}; }

TEST(DataFiles, WholeReadingGivesTheVerdictOfTheStreamedLoop) {
    MemoryOpener opener;
    const Bytes content = test::MixedBytes(60000, 8);
    const auto stored = StoreAll(opener, 20000, {content});  // across data files
    const Stored& s = stored[0];
    for (const WholeInflater& inflate :
         {WholeInflater(ZlibWhole), WholeInflater(InflateWholeWithLibdeflate), WholeInflater(Refusing)}) {
        // Memory kept from larger files before: what it held must not show.
        Bytes whole(80000, 0xA5), scratch(90000, 0x5A);
        std::int64_t read = 0;
        ExtractWholeFileStream(
            opener, s.file, s.location, 0, inflate, whole, [&](std::size_t n) { read += static_cast<std::int64_t>(n); },
            &scratch);
        EXPECT_EQ(whole, content);
        EXPECT_GE(read, s.file.CompressedSize);

        // A stream without its Adler-32 trailer: the engine's loop takes
        // all its data and the record's checks pass; so does whole reading.
        Stored cut = s;
        cut.file.CompressedSize -= 4;
        ExtractWholeFileStream(opener, cut.file, cut.location, 0, inflate, whole);
        EXPECT_EQ(whole, content);

        // Damage is reported as the streamed loop reports it.
        Stored wrong = s;
        wrong.file.OriginalSize -= 1;
        try {
            ExtractWholeFileStream(opener, wrong.file, wrong.location, 0, inflate, whole);
            ADD_FAILURE() << "no damage reported";
        } catch (const ESourceStreamDamaged& damage) {
            EXPECT_EQ(damage.failure().Kind, Kind::MoreDataThanExpected);
        }
        EXPECT_LE(whole.size(), content.size());
    }
}

TEST(DataFiles, SameInputGivesSameBytes) {
    MemoryOpener one, two;
    StoreAll(one, 0, {test::MixedBytes(50000, 7)});
    StoreAll(two, 0, {test::MixedBytes(50000, 7)});
    EXPECT_EQ(one.disks, two.disks);
}

}  // namespace
}  // namespace qv
