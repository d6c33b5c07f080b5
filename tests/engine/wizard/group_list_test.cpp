#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>

#include "core/text/path_strings.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/wizard/group_list.h"
#include "progman/stand_in.h"
#include "testkit/scratch.h"
#include "wizard_boxes.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;

TEST(ListLines, SplitAsAListBoxTakesItsText) {
    EXPECT_EQ(SplitListLines("附件\r\nGames\r\n"), (Lines{"附件", "Games"}));
    EXPECT_EQ(SplitListLines("A\rB\nC"), (Lines{"A", "B", "C"}));
    EXPECT_EQ(SplitListLines("A\r\n\r\nB\n\rC"), (Lines{"A", "", "B", "", "C"}));
    EXPECT_EQ(SplitListLines(std::string("A\r\nB\0C\r\n", 8)), (Lines{"A", "B"}));
    EXPECT_EQ(SplitListLines(""), Lines{});
    EXPECT_EQ(SplitListLines("\r\n"), Lines{""});
}

Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

void MakeFolder(const std::string& path, DWORD attributes = 0) {
    ASSERT_TRUE(CreateDirectoryW(Widen(path).c_str(), nullptr)) << path;
    if (attributes != 0) {
        ASSERT_TRUE(SetFileAttributesW(Widen(path).c_str(), attributes));
    }
}

TEST(GroupListNewShell, EverySubFolderOfTheProgramsFolder) {
    const ScopedWindowsVersion version(test::NewShell());
    const test::ScratchFolder programs("wizard 程序");
    MakeFolder(programs.file("附件"));
    MakeFolder(programs.file("Games"));
    MakeFolder(programs.file("Hidden"), FILE_ATTRIBUTE_HIDDEN);
    MakeFolder(programs.file("System"), FILE_ATTRIBUTE_SYSTEM);
    MakeFolder(programs.file("Games") + "\\Cards");
    test::WriteFileBytes(programs.file("readme.txt"), {'x'});
    const Lines expected{"Games", "Hidden", "System", "附件"};
    EXPECT_EQ(Sorted(FillGroupList(programs.path())), Sorted(expected));
    EXPECT_EQ(Sorted(FillGroupList(programs.path() + "\\")), Sorted(expected));
}

TEST(GroupListNewShell, NoFolderGivesAnEmptyList) {
    const ScopedWindowsVersion version(test::NewShell());
    const test::ScratchFolder programs("wizard empty");
    EXPECT_TRUE(FillGroupList(programs.path()).empty());
    EXPECT_TRUE(FillGroupList(programs.file("missing")).empty());
    // An unknown programs folder is not the current folder.
    const test::ScratchFolder current("wizard current");
    MakeFolder(current.file("Not a group"));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(Widen(current.path()).c_str());
    const Lines found = FillGroupList("");
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(found.empty());
}

class GroupListOldShell : public ::testing::Test {
protected:
    static void SetUpTestSuite() { progman = std::make_unique<test::ProgmanStandIn>(); }
    static void TearDownTestSuite() { progman.reset(); }

    static std::unique_ptr<test::ProgmanStandIn> progman;
    ScopedWindowsVersion version_{test::OldShell()};
};

std::unique_ptr<test::ProgmanStandIn> GroupListOldShell::progman;

Lines Kinds(const std::vector<test::Transaction>& transactions) {
    Lines kinds;
    for (const test::Transaction& t : transactions) kinds.push_back(t.Kind);
    return kinds;
}

TEST_F(GroupListOldShell, TheProgramManagersGroupsInItsOrder) {
    progman->Reset({{"主群组", {}}, {"Games", {}}, {"附件", {}}});
    // The programs folder does not matter below Windows 4.
    EXPECT_EQ(FillGroupList("C:\\nowhere"), (Lines{"主群组", "Games", "附件"}));
    const std::vector<test::Transaction> transactions = progman->Transactions();
    EXPECT_EQ(Kinds(transactions), (Lines{"connect", "request", "disconnect"}));
    // DDE names are compared without regard to case.
    EXPECT_TRUE(SameTextAscii(transactions[0].Service, "PROGMAN")) << transactions[0].Service;
    EXPECT_TRUE(SameTextAscii(transactions[0].Topic, "PROGMAN")) << transactions[0].Topic;
    EXPECT_TRUE(SameTextAscii(transactions[1].Item, "GROUPS")) << transactions[1].Item;
}

TEST_F(GroupListOldShell, AServerThatKnowsOnlyAnsiText) {
    test::Behaviour ansi;
    ansi.AnsiWindows = true;
    ansi.TextRequestsOnly = true;
    progman->Reset({{"Main", {}}, {"Accessories", {}}}, ansi);
    EXPECT_EQ(FillGroupList(""), (Lines{"Main", "Accessories"}));
    const std::vector<test::Transaction> requests = progman->Transactions("request");
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().Format, static_cast<unsigned>(CF_TEXT));
    EXPECT_EQ(progman->Transactions("disconnect").size(), 1u);
}

TEST_F(GroupListOldShell, FailuresLeaveTheListEmptyAndTheConversationClosed) {
    test::Behaviour reject;
    reject.Reject = {"GROUPS"};
    progman->Reset({{"Main", {}}}, reject);
    EXPECT_TRUE(FillGroupList("").empty());
    EXPECT_EQ(progman->Transactions("disconnect").size(), 1u);

    test::Behaviour refuse;
    refuse.RefuseConnect = true;
    progman->Reset({{"Main", {}}}, refuse);
    EXPECT_TRUE(FillGroupList("").empty());
}

TEST_F(GroupListOldShell, AServerThatDoesNotAnswerIsGivenUpOn) {
    test::Behaviour hold;
    hold.Hold = {"GROUPS"};
    progman->Reset({{"Main", {}}}, hold);
    EXPECT_TRUE(FillGroupList("").empty());
    const std::vector<test::Transaction> requests = progman->Transactions("request");
    ASSERT_EQ(requests.size(), 1u);  // a time-out is not asked again
    EXPECT_EQ(requests[0].Outcome, "held");
    EXPECT_EQ(progman->Transactions("disconnect").size(), 1u);
}

}  // namespace
}  // namespace qv
