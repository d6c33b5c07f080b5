// The entries a rollback alone knows: what they put back, and that the
// uninstall log never holds them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/io/streams.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/undo/key_tree_text.h"
#include "engine/undo/rollback_entries.h"
#include "engine/undo/undo_changes.h"
#include "testkit/machine_snapshot.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "undo_test_support.h"

namespace qv {
namespace {

constexpr std::uint32_t kCurrentUser = 0x80000001;

void SetValue(const std::string& subKey, const wchar_t* name, DWORD type, const std::string& data) {
    UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(subKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
}

TEST(UndoRestore, ADeletedKeyTreeAndOverwrittenValuesComeBackAndNewKeysGo) {
    const test::PrivateRegistryKey root;
    const std::string tree = root.sub("旧的 entry"), other = root.sub("other");
    SetValue(tree, L"DisplayName", REG_SZ, std::string("a\0b\0", 4));
    SetValue(tree, nullptr, REG_BINARY, std::string("\x01\x00\xff", 3));
    SetValue(tree + "\\子键\\deeper", L"n", REG_DWORD, std::string("\x07\x00\x00\x00", 4));
    SetValue(other, L"v", REG_SZ, std::string("o\0l\0d\0\0\0", 8));
    const std::string before = test::RegistrySnapshot(HKEY_CURRENT_USER, root.path());

    TUndoChanges undo;
    // What the installation did, in order: deleted the tree, overwrote a
    // value, wrote a value where there was none, made a key.
    undo.AddEntry(ekRestoreKeyTree, {tree, KeyTreeText(HKEY_CURRENT_USER, tree)}, kCurrentUser);
    RegDeleteTreeW(HKEY_CURRENT_USER, Widen(tree).c_str());
    UniqueHKey key;
    undo.AddEntry(ekRestoreRegValue, {other, "v", "1", std::to_string(REG_SZ), HexOfBytes(std::string("o\0l\0d\0\0\0", 8))},
                  kCurrentUser);
    SetValue(other, L"v", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
    undo.AddEntry(ekRestoreRegValue, {other, "new", "0", "0", ""}, kCurrentUser);
    SetValue(other, L"new", REG_SZ, std::string("x\0\0\0", 4));
    undo.AddEntry(ekRemoveNewKey, {root.sub("made")}, kCurrentUser);
    undo.AddEntry(ekRemoveNewKey, {root.sub("made\\inner")}, kCurrentUser);
    SetValue(root.sub("made\\inner"), L"x", REG_SZ, std::string("y\0\0\0", 4));
    undo.AddEntry(ekRegValue, {root.sub("made\\inner"), "x"}, kCurrentUser);
    ASSERT_NE(test::RegistrySnapshot(HKEY_CURRENT_USER, root.path()), before);

    EXPECT_TRUE(undo.UndoAll(false));
    EXPECT_EQ(test::RegistrySnapshot(HKEY_CURRENT_USER, root.path()), before);
}

// The text of a deleted tree comes from the undo list or the journal on
// disk, either of which may be damaged: a damaged line costs its own key or
// value, and the rest of the tree still comes back.
TEST(UndoRestore, ADamagedLineOfAKeyTreeCostsOnlyItself) {
    const std::vector<journal::RegTreeKey> keys = {
        {"", {{"", REG_BINARY, std::string("\x00\xff", 2)}, {"名字", REG_SZ, std::string("v\0\0\0", 4)}}},
        {"子键", {}},
    };
    EXPECT_EQ(KeyTreeOfText(TextOfKeyTree(keys)), keys);

    const std::string text = "V =61 1 =7800\n"              // a value before any key
                             "K =\n"
                             "V =61 REG_SZ =7800\n"         // a type that is no number
                             "V =62 99999999999 =7800\n"    // a type beyond 32 bits
                             "V =63 1 7800\n"               // data without its "="
                             "V =64 1 =78000000\n"
                             "K 6b\n";                      // a key without its "="
    const auto read = KeyTreeOfText(text);
    ASSERT_EQ(read.size(), 1u);
    ASSERT_EQ(read[0].Values.size(), 1u);
    EXPECT_EQ(read[0].Values[0].Name, "d");

    const test::PrivateRegistryKey root;
    EXPECT_TRUE(WriteKeyTree(HKEY_CURRENT_USER, root.sub("back"), text));
    const std::string name = "d";
    EXPECT_EQ(test::StringValue(HKEY_CURRENT_USER, root.sub("back"), &name), "x");
}

TEST(UndoRestore, AReplacedFileComesBackWithItsTimesAndANewFileGoes) {
    test::ScratchFolder root("undo restore files");
    const std::string path = root.file("程序.exe"), backup = root.file("qv-1.bak"), made = root.file("new.ini");
    test::WriteText(path, "old");
    SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::string before = test::FolderSnapshot(root.path());
    WIN32_FILE_ATTRIBUTE_DATA facts{};
    GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &facts);
    char text[64];
    std::snprintf(text, sizeof text, "%lx %llx %llx", static_cast<unsigned long>(facts.dwFileAttributes),
                  (static_cast<unsigned long long>(facts.ftCreationTime.dwHighDateTime) << 32) |
                      facts.ftCreationTime.dwLowDateTime,
                  (static_cast<unsigned long long>(facts.ftLastWriteTime.dwHighDateTime) << 32) |
                      facts.ftLastWriteTime.dwLowDateTime);
    // Kept as a copy, as on another drive: the copy has times of its own.
    ASSERT_TRUE(CopyFileW(Widen(path).c_str(), Widen(backup).c_str(), TRUE));
    Sleep(20);
    TUndoChanges undo;
    undo.AddEntry(ekRestoreFile, {path, backup, text}, 0);
    SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    test::WriteText(path, "new contents");
    undo.AddEntry(ekRemoveNewFile, {made}, 0);
    test::WriteText(made, "[S]\r\nk=v\r\n");

    EXPECT_TRUE(undo.UndoAll(false));
    EXPECT_EQ(test::FolderSnapshot(root.path()), before);

    // A backup that is gone is told, and the rollback goes on.
    TUndoChanges lost;
    lost.AddEntry(ekRemoveNewFile, {made}, 0);
    lost.AddEntry(ekRestoreFile, {path, backup, text}, 0);
    test::WriteText(made);
    test::ScriptedBoxes boxes(IDOK);
    EXPECT_FALSE(lost.UndoAll(false));
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Caption, "反安装");
    EXPECT_FALSE(test::Exists(made)) << "the older entry was still undone";
}

TEST(UndoRestore, TheUninstallLogNeverHoldsThem) {
    test::ScratchFolder root("undo restore log");
    TUndoChanges undo;
    undo.AddEntry(ekFile, {root.file("a.txt"), ""}, 0);
    undo.AddEntry(ekRestoreFile, {root.file("a.txt"), root.file("b.bak"), "20 0 0"}, 0);
    undo.AddEntry(ekRemoveNewKey, {"Software\\x"}, kCurrentUser);
    undo.AddEntry(ekRegKeyTree, {"Software\\x"}, kCurrentUser);
    undo.SaveToFile(root.file("UNINST1.000"));
    WinFileInStream file(root.file("UNINST1.000"));
    const UninstallLog log = ReadUninstallLog(file);
    ASSERT_EQ(log.Entries.size(), 2u);
    EXPECT_EQ(log.Entries[0].Entry.Kind, ekFile);
    EXPECT_EQ(log.Entries[1].Entry.Kind, ekRegKeyTree);
}

}  // namespace
}  // namespace qv
