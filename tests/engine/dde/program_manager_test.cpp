// The stand-in's command language and groups, without DDE: the tests of
// every DDE path rely on it answering as the Program Manager does.
#include <gtest/gtest.h>

#include "progman/program_manager.h"

namespace qv::progman {
namespace {

std::vector<Command> Parse(const std::string& text) {
    const auto commands = ParseCommands(text);
    EXPECT_TRUE(commands.has_value()) << text;
    return commands.value_or(std::vector<Command>{});
}

bool Apply(ProgramManager& manager, const std::string& text, const std::vector<std::string>& rejected = {}) {
    const auto commands = ParseCommands(text);
    return commands && manager.Execute(*commands, rejected);
}

TEST(ProgmanCommands, ArgumentsAreSplitOutsideQuotesOnly) {
    const std::vector<Command> commands = Parse(
        " [CreateGroup(\"A, (b) [c]\")]\r\n[AddItem(\"C:\\My App\\a.exe\" /p \"x,y\",\"Name\",,0,,,\"C:\\W\")] [Reload]");
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].Name, "CreateGroup");
    EXPECT_EQ(commands[0].Args, (std::vector<std::string>{"A, (b) [c]"}));
    EXPECT_EQ(commands[1].Args,
              (std::vector<std::string>{"\"C:\\My App\\a.exe\" /p \"x,y\"", "Name", "", "0", "", "", "C:\\W"}));
    EXPECT_EQ(commands[2].Name, "Reload");
    EXPECT_TRUE(commands[2].Args.empty());
}

TEST(ProgmanCommands, MalformedTextsAreRefused) {
    for (const char* text : {"", "   ", "CreateGroup(\"A\")", "[CreateGroup(\"A\")", "[CreateGroup(\"A)]",
                             "[CreateGroup(\"A\")] junk", "[(\"A\")]", "[CreateGroup(\"A\") x]"})
        EXPECT_FALSE(ParseCommands(text).has_value()) << text;
}

TEST(ProgmanGroups, ItemsGoToTheActiveGroupAndReplaceKeepsThePlace) {
    ProgramManager manager;
    manager.Reset({{"Main", {{"Clock", "CLOCK.EXE", "", 0, ""}}}});
    EXPECT_FALSE(Apply(manager, "[AddItem(X.EXE)]"));  // no active group yet
    EXPECT_TRUE(Apply(manager, "[CreateGroup(\"Tools\")][AddItem(C:\\T\\one.exe)][AddItem(TWO.EXE,\"Two\",t.ico,3)]"));
    EXPECT_TRUE(Apply(manager, "[CreateGroup(\"tools\")][ReplaceItem(\"ONE\")][AddItem(NEW.EXE,\"New\")]"));
    EXPECT_TRUE(Apply(manager, "[ShowGroup(\"main\",5)][AddItem(W.EXE,\"Write\",,,,,\"C:\\W\")]"));
    EXPECT_EQ(manager.Groups(),
              (std::vector<Group>{{"Main", {{"Clock", "CLOCK.EXE", "", 0, ""}, {"Write", "W.EXE", "", 0, "C:\\W"}}},
                                  {"Tools", {{"New", "NEW.EXE", "", 0, ""}, {"Two", "TWO.EXE", "t.ico", 3, ""}}}}));
}

TEST(ProgmanGroups, FailuresStopAtTheFailingCommand) {
    ProgramManager manager;
    manager.Reset({});
    EXPECT_FALSE(Apply(manager, "[ShowGroup(\"Nowhere\",5)]"));
    EXPECT_FALSE(Apply(manager, "[CreateGroup(\"G\")][ShowGroup(\"G\",x)]"));
    EXPECT_FALSE(Apply(manager, "[ShowGroup(\"G\",5)][DeleteItem(\"None\")][DeleteGroup(\"G\")]"));
    EXPECT_FALSE(Apply(manager, "[CreateGroup(\"H\")][AddItem(A.EXE,\"A\",,x)]"));
    EXPECT_FALSE(Apply(manager, "[ExitProgman(1)]"));
    EXPECT_FALSE(Apply(manager, "[CreateGroup(\"I\")][AddItem(A.EXE)]", {"additem"}));
    EXPECT_EQ(manager.Groups(), (std::vector<Group>{{"G", {}}, {"H", {}}, {"I", {}}}));
    EXPECT_FALSE(Apply(manager, "[CreateGroup(\"J\")]", {"*"}));
    EXPECT_TRUE(Apply(manager, "[DeleteGroup(\"h\")]"));
    EXPECT_FALSE(Apply(manager, "[DeleteGroup(\"H\")]"));
    EXPECT_EQ(manager.Groups().size(), 2u);
}

TEST(ProgmanGroups, DescriptionsCountTheItems) {
    ProgramManager manager;
    manager.Reset({{"附件", {{"记事本", "NOTEPAD.EXE", "np.ico", 1, "C:\\WINDOWS"}}}, {"Empty", {}}});
    EXPECT_EQ(manager.Describe("groups"), "附件\r\nEmpty\r\n");
    EXPECT_EQ(manager.Describe("附件"),
              "\"附件\",C:\\WINDOWS\\QVGRP001.GRP,1\r\n\"记事本\",\"NOTEPAD.EXE\",C:\\WINDOWS,np.ico,0,0,1,0,0\r\n");
    EXPECT_EQ(manager.Describe("EMPTY"), "\"Empty\",C:\\WINDOWS\\QVGRP002.GRP,0\r\n");
    EXPECT_FALSE(manager.Describe("Missing").has_value());
    EXPECT_TRUE(Apply(manager, "[DeleteGroup(\"附件\")][DeleteGroup(\"Empty\")]"));
    EXPECT_EQ(manager.Describe("GROUPS"), "");
}

}  // namespace
}  // namespace qv::progman
