// TDDE against the stand-in Program Manager, through the real DDE
// management library and a server in a process of its own.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>

#include "engine/common/win_text.h"
#include "engine/dde/dde_client.h"
#include "engine/dde/dde_owners.h"
#include "engine/dde/request_text.h"
#include "progman/stand_in.h"

namespace qv {
namespace {

using test::Behaviour;
using test::Group;
using test::ProgmanStandIn;
using test::Transaction;

constexpr UINT kExecuteTimedOut = 0x4005;   // DMLERR_EXECACKTIMEOUT
constexpr UINT kInvalidParameter = 0x4006;  // DMLERR_INVALIDPARAMETER
constexpr UINT kNotProcessed = 0x4009;      // DMLERR_NOTPROCESSED
constexpr UINT kNoConversation = 0x400A;    // DMLERR_NO_CONV_ESTABLISHED

// What a Unicode server receives for a command: UTF-16LE and a zero character.
std::vector<std::uint8_t> Utf16WithZero(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (const wchar_t c : Widen(text)) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The message and code of the EDdeError that `step` raises.
template <typename Step>
std::pair<std::string, UINT> Raised(Step step) {
    try {
        step();
    } catch (const EDdeError& error) {
        return {error.what(), error.Code()};
    }
    ADD_FAILURE() << "no EDdeError was raised";
    return {};
}

class DdeClient : public ::testing::Test {
protected:
    static void SetUpTestSuite() { progman = std::make_unique<ProgmanStandIn>(); }
    static void TearDownTestSuite() { progman.reset(); }
    void SetUp() override { dde.Create(); }

    // A session with `groups` and `behaviour`, and a conversation with it.
    DdeConversationOwner Start(const std::vector<Group>& groups = {}, const Behaviour& behaviour = {}) {
        progman->Reset(groups, behaviour);
        service = MakeStringHandle(dde, "PROGMAN");
        return DdeConversationOwner(dde.Connect(service.get(), service.get()));
    }

    static std::unique_ptr<ProgmanStandIn> progman;
    TDDE dde;
    DdeStringOwner service;
};

std::unique_ptr<ProgmanStandIn> DdeClient::progman;

TEST_F(DdeClient, EveryCommandArrivesByteForByteWithItsTerminatingZero) {
    const DdeConversationOwner conversation = Start({{"旧的组", {}}});
    const std::string group = "示例 程序";
    const std::string createGroup = "[CreateGroup(\"" + group + "\")]";
    // The texts the icon and undo steps send, with the IgnoreNotProcessed they send them with.
    const std::vector<std::pair<std::string, bool>> commands = {
        {createGroup, false},
        {"[ShowGroup(\"" + group + "\",5)]", false},
        {"[ReplaceItem(\"说明\")]", true},
        {createGroup + "[AddItem(\"C:\\Program Files\\示例\\app.exe\" /x,\"说明\",\"C:\\示例\\app.ico\",2,,,\"C:\\示例\")]",
         false},
        {createGroup + "[AddItem(C:\\示例\\readme.exe,\"读我\",,,,,\"C:\\示例\")]", false},
        {"[ShowGroup(\"" + group + "\",5)][DeleteItem(\"读我\")]", true},
        {"[DeleteGroup(\"旧的组\")]", true},
    };
    std::vector<bool> results;
    for (const auto& [text, ignoreNotProcessed] : commands)
        results.push_back(dde.Execute(conversation.get(), text, ignoreNotProcessed));
    // The replace finds no item yet.
    EXPECT_EQ(results, (std::vector<bool>{true, true, false, true, true, true, true}));

    const std::vector<Transaction> executes = progman->Transactions("execute");
    ASSERT_EQ(executes.size(), commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        EXPECT_FALSE(executes[i].AnsiText);
        EXPECT_EQ(executes[i].Bytes, Utf16WithZero(commands[i].first)) << commands[i].first;
    }
    // The Chinese names reached the Program Manager whole.
    EXPECT_EQ(progman->Groups(), (std::vector<Group>{{group, {{"说明", "\"C:\\Program Files\\示例\\app.exe\" /x",
                                                                "C:\\示例\\app.ico", 2, "C:\\示例"}}}}));
}

TEST_F(DdeClient, ARejectedCommandGivesFalseOnlyWhenTheCallerAllowsIt) {
    Behaviour behaviour;
    behaviour.Reject = {"AddItem"};
    const DdeConversationOwner conversation = Start({}, behaviour);
    const std::string command = "[CreateGroup(\"Tools\")][AddItem(C:\\T\\t.exe,\"T\")]";

    EXPECT_FALSE(dde.Execute(conversation.get(), command, true));
    EXPECT_EQ(Raised([&] { dde.Execute(conversation.get(), command, false); }),
              std::make_pair(std::string("DDE: 命令未成功"), kNotProcessed));
    // A command the Program Manager cannot carry out is a rejection too.
    EXPECT_FALSE(dde.Execute(conversation.get(), "[DeleteGroup(\"Missing\")]", true));
    // And a failure leaves the instance fit for the next command.
    EXPECT_TRUE(dde.Execute(conversation.get(), "[ShowGroup(\"Tools\",5)]", false));

    const std::vector<Transaction> executes = progman->Transactions("execute");
    ASSERT_EQ(executes.size(), 4u);
    EXPECT_EQ(executes[0].Outcome, "rejected");
    EXPECT_EQ(executes[1].Outcome, "rejected");
    EXPECT_EQ(executes[3].Outcome, "processed");
    // The commands before the rejected one took effect.
    EXPECT_EQ(progman->Groups(), (std::vector<Group>{{"Tools", {}}}));
}

TEST_F(DdeClient, NoConversationWhenTheServerRefusesOrIsNotThere) {
    Behaviour refusing;
    refusing.RefuseConnect = true;
    progman->Reset({}, refusing);
    const DdeStringOwner progmanName = MakeStringHandle(dde, "PROGMAN");
    EXPECT_EQ(Raised([&] { dde.Connect(progmanName.get(), progmanName.get()); }),
              std::make_pair(std::string("DDE: 不能建立DDE连接 (代码: 16394)"), kNoConversation));
    const std::vector<Transaction> connects = progman->Transactions("connect");
    ASSERT_EQ(connects.size(), 1u);
    // Atoms keep the spelling of whoever made them first.
    EXPECT_EQ(Upper(connects[0].Service), "PROGMAN");
    EXPECT_EQ(Upper(connects[0].Topic), "PROGMAN");
    EXPECT_EQ(connects[0].Outcome, "refused");

    progman->Reset();
    const DdeStringOwner nobody = MakeStringHandle(dde, "QV-NO-SUCH-SERVICE");
    EXPECT_EQ(Raised([&] { dde.Connect(nobody.get(), nobody.get()); }).second, kNoConversation);
    // A topic the Program Manager does not serve.
    const DdeStringOwner other = MakeStringHandle(dde, "OTHER");
    EXPECT_EQ(Raised([&] { dde.Connect(progmanName.get(), other.get()); }).second, kNoConversation);
    EXPECT_TRUE(progman->Transactions("execute").empty());

    // The same instance connects once the Program Manager is there.
    const DdeConversationOwner conversation(dde.Connect(progmanName.get(), progmanName.get()));
    EXPECT_TRUE(dde.Execute(conversation.get(), "[CreateGroup(\"Back\")]", false));
}

TEST_F(DdeClient, RequestGivesTheReplyBytesUntilUnaccessed) {
    const DdeConversationOwner conversation =
        Start({{"Main", {{"Clock", "CLOCK.EXE", "", 0, ""}}}, {"Games", {}}});
    const DdeStringOwner groups = MakeStringHandle(dde, "GROUPS"), games = MakeStringHandle(dde, "Games");

    HDDEDATA handle = nullptr;
    const BYTE* data = nullptr;
    DWORD size = 0;
    dde.Request(conversation.get(), groups.get(), CF_TEXT, handle, data, size);
    ASSERT_NE(handle, nullptr);
    ASSERT_GE(size, 14u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 14), std::string("Main\r\nGames\r\n\0", 14));
    dde.UnaccessData(handle);

    dde.Request(conversation.get(), games.get(), CF_TEXT, handle, data, size);
    EXPECT_EQ(DdeReplyText(data, size, CF_TEXT), "\"Games\",C:\\WINDOWS\\QVGRP002.GRP,0\r\n");
    dde.UnaccessData(handle);

    const std::vector<Transaction> requests = progman->Transactions("request");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Item, "GROUPS");
    EXPECT_EQ(requests[0].Format, static_cast<unsigned>(CF_TEXT));
    EXPECT_EQ(requests[1].Item, "Games");
    EXPECT_EQ(requests[1].Outcome, "answered");
}

TEST_F(DdeClient, AnUnknownOrRejectedRequestRaises) {
    Behaviour behaviour;
    behaviour.Reject = {"GROUPS"};
    const DdeConversationOwner conversation = Start({{"Main", {}}}, behaviour);
    const DdeStringOwner groups = MakeStringHandle(dde, "GROUPS"), missing = MakeStringHandle(dde, "没有这个组");
    HDDEDATA handle = nullptr;
    const BYTE* data = nullptr;
    DWORD size = 0;
    for (const HSZ item : {groups.get(), missing.get()}) {
        EXPECT_EQ(Raised([&] { dde.Request(conversation.get(), item, CF_TEXT, handle, data, size); }),
                  std::make_pair(std::string("DDE: 请求处理时出错 (代码: 16393)"), kNotProcessed));
        EXPECT_EQ(handle, nullptr);
        EXPECT_EQ(data, nullptr);
    }
    EXPECT_EQ(RequestText(dde, conversation.get(), MakeStringHandle(dde, "Main").get()),
              "\"Main\",C:\\WINDOWS\\QVGRP001.GRP,0\r\n");
}

TEST_F(DdeClient, RequestTextKeepsChineseNamesAndFallsBackToAnsiText) {
    const std::vector<Group> groups = {
        {"附件", {{"记事本", "NOTEPAD.EXE", "", 0, "C:\\WINDOWS"}, {"计算器", "CALC.EXE", "", 0, ""}}},
        {"Games", {}}};
    {
        const DdeConversationOwner conversation = Start(groups);
        EXPECT_EQ(RequestText(dde, conversation.get(), MakeStringHandle(dde, "GROUPS").get()), "附件\r\nGames\r\n");
        EXPECT_EQ(RequestText(dde, conversation.get(), MakeStringHandle(dde, "附件").get()),
                  "\"附件\",C:\\WINDOWS\\QVGRP001.GRP,2\r\n"
                  "\"记事本\",\"NOTEPAD.EXE\",C:\\WINDOWS,,0,0,0,0,0\r\n"
                  "\"计算器\",\"CALC.EXE\",,,0,0,0,0,0\r\n");
        const std::vector<Transaction> requests = progman->Transactions("request");
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].Item, "附件");
        EXPECT_EQ(requests[1].Format, static_cast<unsigned>(CF_UNICODETEXT));
    }
    // A server that knows CF_TEXT only is asked again in it.
    Behaviour old;
    old.TextRequestsOnly = true;
    const DdeConversationOwner conversation = Start(groups, old);
    EXPECT_EQ(RequestText(dde, conversation.get(), MakeStringHandle(dde, "Games").get()),
              "\"Games\",C:\\WINDOWS\\QVGRP002.GRP,0\r\n");
    const std::vector<Transaction> requests = progman->Transactions("request");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Format, static_cast<unsigned>(CF_UNICODETEXT));
    EXPECT_EQ(requests[0].Outcome, "rejected");
    EXPECT_EQ(requests[1].Format, static_cast<unsigned>(CF_TEXT));
    EXPECT_EQ(requests[1].Outcome, "answered");
}

