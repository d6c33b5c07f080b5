#include "engine/setup/setup_folders.h"

#include <windows.h>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "engine/common/folders.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/platform.h"
#include "engine/common/private_folder.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/setup/setup_state.h"
#include "engine/common/unique_name.h"

namespace qv {

std::string CommonOrUserFolder(int commonCsidl, int userCsidl) {
    std::string folder;
    if (SetupState.UserIsAdmin) folder = ShellFolderPath(commonCsidl);
    if (folder.empty()) folder = ShellFolderPath(userCsidl);
    return folder;
}

namespace {
// CREATE_NEW rather than truncating: a file that another program created
// under the same name in the meantime must not be emptied and deleted.
bool CanCreateFileIn(const std::string& folder) {
    try {
        const std::wstring probe = Widen(MakeUniqueName(folder, ".tmp"));
        UniqueHFile file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        file.reset();
        DeleteFileW(probe.c_str());
        return true;
    } catch (const Exception&) {  // no free name
        return false;
    }
}
}  // namespace

std::string WritableSystemFolder(const std::string& win, const std::string& sys) {
    if (sys.compare(0, win.size(), win) == 0) return sys;
    return CanCreateFileIn(sys) ? sys : win;
}

void FixFolders() {
    SetupState.WinFolder = WindowsFolder();
    SetupState.SysFolder = WritableSystemFolder(SetupState.WinFolder, OwnSystemFolder());

    SetupState.SystemDrive = IsWinNT() ? ReadEnvVar("SystemDrive") : std::string();
    if (SetupState.SystemDrive.empty()) SetupState.SystemDrive = ExtractFileDrive(SetupState.WinFolder);
    if (SetupState.SystemDrive.empty()) SetupState.SystemDrive = "C:";

    SetupState.ProgFilesFolder = ProgramFilesFromRegistry();
    if (SetupState.ProgFilesFolder.empty()) SetupState.ProgFilesFolder = SetupState.SystemDrive + "\\Program Files";
    SetupState.CommonFilesFolder = CommonFilesFromRegistry();
    if (SetupState.CommonFilesFolder.empty()) SetupState.CommonFilesFolder = AppendBackslash(SetupState.ProgFilesFolder) + "Common Files";

    SetupState.ShellFolderPaths = {};
    if (GetWindowsVersion().Major() >= 4) {
        SetupState.ShellFolderPaths[0] = ShellFolderPath(csidl::DesktopDirectory);
        SetupState.ShellFolderPaths[1] = ShellFolderPath(csidl::StartMenu);
        SetupState.ShellFolderPaths[2] = ShellFolderPath(csidl::Programs);
        SetupState.ShellFolderPaths[3] = ShellFolderPath(csidl::Startup);
        SetupState.ShellFolderPaths[4] = CommonOrUserFolder(csidl::CommonDesktopDirectory, csidl::DesktopDirectory);
        SetupState.ShellFolderPaths[5] = CommonOrUserFolder(csidl::CommonStartMenu, csidl::StartMenu);
        SetupState.ShellFolderPaths[6] = CommonOrUserFolder(csidl::CommonPrograms, csidl::Programs);
        SetupState.ShellFolderPaths[7] = CommonOrUserFolder(csidl::CommonStartup, csidl::Startup);
        for (std::string& folder : SetupState.ShellFolderPaths) folder = StripBackslashKeepRoot(folder);
    }
}

void CreatePrivateTempFolder() {
    const std::string folder = MakeUniqueName(TempFolder(), ".tmp");
    const std::wstring wideFolder = Widen(folder);
    // With administrator rights the backups and the programs run from here
    // must be out of reach of other users and of the same user's programs
    // without those rights, whatever the temporary folder around it allows.
    const bool created = SetupState.UserIsAdmin && IsWinNT()
                             ? CreatePrivateFolder(wideFolder, TFolderAccess::AdministratorsOnly)
                             : CreateDirectoryW(wideFolder.c_str(), nullptr) != FALSE;
    if (!created) {
        const DWORD error = GetLastError();
        LogLine("cannot create the temporary folder " + Quoted(folder) + ": " + WindowsErrorText(error));
        throw Exception(FormatText("设置程序不能创建文件夹 \"%s\"", {folder}));
    }
    SetupState.PrivateTempFolder = folder;
}

}  // namespace qv
