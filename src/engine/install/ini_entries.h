// The install step that writes the setup's INI entries.
#pragma once

#include "engine/install/install_context.h"

namespace qv {

// Every TIniRec in record order, its texts with their constants expanded,
// each entry offered for retry, skip or cancel when it cannot be written;
// the undo entry its flags ask for is recorded even for a skipped entry.
// The window pumps after each entry; the gauge advances by 1000 at the end.
// A failing expansion ends the installation (its exception passes through);
// Abort and a confirmed cancel raise EAbort.
void WriteIniEntries(TInstallContext& context);

}  // namespace qv
