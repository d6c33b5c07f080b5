// Installing the files of the setup data: for each file, in the order of
// the records, the decision whether a file already at the destination stays,
// the decompression into a temporary file beside the destination, the
// replacement (now by renaming, or at the next restart when the old file
// is in use), self-registration, the shared-file count and the undo
// entries. Each failure of one file is offered to the user as retry, skip
// or cancel.
#pragma once

#include "engine/install/install_context.h"
#include "engine/setupdata/data_file_locator.h"

namespace qv {

// Installs every file of context.Run.Data. The data files are looked for
// from the run's source folder on; `askForDisk` is asked for a disk that is
// nowhere to be found, and the folder it gives is where the later disks are
// looked for first. The gauge advances by each file's compressed size, as
// its data is read or at once when the file is skipped; a cancel confirmed
// in the window raises EAbort out of the next piece of data.
//
// Raises EAbort when the user cancels (in a question, in the disk prompt,
// or through the progress window); nothing else leaves except what is no
// std::exception. A temporary file never outlives the call, unless its
// rename into place waits for the next restart.
void InstallFiles(TInstallContext& context, const TDiskPrompt& askForDisk);

}  // namespace qv
