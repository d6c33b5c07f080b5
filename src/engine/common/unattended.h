// Whether the run answers its questions itself (/SUPPRESSMSGBOXES), and the
// one table of answers that Setup.exe and the uninstaller share. The dialogs
// that no table can answer, such as the next-disk dialog, fail instead of
// waiting for a person who is not there.
#pragma once

#include <string>

#include "engine/common/message_box.h"

namespace qv {

void SetMessagesSuppressed(bool suppressed);
bool MessagesSuppressed();

// The rule by which the table gave its last answer ("keep the newer
// existing file"), so that a decision in the log names who made it; empty
// before the table's first answer.
const std::string& LastUnattendedRule();

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
//   remove the application? (uninstaller)  Yes: the command line asked for it
//   a message with OK only                 OK
//   any other question                     its most cautious answer: No, Cancel or Abort
// The next-disk dialog cannot be answered: with the option it fails the
// installation instead of showing (1603).
int UnattendedAnswer(const MsgBoxQuestion& question);

}  // namespace qv
