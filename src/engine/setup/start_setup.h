// Start-up: the command line, the setup data, the Windows version, the
// folders and the private temporary folder. Runs once, before any window
// exists; a failure ends the program.
#pragma once

#include <string>
#include <vector>

#include "core/setupdata/records.h"
#include "core/setupdata/setup_data.h"

namespace qv {

// All of start-up over this process's command line.
void StartSetup();
// All of start-up over `params`: element 0 is the program's own path, the
// others are the parameters. Raises EAbort after showing a failure that it
// recognises; any other exception is for ShowTopLevelError. The program's
// own file and the /SL file are held open, without write or delete
// sharing, until the state is reset; a program that carries its own
// installation refuses /SL.
void StartSetup(const std::vector<std::string>& params);

// The steps, in their order.
// Sets SlMode, SlDataFileName, SlDataOffset, SlFileDataOffset,
// SetupSourceDir, CmdLineDir and CmdLineGroup. Raises EConvertError for /SL
// offsets that are not numbers.
void ReadCommandLine(const std::vector<std::string>& params);
// The file that holds the setup data; FailStart when SETUP.0 is missing.
std::string FindSetupDataFile();
// Reads the setup data from `path` at SlDataOffset into the setup state and
// checks the Windows version against its header.
void LoadSetupDataFile(const std::string& path);
// FailStart when an installation of `data` (uninstallable) could record
// more entries than the uninstall log can count.
void CheckUninstallLogBound(const SetupData& data);
// FailStart when the header does not allow this Windows version.
void CheckWindowsVersion(const TSetupHeaderRec& header);

}  // namespace qv