TEST_F(DdeClient, AnAnsiServerReceivesTheCommandInItsCodePageWithOneZero) {
    Behaviour old;
    old.AnsiWindows = true;
    const DdeConversationOwner conversation = Start({}, old);
    const std::string command = "[CreateGroup(\"Accessories\")][ShowGroup(\"Accessories\",5)]";
    EXPECT_TRUE(dde.Execute(conversation.get(), command, false));
    const std::vector<Transaction> executes = progman->Transactions("execute");
    ASSERT_EQ(executes.size(), 1u);
    EXPECT_TRUE(executes[0].AnsiText);
    std::vector<std::uint8_t> expected(command.begin(), command.end());
    expected.push_back(0);
    EXPECT_EQ(executes[0].Bytes, expected);
    EXPECT_EQ(progman->Groups(), (std::vector<Group>{{"Accessories", {}}}));
}

TEST_F(DdeClient, AServerThatDoesNotAnswerTimesOut) {
    Behaviour silent;
    silent.Hold = {"CreateGroup"};
    {
        const DdeConversationOwner conversation = Start({}, silent);
        EXPECT_EQ(Raised([&] { dde.Execute(conversation.get(), "[CreateGroup(\"Slow\")]", true); }),
                  std::make_pair(std::string("DDE: 执行处理过程时出错 (代码: 16389)"), kExecuteTimedOut));
    }
    const std::vector<Transaction> executes = progman->Transactions("execute");
    ASSERT_EQ(executes.size(), 1u);
    EXPECT_EQ(executes[0].Outcome, "held");
    EXPECT_TRUE(progman->Groups().empty());

    // The instance goes on serving new conversations.
    const DdeConversationOwner conversation = Start();
    EXPECT_TRUE(dde.Execute(conversation.get(), "[CreateGroup(\"Fast\")]", false));
}

