// The end of the run, after the background window has closed.
#pragma once

namespace qv {

// Deletes FilesToDeleteAtEnd, removes DirsToRemoveAtEnd (empty folders
// only) and the private temporary folder with everything in it. Failures
// are passed over: the run has ended and nothing is left to undo.
void EndSetup();

}  // namespace qv
