#include <gtest/gtest.h>

#include <windows.h>

#include "engine/common/win_text.h"
#include "engine/install/existing_file.h"
#include "engine/install/file_version.h"
#include "engine/install/file_write_time.h"
#include "install_bench.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScratchFolder;

TEST(ReadFileVersion, ReadsTheFixedBlockOfRealVersionResources) {
    std::uint32_t ms = 0, ls = 0;
    ASSERT_TRUE(ReadFileVersion(test::BuiltFile("qvtest_version_2_0_3_4.dll"), ms, ls));
    EXPECT_EQ(ms, 0x00020000u);
    EXPECT_EQ(ls, 0x00030004u);
    ASSERT_TRUE(ReadFileVersion(test::BuiltFile("qvtest_version_top_bits.dll"), ms, ls));
    EXPECT_EQ(ms, 0x80000000u);
    EXPECT_EQ(ls, 0x80000000u);
}

TEST(ReadFileVersion, FilesWithoutAVersionResourceHaveNone) {
    ScratchFolder scratch;
    test::WriteFileBytes(scratch.file("plain.dll"), test::Bytes("MZ but nothing more"));
    std::uint32_t ms = 7, ls = 7;
    EXPECT_FALSE(ReadFileVersion(scratch.file("plain.dll"), ms, ls));
    EXPECT_EQ(ms, 0u);
    EXPECT_EQ(ls, 0u);
    EXPECT_FALSE(ReadFileVersion(scratch.file("missing.dll"), ms, ls));
    // A library built without one.
    EXPECT_FALSE(ReadFileVersion(test::BuiltFile("qvtest_registers.dll"), ms, ls));
}

TEST(CompareFileVersions, TheMostSignificantWordFirstEachUnsigned) {
    struct Case {
        std::uint32_t aMS, aLS, bMS, bLS;
        int order;
    };
    const Case cases[] = {
        {0x00020000, 0x00030004, 0x00020000, 0x00030004, 0},
        {0x00020000, 0x00030004, 0x00010000, 0xFFFFFFFF, 1},   // MS decides before LS
        {0x00020000, 0x00030004, 0x00020000, 0x00030005, -1},
        {0x80000000, 0, 0x7FFFFFFF, 0xFFFFFFFF, 1},            // the top bit is no sign
        {0x00020000, 0x80000000, 0x00020000, 0x00000001, 1},
        {0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareFileVersions(c.aMS, c.aLS, c.bMS, c.bLS), c.order) << std::hex << c.aMS << " " << c.aLS;
        EXPECT_EQ(CompareFileVersions(c.bMS, c.bLS, c.aMS, c.aLS), -c.order) << std::hex << c.aMS << " " << c.aLS;
    }
}

TEST(ReadFileWriteTime, GivesTheLastWriteTimeOfAFileOnly) {
    ScratchFolder scratch;
    const std::string file = scratch.file("dated.txt");
    test::WriteFileBytes(file, {1, 2, 3});
    const FILETIME set = test::UtcOfLocal(test::BenchFileTime());
    test::SetLastWriteTime(file, set);
    FILETIME read{};
    ASSERT_TRUE(ReadFileWriteTime(file, read));
    EXPECT_EQ(test::AsNumber(read), test::AsNumber(set));
    // The name is a pattern: the first entry that matches counts.
    ASSERT_TRUE(ReadFileWriteTime(scratch.file("dat*.txt"), read));
    EXPECT_EQ(test::AsNumber(read), test::AsNumber(set));

    ASSERT_TRUE(CreateDirectoryW(Widen(scratch.file("folder")).c_str(), nullptr));
    read = set;
    EXPECT_FALSE(ReadFileWriteTime(scratch.file("folder"), read));
    EXPECT_EQ(test::AsNumber(read), 0u);
    read = set;
    EXPECT_FALSE(ReadFileWriteTime(scratch.file("missing.txt"), read));
    EXPECT_EQ(test::AsNumber(read), 0u);
}

}  // namespace
}  // namespace qv
