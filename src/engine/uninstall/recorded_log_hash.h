// Where the uninstaller finds what its installation recorded about the
// log: the uninstall keys whose command line names the log, below
// HKEY_LOCAL_MACHINE, which only administrators may write. The log itself
// is not asked which key is its own: a changed log could name another.
#pragma once

#include <string>
#include <vector>

namespace qv {

struct TRecordedLogHash {
    std::string KeyPath;  // below HKEY_LOCAL_MACHINE; " (32-bit view)" follows a key of that view
    std::string Hash;     // as the value holds it
    // The file name of the program its UninstallString starts: the
    // uninstaller of its installation's machine type.
    std::string Uninstaller;
};

// Every uninstall key, of either registry view, whose UninstallString starts the uninstaller on
// `logFile` (a full path, compared as Windows resolves it) and that holds
// the log's SHA-256. Empty for an installation without an uninstall key.
std::vector<TRecordedLogHash> RecordedLogHashes(const std::string& logFile);

}  // namespace qv
