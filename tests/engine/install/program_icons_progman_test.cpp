// The icons step on the old shell, against the stand-in Program Manager:
// every command text as sent, the groups and items it ends with, and what a
// rejected command, a missing Program Manager or a command too long leave.
#include <gtest/gtest.h>

#include <memory>

#include "engine/common/own_machine.h"
#include "engine/common/windows_version.h"
#include "engine/install/program_icons.h"
#include "icon_bench.h"
#include "progman/stand_in.h"
#include "testkit/scripted_boxes.h"

namespace qv {
namespace {

using test::Behaviour;
using test::Group;
using test::IconBench;
using test::Item;
using test::ProgmanStandIn;
using test::ScriptedBoxes;

std::vector<std::vector<std::string>> ItemEntries(const TUndoChanges& undo) {
    std::vector<std::vector<std::string>> entries;
    for (const TChangeEntry& e : undo.Entries()) {
        EXPECT_EQ(e.Kind, ekProgManItem);
        EXPECT_EQ(e.Flags, 0u);
        entries.push_back({EntryString(e.StringData, 0), EntryString(e.StringData, 1)});
    }
    return entries;
}

class OldShellIcons : public ::testing::Test {
protected:
    static void SetUpTestSuite() { progman = std::make_unique<ProgmanStandIn>(); }
    static void TearDownTestSuite() { progman.reset(); }

    void Run(const Behaviour& behaviour = {}, const std::vector<Group>& groups = {}) {
        progman->Reset(groups, behaviour);
        MakeProgramIcons(b.context);
    }

    static std::unique_ptr<ProgmanStandIn> progman;
    ScopedWindowsVersion version_{WindowsVersion::Of(3, 95, kPlatformWin32Windows)};
    IconBench b;
    ScriptedBoxes boxes;
    const std::string group_ = "[CreateGroup(\"示例 程序\")]";
};

std::unique_ptr<ProgmanStandIn> OldShellIcons::progman;

TEST_F(OldShellIcons, TheGroupItsItemsAndTheUninstallItemGoAsTheseCommands) {
    b.MakeUninstallable();
    b.AddIcon("{group}\\说明 书", "{app}\\示例 app.exe", "/x {app}", "{app}", "{app}\\a.ico", 2);
    b.AddIcon("Tool", "{app}\\tool.exe", "", "{win}");
    b.AddIcon("{GROUP}\\x", "a.exe");  // the prefix is case-sensitive
    Run({}, {{"示例 程序", {{"Tool", "OLD.EXE", "", 0, ""}}}});

    const std::string app = b.app.path(), win = b.win.path();
    const std::string uninstall = "反安装“示例”";
    EXPECT_EQ(progman->Commands(),
              (std::vector<std::string>{
                  group_, "[ShowGroup(\"示例 程序\",5)]",
                  "[ReplaceItem(\"说明 书\")]",
                  group_ + "[AddItem(\"" + app + "\\示例 app.exe\" /x " + app + ",\"说明 书\",\"" + app + "\\a.ico\",2,,,\"" +
                      app + "\")]",
                  "[ReplaceItem(\"Tool\")]",
                  group_ + "[AddItem(\"" + app + "\\tool.exe\",\"Tool\",,,,,\"" + win + "\")]",
                  "[ReplaceItem(\"{GROUP}\\x\")]",
                  group_ + "[AddItem(a.exe,\"{GROUP}\\x\",,)]",
                  "[ReplaceItem(\"" + uninstall + "\")]",
                  group_ + "[AddItem(\"" + win + "\\" + OwnUninstallerFileName() + "\" /U \"" + b.Placeholder() + "\" \"" + b.UninstallLog() +
                      "\",\"" + uninstall + "\",,,,,\"" + win + "\")]",
              }));
    // The old Tool was replaced, not doubled.
    EXPECT_EQ(progman->Groups(),
              (std::vector<Group>{{"示例 程序",
                                   {{"说明 书", "\"" + app + "\\示例 app.exe\" /x " + app, app + "\\a.ico", 2, app},
                                    {"Tool", app + "\\tool.exe", "", 0, win},
                                    {"{GROUP}\\x", "a.exe", "", 0, ""},
                                    {uninstall,
                                     "\"" + win + "\\" + OwnUninstallerFileName() + "\" /U \"" + b.Placeholder() + "\" \"" + b.UninstallLog() + "\"",
                                     "", 0, win}}}}));
    EXPECT_EQ(ItemEntries(b.undo), (std::vector<std::vector<std::string>>{{"示例 程序", ""},
                                                                          {"示例 程序", "说明 书"},
                                                                          {"示例 程序", "Tool"},
                                                                          {"示例 程序", "{GROUP}\\x"},
                                                                          {"示例 程序", uninstall}}));
    EXPECT_EQ(b.progress.positions, (std::vector<std::int64_t>{1000, 2000, 3000, 4000}));
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(progman->Transactions("disconnect").size(), 1u);
}

TEST_F(OldShellIcons, ARejectedGroupIsReportedAndNoIconIsMade) {
    b.MakeUninstallable();
    b.AddIcon("{group}\\A", "a.exe");
    Behaviour behaviour;
    behaviour.Reject = {"CreateGroup"};
    Run(behaviour);
    EXPECT_EQ(progman->Commands(), (std::vector<std::string>{group_}));
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, "DDE: 命令未成功.");
    EXPECT_TRUE(b.undo.Empty());
    EXPECT_TRUE(b.progress.positions.empty());
}

TEST_F(OldShellIcons, ARejectedItemSkipsTheRestButTheUninstallItemIsStillTried) {
    b.MakeUninstallable();
    b.AddIcon("{group}\\A", "a.exe");
    b.AddIcon("{group}\\B", "b.exe");
    Behaviour behaviour;
    behaviour.Reject = {"AddItem"};
    Run(behaviour);
    const std::vector<std::string> commands = progman->Commands();
    ASSERT_EQ(commands.size(), 6u);
    EXPECT_EQ(commands[2], "[ReplaceItem(\"A\")]");
    EXPECT_EQ(commands[3], group_ + "[AddItem(a.exe,\"A\",,)]");
    EXPECT_EQ(commands[4], "[ReplaceItem(\"反安装“示例”\")]");
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].Text, "DDE: 命令未成功.");
    EXPECT_EQ(boxes.asked[1].Text, "DDE: 命令未成功.");
    EXPECT_EQ(ItemEntries(b.undo), (std::vector<std::vector<std::string>>{{"示例 程序", ""}}));
    EXPECT_TRUE(b.progress.positions.empty());
}

