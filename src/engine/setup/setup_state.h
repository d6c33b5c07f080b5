// The setup state: run-wide variables, filled by the start-up and read
// directly by every other part of the engine. Strings are UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/setupdata/records.h"

namespace qv {

class TMainForm;

extern TSetupHeaderRec SetupInfo;
// The three texts, each empty when the header's size is 0.
extern std::string LicenseText;
extern std::string InfoBeforeText;
extern std::string InfoAfterText;

extern std::vector<TDirRec> DirRecords;
extern std::vector<TFileRec> FileRecords;
extern std::vector<TFileLocationRec> FileLocationRecords;  // item i belongs to FileRecords[i]
extern std::vector<TIconRec> IconRecords;
extern std::vector<TIniRec> IniRecords;
extern std::vector<TRegistryRec> RegistryRecords;
extern std::vector<TUninstallDeleteRec> UninstallDeleteRecords;
extern std::vector<TRunRec> RunRecords;

extern std::vector<std::string> FilesToDeleteAtEnd;
extern std::vector<std::string> DirsToRemoveAtEnd;

// Command line.
extern bool SlMode;
extern std::string SlDataFileName;
extern std::int32_t SlDataOffset;
extern std::int32_t SlFileDataOffset;
extern std::string SetupSourceDir;
extern std::string CmdLineDir;
extern std::string CmdLineGroup;

// Folders fixed at start-up.
extern std::string WinFolder;
extern std::string SysFolder;
extern std::string SystemDrive;
extern std::string ProgFilesFolder;
extern std::string CommonFilesFolder;
// User desktop, start menu, programs, startup, then the four common ones.
extern std::array<std::string, 8> ShellFolderPaths;
extern std::string PrivateTempFolder;

// The wizard's results.
extern std::string ChosenAppDir;
extern std::string ChosenGroup;
extern bool ChosenNoIcons;

// Sum of the files' sizes, in 64 bits: a 32-bit sum wraps past 2 GiB.
extern std::int64_t TotalFileSize;
extern bool UserIsAdmin;
extern bool HasIconsToCreate;
extern bool RestartNeeded;
extern bool RestartChosen;
extern std::string ReadmeFileName;

extern TMainForm* MainForm;

// Empties every variable again (tests run several start-ups in one process).
void ResetSetupState();

}  // namespace qv
