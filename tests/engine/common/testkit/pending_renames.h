// The operations that NT carries out at its next start
// (PendingFileRenameOperations), for tests of what the engine arranges
// there. Nothing restarts here: a test takes its operations out again.
#pragma once

#include <string>
#include <vector>

namespace qv::test {

struct PendingRename {
    std::string Source;  // without the "\??\" that NT puts before it
    std::string Target;  // empty: the source is deleted; "!" first: it replaces an existing file
};

// In the order they are carried out.
std::vector<PendingRename> PendingRenames();

// Takes out the operations whose source lies in `folder` (or is it).
void ForgetPendingRenamesUnder(const std::string& folder);

}  // namespace qv::test
