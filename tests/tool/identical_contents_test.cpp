// Which sources are stored once: only byte-identical contents share a stream.
#include <gtest/gtest.h>

#include "tool/identical_contents.h"
#include "tool/platform.h"
#include "workspace.h"

namespace qv::test {
namespace {

TEST(IdenticalContents, OnlyEqualBytesShareAndTheFirstSourceStandsForThem) {
    Workspace w;
    const Bytes content = MixedBytes(100000, 9);
    Bytes lastByteDiffers = content;
    lastByteDiffers.back() ^= 1;
    w.Write("a.bin", content);
    w.Write("b.bin", lastByteDiffers);  // same size, different bytes
    w.Write("c.bin", content);          // the same bytes as a.bin
    w.Write("d.bin", MixedBytes(100001, 9));
    w.Write("sub/e.bin", {});
    w.Write("f.bin", {});
    const std::vector<std::filesystem::path> sources = {
        w.Path("b.bin"), w.Path("a.bin"), w.Path("c.bin"), w.Path("d.bin"),
        w.Path("sub/../c.bin"),  // the same file by another path
        w.Path("sub/e.bin"), w.Path("f.bin")};
    const std::vector<std::size_t> expected = {0, 1, 1, 3, 1, 5, 5};
    EXPECT_EQ(tool::FindIdenticalContents(sources), expected);
}

TEST(IdenticalContents, AnUnreadableSourceIsAnIoFailure) {
    Workspace w;
    EXPECT_THROW(tool::FindIdenticalContents({w.Path("missing.bin")}), std::runtime_error);
}

}  // namespace
}  // namespace qv::test
