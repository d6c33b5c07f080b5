// Setup.exe as a single-file program (qvsetup build --exe): started without
// /SL, it looks at its own file, and when that carries the installation it
// runs as if started with /SL <its own path> <setup data offset> <file data
// offset>. The whole payload is checked first, before any window, file or
// folder exists; the check needs nothing but kernel32 and the code linked
// into the program.
#pragma once

#include <memory>
#include <string>

#include "engine/common/held_file.h"

namespace qv {

// The program's own message for a cut or damaged download.
extern const char kDamagedProgramText[];

// Looks at `ownFile` (the program's own file, held since the start) and,
// when it carries a payload that passes its checks, sets SlMode,
// SlDataFileName, SlDataOffset and SlFileDataOffset, and SlFile to
// `ownFile`, through which the payload is read from then on
// (SetupSourceDir stays the program's folder). False for a program without
// payload, or one whose file cannot be read. A cut or damaged payload shows
// kDamagedProgramText (nothing with /SUPPRESSMSGBOXES) and raises EAbort.
bool TakeOwnPayload(const std::shared_ptr<const THeldFile>& ownFile);

// The program's own file carries an installation, whole or not (false
// when it cannot be read, as for TakeOwnPayload): such a program installs
// nothing but its own, as the publisher signed it, and refuses /SL with
// another file's data.
bool CarriesPayload(const THeldFile& ownFile);

// For the log, which opens after the check: what was checked and how long
// it took; empty when the program carries no payload.
std::string OwnPayloadCheckText();

}  // namespace qv
