// A failed entry is reported or counted, and the older entries still run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "core/setupdata/records.h"
#include "engine/common/win_text.h"
#include "engine/undo/undo_changes.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "undo_test_support.h"

namespace qv {
namespace {

using test::Exists;
using test::ScratchFolder;
using test::WriteText;

TEST(UndoFailures, EachFailureIsCountedAndTheOlderEntriesStillRun) {
    ScratchFolder root("undo failures");
    const std::string oldest = root.file("oldest.txt"), folder = root.file("folder");
    const std::string locked = root.file("locked.dll"), later = root.file("later kind.txt");
    WriteText(oldest);
    test::MakeFolder(folder);
    WriteText(locked);
    WriteText(later);

    TUndoChanges undo;
    undo.AddEntry(ekFile, {oldest, ""}, 0);
    undo.AddEntry(ekFolder, {folder}, 0);
    undo.AddRawEntry(static_cast<TChangeKind>(9), later + '\0', 0);  // a kind of a later version
    undo.AddEntry(ekFile, {locked, ""}, 0);
    undo.AddEntry(ekFile, {"relative.txt", ""}, 0);
    undo.AddEntry(ekFolder, {"\\rooted but on no drive"}, 0);
    undo.AddEntry(ekRegKeyTree, {"Software"}, 0);

    const UniqueHFile holder(CreateFileW(Widen(locked).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    ASSERT_TRUE(holder);
    test::ScriptedBoxes boxes;
    EXPECT_FALSE(undo.UndoAll(false));
    EXPECT_TRUE(undo.Empty());

    std::vector<std::string> texts;
    for (const MsgBoxQuestion& box : boxes.asked) {
        texts.push_back(box.Text);
        EXPECT_EQ(box.Caption, "反安装");
        EXPECT_EQ(box.Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    }
    // The locked file is counted, not shown.
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "反安装记录中的注册表根键 0x00000000 不是系统预定义的键.",
                         "反安装记录中的路径 \"\\rooted but on no drive\" 不是完整的路径.",
                         "反安装记录中的路径 \"relative.txt\" 不是完整的路径.",
                     }));
    EXPECT_TRUE(Exists(locked));
    EXPECT_TRUE(Exists(later));
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(Exists(oldest));
}

TEST(UndoFailures, TheSilentAbortCountsButIsNeverShown) {
    ScratchFolder root("undo abort");
    const std::string older = root.file("older.txt"), shared = root.file("shared.dll");
    WriteText(older);
    WriteText(shared);
    test::SharedCounts counts;
    counts.Store(shared, test::Dword(1));
    TUndoChanges undo;
    undo.AddEntry(ekFile, {older, ""}, 0);
    undo.AddEntry(ekFile, {shared, ""}, efSharedCount);
    test::ScriptedBoxes boxes(IDYES);
    boxes.duringBox = [] { throw EAbort(); };
    EXPECT_FALSE(undo.UndoAll(true));
    EXPECT_EQ(boxes.asked.size(), 1u);  // the shared-file question, nothing after it
    EXPECT_EQ(boxes.asked[0].Caption, "删除被共享的文件");
    EXPECT_TRUE(Exists(shared));
    EXPECT_FALSE(Exists(older));
}

TEST(UndoFailures, ARollbackKeepsTheRulesOfAnUninstallAndRefusesWithoutABox) {
    ScratchFolder root("undo guarded rollback");
    const std::string victim = root.file("victim.txt"), mine = root.file("mine.txt"), empty = root.file("empty");
    WriteText(victim);
    WriteText(mine);
    test::MakeFolder(empty);
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const test::PrivateRegistryKey key;

    TUndoChanges undo;
    undo.AddEntry(ekFile, {mine, ""}, 0);
    undo.AddEntry(ekFile, {root.file("sub\\..\\victim.txt"), ""}, 0);
    undo.AddEntry(ekFolder, {empty + "\\."}, 0);
    undo.AddEntry(ekFolder, {Narrow(temp)}, 0);
    undo.AddEntry(ekRegKeyTree, {"Software"}, kHkeyCurrentUser);
    test::ScriptedBoxes boxes;
    EXPECT_FALSE(undo.UndoAll(false));
    EXPECT_TRUE(boxes.asked.empty()) << "refusals are listed, not shown one by one";
    EXPECT_FALSE(Exists(mine));
    EXPECT_TRUE(Exists(victim));
    EXPECT_TRUE(Exists(empty));
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, key.path()));
}

}  // namespace
}  // namespace qv
