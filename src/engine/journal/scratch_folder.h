// The one kind of folder a rollback deletes with what it holds: the
// engine's own scratch folders, a run's private temporary folder
// ("qv-XXXXX.tmp") and a journal's run folder. A journal naming any other
// folder so would have the whole of it deleted with administrator rights.
#pragma once

#include <string>

#include "engine/undo/undo_guards.h"

namespace qv {

// Deletes `folder` and everything in it when it is one of those: its name
// is the private temporary folder's, or it is `runFolder`; it passes the
// undo layer's rules; no folder on the way to it is a link, and it is no
// link itself (held open while it is emptied, so that it cannot become
// one). Links inside are removed as links. A folder that is not there is
// no failure. Returns the refusal, or the failure, in the user's words.
TRefusal DeleteScratchFolder(const std::string& folder, const std::string& runFolder);

}  // namespace qv
