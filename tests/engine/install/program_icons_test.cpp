// The icons step on the new shell: links read back through the shell, the
// folders and links in the undo log, the uninstall icon's rules and name,
// and what a failing icon leaves made and unmade.
#include <gtest/gtest.h>

#include "engine/common/own_machine.h"
#include "core/errors.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/install/program_icons.h"
#include "icon_bench.h"
#include "testkit/scripted_boxes.h"

namespace qv {
namespace {

using test::IconBench;
using test::LinkFields;
using test::ReadLink;
using test::ScriptedBoxes;

struct Entry {
    TChangeKind Kind;
    std::string First;
    std::uint32_t Flags;
    bool operator==(const Entry& o) const { return Kind == o.Kind && First == o.First && Flags == o.Flags; }
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << ChangeKindName(e.Kind) << " " << e.First << " " << e.Flags;
}

std::vector<Entry> Recorded(const TUndoChanges& undo) {
    std::vector<Entry> entries;
    for (const TChangeEntry& e : undo.Entries()) {
        entries.push_back({e.Kind, EntryString(e.StringData, 0), e.Flags});
        if (e.Kind == ekFile) {
            EXPECT_EQ(EntryString(e.StringData, 1), "");
        }
    }
    return entries;
}

class NewShellIcons : public ::testing::Test {
protected:
    ScopedWindowsVersion version_{WindowsVersion::Of(5, 1, kPlatformWin32NT)};
    IconBench b;
    ScriptedBoxes boxes;
};

TEST_F(NewShellIcons, EveryFieldOfEveryLinkReadsBackAndEachChangeIsRecorded) {
    b.AddIcon("{group}\\示例 程序", "{app}\\示例 app.exe", "/x \"a b\" {app}", "{app}", "{app}\\icons.dll", 3);
    b.AddIcon("{group}\\工具\\Tool", "{app}\\tool.exe");
    MakeProgramIcons(b.context);

    const std::string group = b.GroupFolder(), first = group + "\\示例 程序.lnk", second = group + "\\工具\\Tool.lnk";
    const LinkFields one = ReadLink(first);
    EXPECT_EQ(one.Target, b.app.file("示例 app.exe"));
    EXPECT_EQ(one.Arguments, "/x \"a b\" " + b.app.path());
    EXPECT_EQ(one.StartFolder, b.app.path());
    EXPECT_EQ(one.IconFile, b.app.file("icons.dll"));
    EXPECT_EQ(one.IconIndex, 3);
    EXPECT_EQ(one.Description, "示例 程序");
    const LinkFields two = ReadLink(second);
    EXPECT_EQ(two.Target, b.app.file("tool.exe"));
    EXPECT_EQ(two.Arguments, "");
    EXPECT_EQ(two.StartFolder, "");
    EXPECT_EQ(two.IconFile, "");
    EXPECT_EQ(two.Description, "Tool");

    // Each folder before the link inside it, each in the log before the next.
    EXPECT_EQ(Recorded(b.undo), (std::vector<Entry>{{ekFolder, group, efFolderNotify},
                                                    {ekFile, first, efNotifyShell},
                                                    {ekFolder, group + "\\工具", efFolderNotify},
                                                    {ekFile, second, efNotifyShell}}));
    EXPECT_EQ(b.progress.positions, (std::vector<std::int64_t>{1000, 2000}));
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(NewShellIcons, TheDefaultUninstallTitleGetsFullWidthQuotesInTheFileNameOnly) {
    b.MakeUninstallable();
    MakeProgramIcons(b.context);  // no other icon, and the key was not written

    const std::string link = b.GroupFolder() + "\\反安装“示例”.lnk";
    ASSERT_TRUE(FileExists(link));
    const LinkFields read = ReadLink(link);
    EXPECT_EQ(read.Target, b.win.file(OwnUninstallerFileName()));
    EXPECT_EQ(read.Arguments, "/U \"" + b.Placeholder() + "\" \"" + b.UninstallLog() + "\"");
    EXPECT_EQ(read.StartFolder, b.win.path());
    EXPECT_EQ(read.IconFile, "");
    EXPECT_EQ(read.Description, "反安装\"示例\"");
    EXPECT_EQ(Recorded(b.undo), (std::vector<Entry>{{ekFolder, b.GroupFolder(), efFolderNotify},
                                                    {ekFile, link, efNotifyShell}}));
    EXPECT_EQ(b.progress.positions, (std::vector<std::int64_t>{1000}));
}

TEST_F(NewShellIcons, TheHeadersUninstallTitleIsOneFileNameWhateverItHolds) {
    b.MakeUninstallable(true);
    b.context.UninstallKeyCreated = true;
    b.data.SetupInfo.UninstallIconTitle = "卸载 a\\b/c:d*e?f<g>h|i {app}";
    MakeProgramIcons(b.context);
    const std::string link = b.GroupFolder() + "\\卸载 a＼b／c：d＊e？f＜g＞h｜i {app}.lnk";
    ASSERT_TRUE(FileExists(link));
    EXPECT_EQ(ReadLink(link).Description, b.data.SetupInfo.UninstallIconTitle);
}

TEST_F(NewShellIcons, AColonInAnIconsNameStaysInItsTitle) {
    b.AddIcon("{group}\\帮助: 说明", "{app}\\help.exe");
    MakeProgramIcons(b.context);
    const std::string link = b.GroupFolder() + "\\帮助： 说明.lnk";
    ASSERT_TRUE(FileExists(link));
    EXPECT_EQ(ReadLink(link).Description, "帮助: 说明");
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(NewShellIcons, TheUninstallIconIsMadeWhenAlwaysAskedOrWhenTheKeyIsMissing) {
    const struct {
        bool uninstallable, always, keyCreated, noIcons, hasIcons;
        bool wanted, stepNeeded;
    } cases[] = {
        {false, true, false, false, false, false, false},
        {true, false, true, false, false, false, false},
        {true, false, true, false, true, false, true},
        {true, true, true, false, false, true, true},
        // The key could not be written: the icon is the only way to the uninstaller.
        {true, false, false, false, false, true, true},
        {true, false, false, true, true, true, false},
    };
    for (const auto& c : cases) {
        IconBench bench;
        if (c.uninstallable) bench.MakeUninstallable(c.always);
        bench.context.UninstallKeyCreated = c.keyCreated;
        bench.run.ChosenNoIcons = c.noIcons;
        bench.run.HasIconsToCreate = c.hasIcons;
        EXPECT_EQ(UninstallIconWanted(bench.context), c.wanted);
        EXPECT_EQ(ProgramIconsStepNeeded(bench.context), c.stepNeeded);
        MakeProgramIcons(bench.context);
        EXPECT_EQ(FileExists(bench.GroupFolder() + "\\反安装“示例”.lnk"), c.wanted);
        EXPECT_EQ(bench.progress.Position(), c.wanted ? 1000 : 0);
    }
}

TEST_F(NewShellIcons, AFailedIconIsReportedAndEndsTheRegularIconsButNotTheUninstallIcon) {
    b.MakeUninstallable();
    b.AddIcon("{group}\\A", "{app}\\tool.exe");
    b.AddIcon("{group}\\挡住\\B", "{app}\\tool.exe");
    b.AddIcon("{group}\\C", "{app}\\tool.exe");
    CreateDirectoryW(Widen(b.GroupFolder()).c_str(), nullptr);
    test::WriteFileBytes(b.GroupFolder() + "\\挡住", {'x'});  // a file where the folder would go
    MakeProgramIcons(b.context);

    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, "设置程序不能创建文件夹 \"" + b.GroupFolder() + "\\挡住\"");
    EXPECT_EQ(boxes.asked[0].Flags & MB_ICONSTOP, UINT{MB_ICONSTOP});
    EXPECT_TRUE(FileExists(b.GroupFolder() + "\\A.lnk"));
    EXPECT_FALSE(FileExists(b.GroupFolder() + "\\C.lnk"));
    EXPECT_TRUE(FileExists(b.GroupFolder() + "\\反安装“示例”.lnk"));
    EXPECT_EQ(Recorded(b.undo), (std::vector<Entry>{{ekFile, b.GroupFolder() + "\\A.lnk", efNotifyShell},
                                                    {ekFile, b.GroupFolder() + "\\反安装“示例”.lnk", efNotifyShell}}));
    EXPECT_EQ(b.progress.positions, (std::vector<std::int64_t>{1000, 2000}));
}

TEST_F(NewShellIcons, ALinkThatCannotBeSavedIsReportedAndNotRecorded) {
    b.AddIcon("{group}\\坏", "{app}\\tool.exe");
    b.AddIcon("{group}\\好", "{app}\\tool.exe");
    CreateDirectoryW(Widen(b.GroupFolder()).c_str(), nullptr);
    const std::string blocked = b.GroupFolder() + "\\坏.lnk";
    CreateDirectoryW(Widen(blocked).c_str(), nullptr);  // a folder where the link would go
    MakeProgramIcons(b.context);

    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text.rfind("不能创建快捷方式 \"" + blocked + "\"：", 0), 0u) << boxes.asked[0].Text;
    EXPECT_FALSE(FileExists(b.GroupFolder() + "\\好.lnk"));
    EXPECT_TRUE(b.undo.Empty());
    EXPECT_TRUE(b.progress.positions.empty());
}

TEST_F(NewShellIcons, AConstantThatCannotBeExpandedIsReportedAndTheInstallationGoesOn) {
    b.AddIcon("{group}\\A", "{app}\\tool.exe");
    b.run.Folders.ShellFolders = {};
    MakeProgramIcons(b.context);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, "内部错误 C100.");
    EXPECT_TRUE(b.undo.Empty());
}

}  // namespace
}  // namespace qv
