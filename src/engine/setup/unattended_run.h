// The options for runs without a person at the screen: the help of the
// command line, the installation log and the answers of /SUPPRESSMSGBOXES.
#pragma once

#include <string>
#include <vector>

#include "engine/common/message_box.h"
#include "engine/common/unattended.h"

namespace qv {

// Setup.exe /? and /HELP: the options and the exit codes in a message box.
void ShowCommandLineHelp();
extern const char kCommandLineHelp[];

// After the command line is read: opens the log of /LOG (a log that cannot
// be written is a warning, never a failure) with the run's first lines,
// and makes /SUPPRESSMSGBOXES answer every question by the table.
void StartUnattendedRun(const std::vector<std::string>& params);

}  // namespace qv
