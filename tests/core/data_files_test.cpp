#include <gtest/gtest.h>

#include <map>

#include "core/bytes.h"
#include "core/setupdata/data_files.h"
#include "test_files.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

class FolderOpener : public DataFileOpener {
public:
    explicit FolderOpener(const test::TempDir& dir) : dir_(dir) {}
    std::unique_ptr<InStream> OpenDataFile(int n) override {
        ++opened[n];
        return std::make_unique<FileInStream>(dir_.file("SETUP." + std::to_string(n)));
    }
    std::map<int, int> opened;

private:
    const test::TempDir& dir_;
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

Bytes Extract(DataFileOpener& opener, const Stored& s, std::int64_t* reported = nullptr) {
    MemoryOutStream out;
    TExtractContext context;
    context.Opener = &opener;
    context.Dest = &out;
    context.OnRead = [&](std::size_t n) { if (reported) *reported += static_cast<std::int64_t>(n); };
    context.Source = opener.OpenDataFile(s.location.FirstDisk);
    ExtractFileStream(context, s.file, s.location, 0);
    return out.Bytes();
}

TEST(DataFiles, StreamSpanningThreeDataFiles) {
    test::TempDir dir;
    const Bytes small = test::MixedBytes(500, 1);
    const Bytes big = test::MixedBytes(60000, 2);  // noise halves: about 30 KB compressed
    FileDataWriter writer(dir.path().string(), 12000, 6);
    const Stored a = Store(writer, small);
    const Stored b = Store(writer, big);
    const int disks = writer.Finish();
    ASSERT_GE(disks, 3);
    EXPECT_EQ(a.location.FirstDisk, 1);
    EXPECT_EQ(a.location.LastDisk, 1);
    EXPECT_EQ(a.location.StartOffset, 12);
    EXPECT_EQ(b.location.FirstDisk, 1);
    EXPECT_GE(b.location.LastDisk, 3);
    // Each data file's header names its own size.
    for (int n = 1; n <= disks; ++n) {
        const Bytes file = test::ReadAll(dir.file("SETUP." + std::to_string(n)));
        EXPECT_LE(file.size(), 12000u);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "idska32\x1A");
        EXPECT_EQ(GetI32(&file[8]), static_cast<std::int32_t>(file.size()));
    }

    FolderOpener opener(dir);
    EXPECT_EQ(Extract(opener, a), small);
    EXPECT_EQ(opener.opened.count(2), 0u);  // a file within SETUP.1 never touches SETUP.2
    std::int64_t reported = 0;
    EXPECT_EQ(Extract(opener, b, &reported), big);
    EXPECT_EQ(reported, b.file.CompressedSize);  // the gauge counts compressed bytes
    EXPECT_EQ(opener.opened[3], 1);
}

TEST(DataFiles, DamageIsSourceFileCorrupted) {
    test::TempDir dir;
    const Bytes content = test::MixedBytes(20000, 3);
    FileDataWriter writer(dir.path().string(), 0, 6);
    const Stored s = Store(writer, content);
    writer.Finish();
    const std::string path = dir.file("SETUP.1");
    const Bytes good = test::ReadAll(path);
    FolderOpener opener(dir);

    const auto expectCorrupt = [&](const Bytes& bytes, const Stored& stored) {
        test::WriteAll(path, bytes);
        EXPECT_THROW(Extract(opener, stored), ESourceFileCorrupted);
    };
    Bytes bad = good;
    bad[3] = 'X';  // signature
    expectCorrupt(bad, s);
    bad = good;
    SetI32(&bad[8], static_cast<std::int32_t>(good.size() + 1));  // size off by one
    expectCorrupt(bad, s);
    bad = good;
    bad[12] = 'Z';  // marker
    expectCorrupt(bad, s);
    bad = good;
    bad[good.size() / 2] ^= 0x55;  // deflate data
    expectCorrupt(bad, s);

    Stored wrong = s;
    wrong.file.Adler32 ^= 1;
    expectCorrupt(good, wrong);
    wrong = s;
    wrong.file.OriginalSize -= 1;  // more bytes than expected
    expectCorrupt(good, wrong);
    wrong = s;
    wrong.file.OriginalSize += 1;
    expectCorrupt(good, wrong);
    wrong = s;
    wrong.file.CompressedSize += 10;  // runs past the last disk
    expectCorrupt(good, wrong);
}

TEST(DataFiles, MissingNextDiskPassesTheOpenersError) {
    test::TempDir dir;
    FileDataWriter writer(dir.path().string(), 4000, 6);
    const Stored s = Store(writer, test::MixedBytes(30000, 4));
    writer.Finish();
    std::filesystem::remove(dir.file("SETUP.2"));
    FolderOpener opener(dir);
    EXPECT_THROW(Extract(opener, s), EInOutError);
}

TEST(DataFiles, SingleFileLayoutHasNoHeaders) {
    MemoryOutStream data;
    FileDataWriter writer(data, 9);
    const Bytes one = test::MixedBytes(3000, 5), two = test::MixedBytes(7000, 6);
    const Stored a = Store(writer, one);
    const Stored b = Store(writer, two);
    writer.Finish();
    EXPECT_EQ(a.location.StartOffset, 0);
    EXPECT_EQ(b.location.StartOffset, 4 + a.file.CompressedSize);

    // The /SL file: 100 bytes of something else, then the file data.
    Bytes file(100, 0x11);
    file.insert(file.end(), data.Bytes().begin(), data.Bytes().end());
    for (const auto& [stored, content] : {std::pair{a, one}, std::pair{b, two}}) {
        MemoryOutStream out;
        TExtractContext context;
        context.Dest = &out;
        context.Source = std::make_unique<MemoryInStream>(file);
        ExtractFileStream(context, stored.file, stored.location, 100);
        EXPECT_EQ(out.Bytes(), content);
    }
}

TEST(DataFiles, EmptyFileAndTinyDisks) {
    test::TempDir dir;
    FileDataWriter writer(dir.path().string(), 17, 6);  // header, marker and one byte
    const Stored empty = Store(writer, {});
    const Stored tiny = Store(writer, {'h', 'i'});
    const int disks = writer.Finish();
    EXPECT_GT(disks, 2);
    FolderOpener opener(dir);
    EXPECT_TRUE(Extract(opener, empty).empty());
    EXPECT_EQ(Extract(opener, tiny), (Bytes{'h', 'i'}));
    EXPECT_THROW(FileDataWriter(dir.path().string(), 16, 6), Exception);
}

TEST(DataFiles, SameInputGivesSameBytes) {
    test::TempDir one, two;
    for (const auto* dir : {&one, &two}) {
        FileDataWriter writer(dir->path().string(), 0, 9);
        Store(writer, test::MixedBytes(50000, 7));
        writer.Finish();
    }
    EXPECT_EQ(test::ReadAll(one.file("SETUP.1")), test::ReadAll(two.file("SETUP.1")));
}

}  // namespace
}  // namespace qv
