// The stand-in Program Manager for tests of every layer that talks DDE:
// progman_stand_in.exe, built beside the test programs, run as a separate
// process that serves the service and topic "PROGMAN" with the DDE message
// protocol, as the Program Manager does; the code under test reaches it
// through the real DDE management library. It understands the commands of
// program_manager.h
// and the requests "GROUPS" and a group's name, records every transaction
// it receives, and can be told to refuse conversations (as if no Program
// Manager were running), to reject commands or requests, or not to answer
// them.
//
// Starting it costs a process: start one per test suite and begin each
// case with Reset.
//
//   static std::unique_ptr<test::ProgmanStandIn> progman;
//   static void SetUpTestSuite() { progman = std::make_unique<test::ProgmanStandIn>(); }
//   static void TearDownTestSuite() { progman.reset(); }
//   void SetUp() override { progman->Reset({{"附件", {}}}); }
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/common/win_handles.h"
#include "progman/stand_in_files.h"
#include "testkit/scratch.h"

namespace qv::test {

using progman::Behaviour;
using progman::CommandText;
using progman::Group;
using progman::Item;
using progman::Transaction;

class ProgmanStandIn {
public:
    // Starts the stand-in, with no groups and the default behaviour, and
    // waits until it serves; std::runtime_error when it does not.
    ProgmanStandIn();
    // Stops it.
    ~ProgmanStandIn();
    ProgmanStandIn(const ProgmanStandIn&) = delete;
    ProgmanStandIn& operator=(const ProgmanStandIn&) = delete;

    // Begins a new session and waits until the stand-in serves it: these
    // groups (no active one), this behaviour, an empty record. Call it
    // with no conversation open.
    void Reset(const std::vector<Group>& groups = {}, const Behaviour& behaviour = {});

    // What the stand-in received in this session, oldest first; `kind`
    // keeps only "connect", "execute", "request" or "disconnect".
    std::vector<Transaction> Transactions() const;
    std::vector<Transaction> Transactions(const std::string& kind) const;
    // The texts of the executes received, in order.
    std::vector<std::string> Commands() const;
    // The groups and items as they stand now.
    std::vector<Group> Groups() const;

private:
    void WaitUntilReady(const char* what);

    ScratchFolder folder_{"progman"};
    UniqueHandle ready_, process_;
    DWORD threadId_ = 0;
};

}  // namespace qv::test
