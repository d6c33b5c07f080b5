#include <gtest/gtest.h>

#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "testkit/scratch.h"

namespace qv {
namespace {

using test::ScratchFolder;

void MakeFolder(const std::string& path) { ASSERT_TRUE(CreateDirectoryW(Widen(path).c_str(), nullptr)) << path; }
void MakeReadOnly(const std::string& path) {
    SetFileAttributesW(Widen(path).c_str(), GetFileAttributesW(Widen(path).c_str()) | FILE_ATTRIBUTE_READONLY);
}

TEST(DeleteFolderTree, EverythingGoesReadOnlyEntriesIncluded) {
    ScratchFolder scratch;
    const std::string root = scratch.file("树 tree");
    MakeFolder(root);
    MakeFolder(root + "\\a");
    MakeFolder(root + "\\a\\b");
    test::WriteFileBytes(root + "\\top.txt", {1});
    test::WriteFileBytes(root + "\\a\\mid.dll", {2});
    test::WriteFileBytes(root + "\\a\\b\\deep.txt", {3});
    MakeReadOnly(root + "\\top.txt");
    MakeReadOnly(root + "\\a\\b\\deep.txt");
    SetFileAttributesW(Widen(root + "\\a\\mid.dll").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                                   FILE_ATTRIBUTE_SYSTEM);
    MakeReadOnly(root + "\\a");
    EXPECT_TRUE(DeleteFolderTree(root));
    EXPECT_FALSE(PathExists(root));
    MakeFolder(scratch.file("empty"));
    EXPECT_TRUE(DeleteFolderTree(scratch.file("empty") + "\\"));
}

TEST(DeleteFolderTree, AFileInUseKeepsItsFoldersAndMakesTheResultFalse) {
    ScratchFolder scratch;
    const std::string root = scratch.file("tree");
    MakeFolder(root);
    MakeFolder(root + "\\busy");
    MakeFolder(root + "\\free");
    test::WriteFileBytes(root + "\\busy\\open.txt", {1});
    test::WriteFileBytes(root + "\\free\\x.txt", {2});
    test::WriteFileBytes(root + "\\y.txt", {3});
    {
        // Open without delete sharing: the file cannot be deleted meanwhile.
        const UniqueHFile open(CreateFileW(Widen(root + "\\busy\\open.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(open.valid());
        EXPECT_FALSE(DeleteFolderTree(root));
        EXPECT_TRUE(FileExists(root + "\\busy\\open.txt"));
        EXPECT_FALSE(PathExists(root + "\\free"));
        EXPECT_FALSE(PathExists(root + "\\y.txt"));
    }
    EXPECT_TRUE(DeleteFolderTree(root));
}

TEST(DeleteFolderTree, MissingAndEmptyNames) {
    ScratchFolder scratch;
    EXPECT_FALSE(DeleteFolderTree(scratch.file("missing")));
    // An empty name would stand for the current folder: refused.
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryW(Widen(scratch.path()).c_str()));
    test::WriteFileBytes(scratch.file("keep.txt"), {1});
    EXPECT_FALSE(DeleteFolderTree(""));
    EXPECT_TRUE(FileExists(scratch.file("keep.txt")));
    SetCurrentDirectoryW(current);
}

TEST(DeleteFolderTree, ALinkedFolderGoesButNotWhatItLinksTo) {
    ScratchFolder scratch;
    const std::string root = scratch.file("tree"), outside = scratch.file("outside");
    MakeFolder(root);
    MakeFolder(outside);
    test::WriteFileBytes(outside + "\\precious.txt", {1});
    CreateSymbolicLinkW(Widen(root + "\\link").c_str(), Widen(outside).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    const DWORD attributes = GetFileAttributesW(Widen(root + "\\link").c_str());
    // Wine 8 reports success without making the link.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "this system makes no folder links";
    EXPECT_TRUE(DeleteFolderTree(root));
    EXPECT_FALSE(PathExists(root));
    EXPECT_TRUE(FileExists(outside + "\\precious.txt"));
}

}  // namespace
}  // namespace qv
