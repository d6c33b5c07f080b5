#include <gtest/gtest.h>

#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScratchFolder;

TEST(PathTests, FilesFoldersAndMissingPaths) {
    ScratchFolder folder;
    const std::string file = folder.file("a file.txt");
    test::WriteFileBytes(file, {1, 2, 3});

    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FolderExists(file));

    EXPECT_TRUE(PathExists(folder.path()));
    EXPECT_TRUE(FolderExists(folder.path()));
    EXPECT_FALSE(FileExists(folder.path()));

    EXPECT_EQ(GetPathAttributes(folder.file("missing")), -1);
    EXPECT_FALSE(PathExists(folder.file("missing")));
    EXPECT_FALSE(FolderExists(folder.file("missing\\deeper")));
}

TEST(PathTests, OneTrailingBackslashIsIgnoredButADriveRootIsTestedWhole) {
    ScratchFolder folder;
    EXPECT_TRUE(FolderExists(folder.path() + "\\"));
    EXPECT_NE(GetPathAttributes(folder.path() + "\\") & FILE_ATTRIBUTE_DIRECTORY, 0);
    EXPECT_TRUE(FolderExists("C:\\"));
    // A file with a trailing backslash is the file.
    test::WriteFileBytes(folder.file("f"), {});
    EXPECT_TRUE(FileExists(folder.file("f") + "\\"));
}

TEST(PathTests, AttributesAreTheSystemsOwn) {
    ScratchFolder folder;
    const std::string file = folder.file("readonly.txt");
    test::WriteFileBytes(file, {});
    ASSERT_TRUE(SetFileAttributesW(Widen(file).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(GetPathAttributes(file) & FILE_ATTRIBUTE_READONLY, 0);
    SetFileAttributesW(Widen(file).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(PathTests, TheCriticalErrorModeIsRestoredAfterTheTest) {
    const UINT before = SetErrorMode(SEM_NOGPFAULTERRORBOX);
    GetPathAttributes("C:\\");
    EXPECT_EQ(SetErrorMode(before), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
}

TEST(PathTests, ShortPathOfALongNameAndOfAMissingOne) {
    ScratchFolder folder;
    const std::string file = folder.file("a rather long file name.text");
    test::WriteFileBytes(file, {});
    const std::string shortPath = GetShortPath(file);
    EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
    EXPECT_TRUE(FileExists(shortPath));
    EXPECT_EQ(GetShortPath(folder.file("missing name.txt")), folder.file("missing name.txt"));
}

}  // namespace
}  // namespace qv
