// How the install sequence ended.
#pragma once

namespace qv {

struct TInstallResult {
    enum TEnd {
        Completed,         // every step ran; the changes are final
        Cancelled,         // ended by an abort (the exit question, Abort, the next-disk dialog); rolled back
        FailedRolledBack,  // a step failed, the error has been shown, everything was rolled back
    };
    // Not explicit: an end alone is a whole result.
    TInstallResult(TEnd end = Completed, bool unattendedTableAborted = false)
        : End(end), UnattendedTableAborted(unattendedTableAborted) {}

    TEnd End;
    // Cancelled by the answer of /SUPPRESSMSGBOXES to a question, not by a
    // person: nobody chose to stop, so the run has failed.
    bool UnattendedTableAborted;

    friend bool operator==(const TInstallResult& result, TEnd end) { return result.End == end; }
    friend bool operator!=(const TInstallResult& result, TEnd end) { return result.End != end; }
};

}  // namespace qv
