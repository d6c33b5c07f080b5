// The end of the run, after the background window has closed.
#pragma once

namespace qv {

// Deletes FilesToDeleteAtEnd (one still in use at the next restart),
// removes DirsToRemoveAtEnd (empty folders
// only) and the private temporary folder with everything in it; failures
// are passed over, since the run has ended and nothing is left to undo,
// except that what is left of the temporary folder goes at the next
// restart.
// Then restarts Windows when the user chose it. True when the restart was
// started.
bool EndSetup();

}  // namespace qv
