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

// CreateProcessW, tried up to three times, 200 ms apart. Wine now and then
// refuses to start a process that starts the next time (seen once in a
// whole suite run, in the Setup.exe window tests). A process that never
// started has done nothing, so trying again hides no fault of the program.
// False: GetLastError says why.
bool StartProcess(const wchar_t* program, std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                  void* environment, const wchar_t* folder, STARTUPINFOW& startup, PROCESS_INFORMATION& info);

}  // namespace qv::test
