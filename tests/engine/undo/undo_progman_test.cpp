// Program Manager groups and items undone against the stand-in Program
// Manager, over the real DDE management library.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/undo/progman_items.h"
#include "engine/undo/undo_changes.h"
#include "progman/stand_in.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "undo_test_support.h"

namespace qv {
namespace {

using test::Behaviour;
using test::Group;

TEST(GroupDescription, OnlyACountOfZeroBehindTheNameAndFileMakesAGroupEmpty) {
    EXPECT_TRUE(GroupDescriptionHasNoItems("\"Tools\",C:\\WINDOWS\\TOOLS.GRP,0\r\n"));
    EXPECT_TRUE(GroupDescriptionHasNoItems("\"A, (b)\",C:\\WINDOWS\\A.GRP,0"));
    EXPECT_FALSE(GroupDescriptionHasNoItems("\"Tools\",C:\\WINDOWS\\TOOLS.GRP,10\r\n\"x\",..."));
    EXPECT_FALSE(GroupDescriptionHasNoItems("\"Tools\",C:\\WINDOWS\\TOOLS.GRP,"));
    EXPECT_FALSE(GroupDescriptionHasNoItems("\"Tools\",0"));
    EXPECT_FALSE(GroupDescriptionHasNoItems("Tools,C:\\TOOLS.GRP,0"));
    EXPECT_FALSE(GroupDescriptionHasNoItems(""));
}

class UndoProgman : public ::testing::Test {
protected:
    static void SetUpTestSuite() { progman = std::make_unique<test::ProgmanStandIn>(); }
    static void TearDownTestSuite() { progman.reset(); }

    static std::unique_ptr<test::ProgmanStandIn> progman;
};
std::unique_ptr<test::ProgmanStandIn> UndoProgman::progman;

// 画图 was in 附件 before; the installation added 记事本 to it and made
// the group Tools with one item.
void RecordIcons(TUndoChanges& undo) {
    undo.AddEntry(ekProgManItem, {"附件", ""}, 0);
    undo.AddEntry(ekProgManItem, {"附件", "记事本"}, 0);
    undo.AddEntry(ekProgManItem, {"Tools", ""}, 0);
    undo.AddEntry(ekProgManItem, {"Tools", "Tool"}, 0);
}

const std::vector<Group> kInstalledGroups = {
    {"附件", {{"画图", "PBRUSH.EXE", "", 0, ""}, {"记事本", "NOTEPAD.EXE", "", 0, ""}}},
    {"Tools", {{"Tool", "C:\\T\\TOOL.EXE", "", 0, ""}}},
};

TEST_F(UndoProgman, ItemsGoAndGroupsGoWhenTheyHoldNoItems) {
    for (const bool uninstalling : {false, true}) {
        progman->Reset(kInstalledGroups);
        TUndoChanges undo;
        RecordIcons(undo);
        EXPECT_TRUE(undo.UndoAll(uninstalling));
        EXPECT_EQ(progman->Commands(), (std::vector<std::string>{
                                           "[ShowGroup(\"Tools\",5)][DeleteItem(\"Tool\")]",
                                           "[DeleteGroup(\"Tools\")]",
                                           "[ShowGroup(\"附件\",5)][DeleteItem(\"记事本\")]",
                                       }));
        EXPECT_EQ(progman->Groups(), (std::vector<Group>{{"附件", {{"画图", "PBRUSH.EXE", "", 0, ""}}}}));
        // One conversation for the run, ended with it.
        EXPECT_EQ(progman->Transactions("connect").size(), 1u);
        EXPECT_EQ(progman->Transactions("disconnect").size(), 1u);
        std::set<std::string> requested;
        for (const test::Transaction& request : progman->Transactions("request")) requested.insert(request.Item);
        EXPECT_EQ(requested, (std::set<std::string>{"Tools", "附件"}));  // the groups' descriptions only
    }
}

TEST_F(UndoProgman, WhateverTheProgramManagerDoesNeitherStopsNorFailsTheRun) {
    test::ScratchFolder root("undo progman");
    test::ScriptedBoxes boxes;
    Behaviour rejecting;
    rejecting.Reject = {"*"};
    Behaviour refusing;
    refusing.RefuseConnect = true;
    for (const Behaviour& behaviour : {rejecting, refusing}) {
        progman->Reset(kInstalledGroups, behaviour);
        const std::string file = root.file("app.exe");
        test::WriteText(file);
        TUndoChanges undo;
        undo.AddEntry(ekFile, {file, ""}, 0);
        RecordIcons(undo);
        EXPECT_TRUE(undo.UndoAll(false));
        EXPECT_FALSE(test::Exists(file));
        EXPECT_EQ(progman->Groups(), kInstalledGroups);
    }
    EXPECT_TRUE(boxes.asked.empty());
}

}  // namespace
}  // namespace qv
