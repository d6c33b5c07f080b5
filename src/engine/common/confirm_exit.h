// The exit question, asked wherever the user may leave the setup: the
// background window, the wizard, the progress window, the next-disk dialog.
#pragma once

namespace qv {

// True when the user answers Yes to leaving the setup.
bool ConfirmExitSetup();

}  // namespace qv
