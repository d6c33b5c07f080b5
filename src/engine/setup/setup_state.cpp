#include "engine/setup/setup_state.h"

namespace qv {

TSetupHeaderRec SetupInfo;
std::string LicenseText;
std::string InfoBeforeText;
std::string InfoAfterText;

std::vector<TDirRec> DirRecords;
std::vector<TFileRec> FileRecords;
std::vector<TFileLocationRec> FileLocationRecords;
std::vector<TIconRec> IconRecords;
std::vector<TIniRec> IniRecords;
std::vector<TRegistryRec> RegistryRecords;
std::vector<TUninstallDeleteRec> UninstallDeleteRecords;
std::vector<TRunRec> RunRecords;

std::vector<std::string> FilesToDeleteAtEnd;
std::vector<std::string> DirsToRemoveAtEnd;

bool SlMode = false;
std::string SlDataFileName;
std::int32_t SlDataOffset = 0;
std::int32_t SlFileDataOffset = 0;
std::string SetupSourceDir;
std::string CmdLineDir;
std::string CmdLineGroup;

std::string WinFolder;
std::string SysFolder;
std::string SystemDrive;
std::string ProgFilesFolder;
std::string CommonFilesFolder;
std::array<std::string, 8> ShellFolderPaths;
std::string PrivateTempFolder;

std::string ChosenAppDir;
std::string ChosenGroup;
bool ChosenNoIcons = false;

std::int64_t TotalFileSize = 0;
bool UserIsAdmin = false;
bool HasIconsToCreate = false;
bool RestartNeeded = false;
bool RestartChosen = false;
std::string ReadmeFileName;

TMainForm* MainForm = nullptr;

void ResetSetupState() {
    SetupInfo = {};
    LicenseText.clear();
    InfoBeforeText.clear();
    InfoAfterText.clear();
    DirRecords.clear();
    FileRecords.clear();
    FileLocationRecords.clear();
    IconRecords.clear();
    IniRecords.clear();
    RegistryRecords.clear();
    UninstallDeleteRecords.clear();
    RunRecords.clear();
    FilesToDeleteAtEnd.clear();
    DirsToRemoveAtEnd.clear();
    SlMode = false;
    SlDataFileName.clear();
    SlDataOffset = 0;
    SlFileDataOffset = 0;
    SetupSourceDir.clear();
    CmdLineDir.clear();
    CmdLineGroup.clear();
    WinFolder.clear();
    SysFolder.clear();
    SystemDrive.clear();
    ProgFilesFolder.clear();
    CommonFilesFolder.clear();
    ShellFolderPaths = {};
    PrivateTempFolder.clear();
    ChosenAppDir.clear();
    ChosenGroup.clear();
    ChosenNoIcons = false;
    TotalFileSize = 0;
    UserIsAdmin = false;
    HasIconsToCreate = false;
    RestartNeeded = false;
    RestartChosen = false;
    ReadmeFileName.clear();
    MainForm = nullptr;
}

}  // namespace qv
