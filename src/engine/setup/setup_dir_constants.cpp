#include "engine/setup/setup_dir_constants.h"

#include "engine/setup/setup_state.h"

namespace qv {

DirConstantValues CurrentDirConstantValues() {
    DirConstantValues v;
    v.Src = SetupState.SetupSourceDir;
    v.Tmp = SetupState.PrivateTempFolder;
    v.App = SetupState.ChosenAppDir;
    v.Win = SetupState.WinFolder;
    v.Sys = SetupState.SysFolder;
    v.Sd = SetupState.SystemDrive;
    v.Pf = SetupState.ProgFilesFolder;
    v.Cf = SetupState.CommonFilesFolder;
    v.Group = SetupState.ChosenGroup;
    v.ShellFolders = SetupState.ShellFolderPaths;
    return v;
}

std::string ExpandDirConstants(const std::string& s) { return ExpandDirConstants(s, CurrentDirConstantValues()); }

}  // namespace qv
