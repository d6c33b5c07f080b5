#include "icon_bench.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "engine/common/own_machine.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/com_for_process.h"

namespace qv::test {

IconBench::IconBench()
    : com(InitializeComForProcess()),
      run{data, {}, "", "", 0, false, true, false, filesToDeleteAtEnd, dirsToRemoveAtEnd, restartNeeded},
      context{run, undo, progress, "", false} {
    run.Folders.App = app.path();
    run.Folders.Win = win.path();
    run.Folders.Group = "示例 程序";
    for (std::string& folder : run.Folders.ShellFolders) folder = programs.path();
    data.SetupInfo.AppName = "示例";
    WriteFileBytes(app.file("示例 app.exe"), {'M', 'Z'});
    WriteFileBytes(app.file("tool.exe"), {'M', 'Z'});
    WriteFileBytes(win.file(OwnUninstallerFileName()), {'M', 'Z'});
}

void IconBench::AddIcon(const std::string& iconPath, const std::string& filename, const std::string& parameters,
                        const std::string& workingFolder, const std::string& iconFile, int iconIndex) {
    TIconRec icon;
    icon.IconPath = iconPath;
    icon.Filename = filename;
    icon.Parameters = parameters;
    icon.WorkingFolder = workingFolder;
    icon.IconFile = iconFile;
    icon.IconIndex = iconIndex;
    data.IconRecords.push_back(icon);
}

void IconBench::MakeUninstallable(bool iconAlways) {
    data.SetupInfo.Options |= optUninstallable;
    if (iconAlways) data.SetupInfo.Options |= optUninstallIconAlways;
    context.UninstallLogPattern = app.file("UNINST%s.004");
}

std::string IconBench::GroupFolder() const { return programs.file(run.Folders.Group); }


}  // namespace qv::test
