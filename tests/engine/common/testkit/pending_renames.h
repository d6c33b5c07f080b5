// The renames NT keeps for its next start (PendingFileRenameOperations, a
// plain registry value under Wine too), read back by the tests of
// replacing and deleting files at the restart.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

// Puts the list back as it was when the scope ends: nothing restarts here.
class PendingRenames {
public:
    PendingRenames();
    ~PendingRenames();
    PendingRenames(const PendingRenames&) = delete;
    PendingRenames& operator=(const PendingRenames&) = delete;

    // The operations as pairs: the source, then the target as the system
    // keeps it ("!" before a target it may replace; "" deletes the source).
    static std::vector<std::pair<std::wstring, std::wstring>> Read();
    // Whether `source` is to replace `target` at the next start (to be
    // deleted when `target` is empty).
    static bool Holds(const std::string& source, const std::string& target);

private:
    std::optional<std::vector<BYTE>> saved_;
};

// One operation as a local path: the source without the "\??\" that NT
// puts before it; the target empty when the source is deleted, with "!"
// first when it replaces an existing file.
struct PendingRename {
    std::string Source;
    std::string Target;
};
// The operations, in the order they are carried out.
std::vector<PendingRename> ListPendingRenames();
// Takes out the operations whose source lies in `folder` (or is it).
void ForgetPendingRenamesUnder(const std::string& folder);

// The name the system keeps a local path under: "\??\C:\...".
std::wstring SystemName(const std::string& path);

}  // namespace qv::test
