// Whether a file already at the destination stays or is replaced: the copy
// mode, the versions, the time stamps, the read-only attribute and the
// user's answers decide, the first rule that applies winning.
#pragma once

#include <cstdint>
#include <string>

#include "core/setupdata/records.h"

namespace qv {

enum class TExistingFileDecision {
    Keep,
    Replace,
    // The read-only attribute was removed at the user's request: the
    // attempt starts over, questions and all.
    StartOver,
};

// Compares two file versions (most significant word first), each word as
// an unsigned number: below 0 when a is older, 0 when equal, above 0 when
// a is newer.
int CompareFileVersions(std::uint32_t aMS, std::uint32_t aLS, std::uint32_t bMS, std::uint32_t bLS);

// Decides for `file` whose destination `destFile` exists, asking the user
// where the rules say so. Abort in the read-only question raises EAbort.
// `reason` gets the rule that decided, in words for the installation log:
// "existing file is newer (version 1.2.0.0 > 1.0.0.0), and the copy mode
// keeps newer files", "only-if-missing and the file exists", ...
TExistingFileDecision DecideOnExistingFile(const TFileRec& file, const std::string& destFile, std::string& reason);

}  // namespace qv
