// The options for runs without a person at the screen: the help of the
// command line, the installation log and the answers of /SUPPRESSMSGBOXES.
#pragma once

#include <string>
#include <vector>

#include "engine/common/message_box.h"

namespace qv {

// Setup.exe /? and /HELP: the options and the exit codes in a message box.
void ShowCommandLineHelp();
extern const char kCommandLineHelp[];

// After the command line is read: opens the log of /LOG (a log that cannot
// be written is a warning, never a failure) with the run's first lines,
// and makes /SUPPRESSMSGBOXES answer every question by the table.
void StartUnattendedRun(const std::vector<std::string>& params);

// The answer of /SUPPRESSMSGBOXES to a question, by one rule: keep what is
// on the machine and never loop.
//   a newer file exists, keep it?          Yes: the existing file stays
//   the file exists, overwrite it?         No: the existing file stays
//   the folder exists, install into it?    Yes: go on
//   not enough free space, go on?          No: the installation stops
//   the file is read-only                  Retry (the attribute is cleared) the
//                                          first time for a file, then Abort
//   every other retry question (a file,    Abort: the installation fails and is
//   self-registration, INI, registry)      rolled back (exit code 1603)
//   leave the setup? (after Cancel)        Yes: the user asked to cancel
//   delete a shared file? (uninstaller)    No: the file stays
//   a message with OK only                 OK
//   any other question                     its most cautious answer: No, Cancel or Abort
// The next-disk dialog cannot be answered: with the option it fails the
// installation instead of showing (1603).
int UnattendedAnswer(const MsgBoxQuestion& question);
// Whether it answered Abort: UnattendedTableAborted (engine/common/unattended.h).

}  // namespace qv
