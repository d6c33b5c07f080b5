// Whether the run answers its questions itself (/SUPPRESSMSGBOXES): the
// dialogs that no table can answer, such as the next-disk dialog, fail
// instead of waiting for a person who is not there.
#pragma once

namespace qv {

void SetMessagesSuppressed(bool suppressed);
bool MessagesSuppressed();

}  // namespace qv
