#include "engine/setup/setup_dir_constants.h"

#include "engine/setup/setup_state.h"

namespace qv {

DirConstantValues CurrentDirConstantValues() {
    DirConstantValues v;
    v.Src = SetupSourceDir;
    v.Tmp = PrivateTempFolder;
    v.App = ChosenAppDir;
    v.Win = WinFolder;
    v.Sys = SysFolder;
    v.Sd = SystemDrive;
    v.Pf = ProgFilesFolder;
    v.Cf = CommonFilesFolder;
    v.Group = ChosenGroup;
    v.ShellFolders = ShellFolderPaths;
    return v;
}

std::string ExpandDirConstants(const std::string& s) { return ExpandDirConstants(s, CurrentDirConstantValues()); }

}  // namespace qv
