// An installation log opened in a scratch folder for one test, read back
// record by record as LogLine wrote them.
#pragma once

#include <string>
#include <vector>

#include "testkit/scratch.h"

namespace qv::test {

class ScopedInstallLog {
public:
    // Opens the log (the test fails when it cannot); closes it at scope end.
    ScopedInstallLog();
    ~ScopedInstallLog();
    ScopedInstallLog(const ScopedInstallLog&) = delete;
    ScopedInstallLog& operator=(const ScopedInstallLog&) = delete;

    const std::string& path() const { return path_; }
    // The file's bytes as they are now, byte order mark included.
    std::string RawText() const;
    // Each record without its time of day, its continuation lines joined
    // again by "\n". A line that is neither a record nor a continuation
    // fails the test.
    std::vector<std::string> Records() const;

private:
    ScratchFolder folder_{"qv install log"};
    std::string path_;
};

// The index of the first record at or after `from` that contains `part`,
// or records.size().
std::size_t FindRecord(const std::vector<std::string>& records, const std::string& part, std::size_t from = 0);

}  // namespace qv::test
