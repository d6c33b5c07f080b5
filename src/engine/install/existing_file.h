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

// What was decided, by which row of the rules (tried from the top, the
// first that applies deciding):
//   1 the copy mode keeps every existing file
//   2 the existing version is higher: kept by the copy mode or by the answer
//   3 same version, times not compared: kept
//   4 same version and same time: kept
//   5 same version, the existing time later: as in row 2
//   6 the overwrite question
//   7 the read-only question
//   8 otherwise: replaced
struct TExistingFileVerdict {
    TExistingFileDecision Decision = TExistingFileDecision::Replace;
    int Row = 8;
    // Why, in words for the installation log: "existing file is newer
    // (version 1.2.0.0 > 1.0.0.0), and the copy mode keeps newer files",
    // "only-if-missing and the file exists", ...; who answered a question
    // (the user or the unattended table, with its rule).
    std::string Reason;
};

// Decides for `file` whose destination `destFile` exists, asking the user
// where the rules say so. Abort in the read-only question raises EAbort.
TExistingFileVerdict DecideOnExistingFile(const TFileRec& file, const std::string& destFile);

}  // namespace qv
