// Whether a file or folder can have been written by nobody but the machine's
// administrators: an elevated run acts on a rollback journal only then, as
// the journal's facts would otherwise be anybody's orders to a process with
// administrator rights.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/common/private_folder.h"

namespace qv {

// The accounts whose writing an elevated run takes as the machine's own:
// SYSTEM, the Administrators group, and every account that may write the
// Windows folder itself (TrustedInstaller on Windows; on a system that
// keeps no access lists of its own, the one account it shows for every
// file), since whoever writes that folder owns the machine anyway.
std::vector<SidBytes> MachineWriters();

// "" when `descriptor`'s owner is one of `trusted` and no entry of its
// access list lets anybody else write, delete, or change the owner or the
// list; else what lets somebody else in, for the log ("owner S-1-5-...",
// "no access list", "an entry for S-1-1-0 allows writing").
std::string OtherWriterOf(PSECURITY_DESCRIPTOR descriptor, const std::vector<SidBytes>& trusted);

// The same for the file or folder `path` itself (a link is not followed).
std::string OtherWriterOf(const std::string& path, const std::vector<SidBytes>& trusted);

}  // namespace qv