TEST_F(DdeClient, ClosingStepsLeaveTheCallersHandlesAtZero) {
    progman->Reset();
    HSZ name = dde.CreateStringHandle("PROGMAN");
    HCONV conversation = dde.Connect(name, name);
    ASSERT_NE(conversation, nullptr);
    dde.Disconnect(conversation);
    EXPECT_EQ(conversation, nullptr);
    dde.Disconnect(conversation);  // a second clean-up pass skips it
    dde.FreeStringHandle(name);
    EXPECT_EQ(name, nullptr);
    dde.FreeStringHandle(name);
    std::vector<std::string> kinds;
    for (const Transaction& t : progman->Transactions()) kinds.push_back(t.Kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"connect", "disconnect"}));

    dde.Destroy();
    EXPECT_EQ(dde.Inst(), 0u);
    dde.Destroy();
    EXPECT_EQ(Raised([&] { dde.CreateStringHandle("PROGMAN"); }),
              std::make_pair(std::string("DDE: 不能建立字串句柄"), 0u));
    EXPECT_EQ(Raised([&] { dde.Connect(nullptr, nullptr); }),
              std::make_pair(std::string("DDE: 不能建立DDE连接 (代码: 16390)"), kInvalidParameter));

    dde.Create();
    EXPECT_NE(dde.Inst(), 0u);
    // An atom holds at most 255 characters.
    EXPECT_EQ(Raised([&] { dde.CreateStringHandle(std::string(300, 'G')); }).first, "DDE: 不能建立字串句柄");
}

TEST_F(DdeClient, AClosedConversationCannotExecute) {
    DdeConversationOwner conversation = Start();
    const HCONV stale = conversation.get();
    conversation.reset();
    for (const HCONV gone : {stale, HCONV{}})
        EXPECT_EQ(Raised([&] { dde.Execute(gone, "[CreateGroup(\"X\")]", true); }),
                  std::make_pair(std::string("DDE: 执行处理过程时出错 (代码: 16390)"), kInvalidParameter));
    EXPECT_TRUE(progman->Transactions("execute").empty());
}

}  // namespace
}  // namespace qv
