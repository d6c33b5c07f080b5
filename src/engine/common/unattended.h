// Whether the run answers its questions itself (/SUPPRESSMSGBOXES): the
// dialogs that no table can answer, such as the next-disk dialog, fail
// instead of waiting for a person who is not there.
#pragma once

#include <string>

namespace qv {

void SetMessagesSuppressed(bool suppressed);
bool MessagesSuppressed();

// The answer that the unattended table has just given and the rule that
// gave it ("keep the newer existing file"): a decision in the log names
// who made it, and an Abort ends the run as a failure.
void NoteUnattendedAnswer(int button, const std::string& rule);
// Empty before the table's first answer.
const std::string& LastUnattendedRule();
// The table answered Abort: the installation ended by a failure, which
// its log and exit code must say (1603), not by a person's cancel.
bool UnattendedTableAborted();

}  // namespace qv
