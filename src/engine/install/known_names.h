// The names each destination folder held when the file loop first came to
// it. Wine answers a lookup of a name that is not there by reading the
// whole folder, so that n new files in one folder cost n readings of it
// (seconds for a thousand libraries in one folder); one listing per folder
// answers those lookups instead.
#pragma once

#include <set>
#include <string>

namespace qv {

class TKnownNames {
public:
    // False only when `path` is certainly not there: its folder's listing
    // (read now, the first time) lacks the name under both its long and
    // its short form, and nothing has changed the folder since except the
    // loop's own files. A true answer must be checked with the system.
    bool MayExist(const std::string& path);
    // The loop put a file at `path`.
    void Added(const std::string& path);
    // Something else may have written into the folders (a library that
    // registered itself, a retry after an error): ask the system again.
    void Forget() { known_.clear(); }

private:
    // In one letter case, as Windows compares them: "FOLDER\NAME" for each
    // name of a listed folder, and "FOLDER\*" (no name has a "*") for the
    // listing itself.
    std::set<std::wstring> known_;
};

}  // namespace qv
