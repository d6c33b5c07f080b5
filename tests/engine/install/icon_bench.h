// What the icons step tests stand on: a run whose {group} lies in a scratch
// programs folder, an application and a Windows folder holding the programs
// the icons start, the undo log and a progress sink, and the shell link
// read back through the shell's own link object.
#pragma once

#include <string>

#include "core/setupdata/setup_data.h"
#include "engine/common/win_handles.h"
#include "engine/install/install_context.h"
#include "install_bench.h"
#include "testkit/links.h"
#include "testkit/scratch.h"

namespace qv::test {

struct IconBench {
    IconBench();

    // A record for the setup data.
    void AddIcon(const std::string& iconPath, const std::string& filename, const std::string& parameters = "",
                 const std::string& workingFolder = "", const std::string& iconFile = "", int iconIndex = 0);
    // Uninstallable, the uninstall log's names reserved as number 004.
    void MakeUninstallable(bool iconAlways = false);

    std::string GroupFolder() const;
    std::string Placeholder() const { return app.file("UNINST0.004"); }
    std::string UninstallLog() const { return app.file("UNINST1.004"); }

    ComInitialization com;
    ScratchFolder programs{"qv icons 程序"};
    ScratchFolder app{"qv icons 应用"};
    ScratchFolder win{"qv icons win"};
    SetupData data;
    std::vector<std::string> filesToDeleteAtEnd, dirsToRemoveAtEnd;
    bool restartNeeded = false;
    TInstallRun run;
    TUndoChanges undo;
    RecordingProgress progress;
    TInstallContext context;
};


}  // namespace qv::test
