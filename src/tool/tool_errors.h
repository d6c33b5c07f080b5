// The failures of qvsetup, each with the exit status it ends the program with.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace qv::tool {

enum ExitStatus : int {
    kExitOk = 0,
    kExitUsage = 1,    // a usage or script error
    kExitDamaged = 2,  // damaged (or unsafe) setup data
    kExitIo = 3,       // an I/O failure
    kExitInterrupted = 130,  // Ctrl-C or a termination request (128 + SIGINT, as shells report it)
};

// A mistake on the command line.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every mistake found in a script, one message each, in script order.
class ScriptErrors : public std::runtime_error {
public:
    explicit ScriptErrors(std::vector<std::string> messages)
        : std::runtime_error(Join(messages)), messages_(std::move(messages)) {}
    const std::vector<std::string>& messages() const { return messages_; }

private:
    static std::string Join(const std::vector<std::string>& messages) {
        std::string all;
        for (const auto& m : messages) all += (all.empty() ? "" : "\n") + m;
        return all;
    }
    std::vector<std::string> messages_;
};

// Setup data that fails a check, or holds something the tool refuses to do
// (such as a path that leaves the extraction folder). Names the item.
class DamagedData : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that cannot be opened, read or written; names the path.
class IoFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The user interrupted long work; what was half written is removed on the way out.
class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("interrupted") {}
};

}  // namespace qv::tool
