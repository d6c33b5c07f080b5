// Reading through a buffer gives the bytes, positions and failures of the
// stream below, whatever the pieces asked for.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/io/buffered_in_stream.h"
#include "test_files.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BufferedInStream, PiecesOfAnySizeGiveTheSameBytesAndPositions) {
    const Bytes content = test::MixedBytes(1000, 3);
    MemoryInStream source(content);
    source.Seek(10);
    BufferedInStream buffered(source, 64);
    EXPECT_EQ(buffered.Position(), 10u);
    Bytes read;
    for (std::size_t size : {1, 7, 100, 3, 64, 200, 5}) {
        Bytes piece(size);
        ASSERT_EQ(buffered.Read(piece.data(), size), size);
        read.insert(read.end(), piece.begin(), piece.end());
        EXPECT_EQ(buffered.Position(), 10 + read.size());
    }
    EXPECT_EQ(read, Bytes(content.begin() + 10, content.begin() + 10 + static_cast<std::ptrdiff_t>(read.size())));

    buffered.Seek(995);
    Bytes tail(10);
    EXPECT_EQ(buffered.Read(tail.data(), tail.size()), 5u);  // the end of the data
    EXPECT_EQ(Bytes(tail.begin(), tail.begin() + 5), Bytes(content.end() - 5, content.end()));
    EXPECT_THROW(buffered.ReadExact(tail.data(), 1), EInOutError);
}

TEST(BufferedInStream, OnlyTheBytesAskedForCanFail) {
    // The piece read ahead would reach the failing part; the bytes before it
    // still arrive, and a read of the failing part fails.
    test::FailingInStream source(test::MixedBytes(1000, 4), 100);
    BufferedInStream buffered(source, 64);
    Bytes piece(90);
    EXPECT_EQ(buffered.Read(piece.data(), 60), 60u);
    EXPECT_EQ(buffered.Read(piece.data(), 30), 30u);
    EXPECT_EQ(buffered.Position(), 90u);
    EXPECT_THROW(buffered.Read(piece.data(), 20), EInOutError);
}

}  // namespace
}  // namespace qv
