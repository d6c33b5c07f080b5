// The files through which tests and the stand-in Program Manager talk:
//
//   control.txt       written by the test: the groups to start a session
//                     with and how to behave (read at each reset)
//   transactions.log  written by the stand-in: one line per transaction
//                     received, in order, before it is answered
//   groups.txt        written by the stand-in: its groups after each
//                     change, before the change is answered
//
// All three are UTF-8 lines of tab-separated fields; a tab, a line break
// or a backslash inside a field is written as \t, \n, \r or \\.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::progman {

constexpr char kControlFile[] = "control.txt";
constexpr char kTransactionsFile[] = "transactions.log";
constexpr char kGroupsFile[] = "groups.txt";
// Posted to the stand-in's thread (WM_APP + 1): begin a new session from
// the control file, then signal the ready event.
constexpr unsigned kResetMessage = 0x8001;

// Whole-file access that never stands in the way of the other side: every
// file is opened with all sharing allowed. Failures raise std::runtime_error.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
void AppendToFile(const std::string& path, const std::string& bytes);

struct Item {
    std::string Name;
    std::string CommandLine;
    std::string IconFile;
    int IconIndex = 0;
    std::string WorkingFolder;

    bool operator==(const Item& other) const;
};

struct Group {
    std::string Name;
    std::vector<Item> Items;

    bool operator==(const Group& other) const;
};

struct Behaviour {
    // Take commands as ANSI text, with ANSI windows, as the Program Manager
    // of the old shell does; otherwise as UTF-16.
    bool AnsiWindows = false;
    // Refuse every conversation, in a way that keeps out any other server
    // of "PROGMAN" too (under Wine the desktop's shell is one): the client
    // finds no Program Manager at all.
    bool RefuseConnect = false;
    // Do not process requests in CF_UNICODETEXT, as the old shell's
    // Program Manager, which knows CF_TEXT only.
    bool TextRequestsOnly = false;
    // Names of commands (CreateGroup, AddItem, ...) and of request items
    // ("GROUPS", a group's name) to answer as not processed; "*" stands
    // for every execute and request. An execute is rejected at its first
    // command so named, after the ones before it took effect. Compared
    // without regard to case.
    std::vector<std::string> Reject;
    // Names as for Reject, of the transactions never to answer: the client
    // gives up after its time-out, and nothing changes.
    std::vector<std::string> Hold;
};

struct Control {
    Behaviour Behave;
    std::vector<Group> Groups;
};

std::string WriteControl(const Control& control);
Control ReadControl(const std::string& text);

std::string WriteGroups(const std::vector<Group>& groups);
std::vector<Group> ReadGroups(const std::string& text);

// One transaction as the stand-in received it.
struct Transaction {
    // "connect", "execute", "request" or "disconnect".
    std::string Kind;
    // connect: the names asked for.
    std::string Service, Topic;
    // request: the item and the clipboard format.
    std::string Item;
    unsigned Format = 0;
    // execute: the data exactly as received, and whether it came as ANSI
    // text (AnsiWindows) rather than UTF-16.
    std::vector<std::uint8_t> Bytes;
    bool AnsiText = false;
    // connect: "accepted" or "refused"; execute: "processed" or
    // "rejected"; request: "answered" or "rejected"; either: "held".
    std::string Outcome;
};

// An execute's text in UTF-8, up to its terminating zero.
std::string CommandText(const Transaction& execute);

std::string WriteTransaction(const Transaction& transaction);
// Every line of the log, oldest first.
std::vector<Transaction> ReadTransactions(const std::string& text);

}  // namespace qv::progman