TEST_F(OldShellIcons, WithoutAProgramManagerTheFailureIsReportedAndTheInstallationGoesOn) {
    b.AddIcon("{group}\\A", "a.exe");
    Behaviour behaviour;
    behaviour.RefuseConnect = true;
    Run(behaviour);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text.rfind("DDE: 不能建立DDE连接 (代码: ", 0), 0u) << boxes.asked[0].Text;
    EXPECT_TRUE(progman->Commands().empty());
    EXPECT_TRUE(b.undo.Empty());
}

TEST_F(OldShellIcons, ACommandTooLongIsRefusedBeforeAnythingOfTheItemChanges) {
    b.MakeUninstallable();
    b.AddIcon("{group}\\长", "a.exe", std::string(2100, 'p'));
    b.AddIcon("{group}\\B", "b.exe");
    Run({}, {{"示例 程序", {{"长", "OLD.EXE", "", 0, ""}}}});
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text.rfind("不能创建程序项 \"长\"：", 0), 0u) << boxes.asked[0].Text;
    const std::vector<std::string> commands = progman->Commands();
    ASSERT_EQ(commands.size(), 4u);  // the group, then the uninstall item only
    EXPECT_EQ(commands[2], "[ReplaceItem(\"反安装“示例”\")]");
    // The old item of that name is still there.
    ASSERT_EQ(progman->Groups().size(), 1u);
    EXPECT_EQ(progman->Groups()[0].Items.front().Name, "长");
    EXPECT_EQ(b.progress.positions, (std::vector<std::int64_t>{1000}));
}

}  // namespace
}  // namespace qv
