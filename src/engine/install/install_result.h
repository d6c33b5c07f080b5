// How the install sequence ended.
#pragma once

namespace qv {

enum class TInstallResult {
    Completed,         // every step ran; the changes are final
    Cancelled,         // the user cancelled (the exit question, Abort, the next-disk dialog); rolled back
    FailedRolledBack,  // a step failed, the error has been shown, everything was rolled back
};

}  // namespace qv
