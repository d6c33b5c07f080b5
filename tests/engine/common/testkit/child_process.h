// Runs a program as a separate process and reads its full exit code (a
// Linux parent of Wine would see it cut to 8 bits). Every message box the
// program shows is read and answered with OK, so that nothing waits for a
// user.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "testkit/boxes.h"
#include "testkit/start_process.h"

namespace qv::test {

struct ChildRun {
    std::string Program;          // full path
    std::string CommandLine;      // as the program receives it, its name included
    std::string WorkingFolder;    // empty: this process's
    std::map<std::string, std::string> Environment;  // changed variables
    DWORD TimeoutMs = 60000;
};

struct ChildResult {
    bool Started = false;
    bool TimedOut = false;
    DWORD ExitCode = 0;
    std::vector<SeenBox> Boxes;   // in the order shown
    std::string Output;           // what the program wrote to its standard output
};

ChildResult RunChild(const ChildRun& run);

}  // namespace qv::test
