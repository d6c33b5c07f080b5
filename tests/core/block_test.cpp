#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/errors.h"
#include "core/setupdata/block.h"
#include "test_files.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A block assembled by hand: 16-byte header, then `payload`.
Bytes MakeBlock(std::int32_t compressedSize, std::int32_t size, std::uint32_t dataCheck, const Bytes& payload) {
    Bytes b(16);
    SetI32(&b[4], compressedSize);
    SetI32(&b[8], size);
    SetUi32(&b[12], dataCheck);
    SetUi32(&b[0], Adler32(&b[4], 12));
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes Compress(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

// A complete zlib stream whose header asks for `dictionary` as preset dictionary.
Bytes CompressWithDictionary(const Bytes& data, const std::string& dictionary) {
    z_stream z{};
    EXPECT_EQ(deflateInit(&z, 9), Z_OK);
    EXPECT_EQ(deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                                   static_cast<uInt>(dictionary.size())),
              Z_OK);
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void Read(const Bytes& block, std::size_t size) {
    MemoryInStream in(block);
    Bytes buffer(size);
    ReadBlock(in, buffer.data(), size);
}

TEST(Block, HeaderCheckOfAKnownHeader) {
    // Stored block of 434 bytes with data check 0x12345678: worked out by hand,
    // a = 1 + sum of the bytes = 0x05C4, b = sum of the running a's = 0x32D5.
    const std::uint8_t twelve[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xB2, 0x01, 0, 0, 0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(Adler32(twelve, sizeof twelve), 0x32D505C4u);
    const Bytes block = MakeBlock(-1, 434, 0x12345678, {});
    EXPECT_EQ(GetUi32(block.data()), 0x32D505C4u);
    EXPECT_EQ(Adler32(nullptr, 0), 1u);
}

TEST(Block, StoredAndCompressedBlocksRead) {
    const Bytes data = test::MixedBytes(434, 7);
    MemoryInStream in(MakeBlock(-1, 434, Adler32(data.data(), data.size()), data));
    Bytes buffer(434);
    ReadBlock(in, buffer.data(), buffer.size());
    EXPECT_EQ(buffer, data);
    EXPECT_EQ(in.Position(), 16u + 434u);  // left right behind the block

    const Bytes z = Compress(data);
    MemoryInStream in2(MakeBlock(static_cast<std::int32_t>(z.size()), 434, Adler32(data.data(), 434), z));
    std::fill(buffer.begin(), buffer.end(), 0);
    ReadBlock(in2, buffer.data(), buffer.size());
    EXPECT_EQ(buffer, data);
    EXPECT_EQ(in2.Position(), 16u + z.size());
}

TEST(Block, EachCheckRejects) {
    const Bytes data = test::MixedBytes(434, 8);
    const std::uint32_t check = Adler32(data.data(), data.size());
    // Size asked differs from the block's: rejected before any data is read.
    EXPECT_THROW(Read(MakeBlock(-1, 433, check, {}), 434), EZlibDataError);
    // A changed header byte fails the header check.
    Bytes block = MakeBlock(-1, 434, check, data);
    block[13] ^= 1;
    EXPECT_THROW(Read(block, 434), EZlibDataError);
    // A changed data byte fails the data check.
    block = MakeBlock(-1, 434, check, data);
    block[100] ^= 1;
    EXPECT_THROW(Read(block, 434), EZlibDataError);
    // Negative sizes other than -1 name no block.
    EXPECT_THROW(Read(MakeBlock(-2, 434, check, data), 434), EZlibDataError);
}

TEST(Block, StreamsOneByteTooLongOrTooShort) {
    const Bytes longer = test::MixedBytes(435, 9);
    const Bytes shorter(longer.begin(), longer.begin() + 433);
    const Bytes exact(longer.begin(), longer.begin() + 434);
    const std::uint32_t check = Adler32(exact.data(), exact.size());
    const Bytes zl = Compress(longer);
    EXPECT_THROW(Read(MakeBlock(static_cast<std::int32_t>(zl.size()), 434, check, zl), 434), EZlibDataError);
    const Bytes zs = Compress(shorter);
    EXPECT_THROW(Read(MakeBlock(static_cast<std::int32_t>(zs.size()), 434, check, zs), 434), EZlibDataError);
    // Even with the short stream's own checksum, a missing byte is refused.
    EXPECT_THROW(Read(MakeBlock(static_cast<std::int32_t>(zs.size()), 434,
                                Adler32(shorter.data(), shorter.size()), zs), 434),
                 EZlibDataError);
}

TEST(Block, EmptyStreamCannotFillABlock) {
    // Compressed size 0: no input, checksum 1; the buffer would stay unread.
    EXPECT_THROW(Read(MakeBlock(0, 434, 1, {}), 434), EZlibDataError);
    MemoryInStream in(Bytes{});
    std::uint32_t adler = 0;
    EXPECT_TRUE(DecompressBlock(in, 0, adler, nullptr, 0));
    EXPECT_EQ(adler, 1u);
}

TEST(Block, StreamEndingBeforeItsSizeIsCorrupt) {
    const Bytes data = test::MixedBytes(434, 10);
    Bytes z = Compress(data);
    z.push_back(0);  // one byte left over after the stream's end
    EXPECT_THROW(Read(MakeBlock(static_cast<std::int32_t>(z.size()), 434, Adler32(data.data(), 434), z), 434),
                 EZlibDataError);
}

TEST(Block, OtherMethodAndGarbageAreCorrupt) {
    const Bytes data = test::MixedBytes(434, 11);
    Bytes z = Compress(data);
    z[0] = 0x79;  // compression method 9
    z[1] = static_cast<std::uint8_t>(31 - (0x7900 % 31));
    EXPECT_THROW(Read(MakeBlock(static_cast<std::int32_t>(z.size()), 434, Adler32(data.data(), 434), z), 434),
                 EZlibDataError);
    Bytes junk = test::MixedBytes(64, 12);
    junk[0] = 0x78;
    junk[1] = 0x9C;
    junk[2] = 0xFF;  // reserved block type
    EXPECT_THROW(Read(MakeBlock(64, 434, 1, junk), 434), EZlibDataError);
}

TEST(Block, StreamNeedingADictionaryIsAnInternalError) {
    // Not damage: the stream is sound, but no reader of these blocks has a
    // dictionary to give, so inflate's answer is an unexpected one.
    const Bytes data = test::MixedBytes(434, 14);
    const Bytes z = CompressWithDictionary(data, "QV Setup preset dictionary");
    ASSERT_NE(z[1] & 0x20, 0);  // the header's FDICT bit
    try {
        Read(MakeBlock(static_cast<std::int32_t>(z.size()), 434, Adler32(data.data(), 434), z), 434);
        FAIL() << "a stream needing a dictionary was read";
    } catch (const EZlibInternalError& e) {
        EXPECT_EQ(e.code(), Z_NEED_DICT);
        EXPECT_STREQ(e.what(), "内部错误。代码：2");
    }
}

TEST(Block, NegativeOutputLimitOtherThanNoLimitIsRefused) {
    const Bytes data = test::MixedBytes(5000, 15);
    const Bytes z = Compress(data);
    const auto zSize = static_cast<std::int32_t>(z.size());
    MemoryInStream in(z);
    Bytes out(data.size());
    std::uint32_t adler = 0;
    for (const std::int32_t maxOut : {-2, std::numeric_limits<std::int32_t>::min()})
        EXPECT_THROW(DecompressBlock(in, zSize, adler, out.data(), maxOut), EProgramFault) << maxOut;
    EXPECT_EQ(in.Position(), 0u);  // refused before reading

    std::int64_t produced = 0;
    EXPECT_TRUE(DecompressBlock(in, zSize, adler, out.data(), kNoOutputLimit, &produced));
    EXPECT_EQ(produced, 5000);
    EXPECT_EQ(out, data);
    EXPECT_EQ(adler, Adler32(data.data(), data.size()));
}

TEST(Block, HeaderIsCheckedBeforeTheData) {
    const Bytes data = test::MixedBytes(434, 16);
    const Bytes block = MakeBlock(-1, 434, Adler32(data.data(), 434), data);
    MemoryInStream in(block);
    EXPECT_THROW(ReadBlockHeader(in, 433), EZlibDataError);
    EXPECT_EQ(in.Position(), kBlockHeaderSize);  // the data is not touched

    MemoryInStream again(block);
    const BlockHeader header = ReadBlockHeader(again, 434);
    EXPECT_EQ(header.CompressedSize, kStoredBlock);
    EXPECT_EQ(header.UncompressedSize, 434);
    Bytes buffer(434);
    ReadBlockData(again, header, buffer.data());
    EXPECT_EQ(buffer, data);
    EXPECT_EQ(again.Position(), block.size());
}

TEST(Block, TruncatedFileIsAnIoError) {
    const Bytes data = test::MixedBytes(434, 13);
    Bytes block = MakeBlock(-1, 434, Adler32(data.data(), 434), data);
    block.resize(block.size() - 1);
    try {
        Read(block, 434);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.code(), 100);
    }
    EXPECT_THROW(Read(Bytes(10), 434), EInOutError);
}

TEST(Block, WriteBlockRoundTripsAndPicksTheSmallerForm) {
    for (const Bytes& data : {Bytes(434, 'a'), test::MixedBytes(5000, 1), Bytes{}}) {
        MemoryOutStream out;
        WriteBlock(out, data.data(), data.size(), 9);
        const std::int32_t compressedSize = GetI32(&out.Bytes()[4]);
        if (compressedSize == -1) EXPECT_EQ(out.Bytes().size(), 16 + data.size());
        else EXPECT_LT(static_cast<std::size_t>(compressedSize), data.size());
        MemoryInStream in(out.Bytes());
        Bytes buffer(data.size());
        ReadBlock(in, buffer.data(), buffer.size());
        EXPECT_EQ(buffer, data);
    }
    // Noise does not compress: stored.
    const Bytes noise = [] {
        Bytes b(1000);
        std::uint32_t x = 1;
        for (auto& c : b) c = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 16);
        return b;
    }();
    MemoryOutStream out;
    WriteBlock(out, noise.data(), noise.size(), 9);
    EXPECT_EQ(GetI32(&out.Bytes()[4]), -1);
}

TEST(DecompressStream, LargeOutputFromSmallInputIsComplete) {
    const Bytes zeros(3 * 1000 * 1000, 0);
    const Bytes z = Compress(zeros);
    std::size_t offered = 0, written = 0;
    std::uint32_t adler = 0;
    const bool done = DecompressStream(
        [&](std::uint8_t* b, std::size_t n) {
            const std::size_t k = std::min(n, z.size() - offered);
            std::memcpy(b, z.data() + offered, k);
            offered += k;
            return k;
        },
        [&](const std::uint8_t*, std::size_t n) {
            EXPECT_LE(n, kDecompressBufferSize);
            written += n;
            return n;
        },
        adler);
    EXPECT_TRUE(done);
    EXPECT_EQ(written, zeros.size());
    EXPECT_EQ(adler, Adler32(zeros.data(), zeros.size()));
}

TEST(DecompressStream, WriterRefusingStopsWithFalse) {
    const Bytes data = test::MixedBytes(100000, 3);
    const Bytes z = Compress(data);
    bool given = false;
    std::uint32_t adler = 77;
    const bool done = DecompressStream(
        [&](std::uint8_t* b, std::size_t n) -> std::size_t {
            if (given) return 0;
            given = true;
            std::memcpy(b, z.data(), std::min(n, z.size()));
            return std::min(n, z.size());
        },
        [](const std::uint8_t*, std::size_t n) { return n / 2; }, adler);
    EXPECT_FALSE(done);
    EXPECT_EQ(adler, 77u);  // set only on success
}

}  // namespace
}  // namespace qv
