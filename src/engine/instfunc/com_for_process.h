// COM for the process, from start-up to the end of the run: the shell link
// object and the shell's folder browser need it on the one thread there is.
#pragma once

#include "engine/common/win_handles.h"

namespace qv {

// Starts COM on this thread for as long as the result is kept. Raises
// Exception("初始化失败。") when it does not start (for one, when the thread
// already runs COM in another threading model).
ComInitialization InitializeComForProcess();

}  // namespace qv
