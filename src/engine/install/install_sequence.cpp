#include "engine/install/install_sequence.h"

#include <windows.h>

#include "core/errors.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/confirm_exit.h"
#include "engine/common/fault_injection.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/unattended.h"
#include "engine/controls/app_errors.h"
#include "engine/controls/message_loop.h"
#include "engine/install/create_folder_path.h"
#include "engine/install/file_install.h"
#include "engine/install/ini_entries.h"
#include "engine/install/program_icons.h"
#include "engine/install/registry_entries.h"
#include "engine/install/remove_at_end_folders.h"
#include "engine/install/uninstall_key.h"
#include "engine/install/uninstall_log_file.h"
#include "engine/setupdata/new_disk_form.h"

namespace qv {

namespace {

// How often the file loop looks at the message queue. Each look costs a
// call into the window system (under Wine a round trip to its server),
// and the loop pumps after every piece of every file: looked at every
// pump, the queue took a tenth of an unattended installation. A window
// repainted and a click answered within this time show no delay.
constexpr DWORD kMessageLookIntervalMs = 15;

bool MessageLookDue() {
    static bool looked = false;
    static DWORD lastLook = 0;
    const DWORD now = GetTickCount();
    if (looked && now - lastLook < kMessageLookIntervalMs) return false;
    looked = true;
    lastLook = now;
    return true;
}

}  // namespace

void PumpInstallMessages(bool& cancelRequested) {
    if (FaultStrikesAtPump()) {
        // A test's plan: as if the user had just confirmed Cancel.
        LogLine("cancel confirmed at pump " + std::to_string(PumpsCounted()) + ", as the test planned");
        cancelRequested = true;
    }
    if (cancelRequested) throw EAbort();
    if (MessageLookDue() && !ProcessMessages()) {
        // The application is closing (WM_QUIT, posted again for the outer
        // loop): the installation cannot go on.
        cancelRequested = true;
    }
    if (cancelRequested) throw EAbort();
}

void TInstallWithoutWindow::PumpMessagesCheckCancel() { PumpInstallMessages(CancelRequested); }

TInstallSequence::TInstallSequence(TInstallRun& run, IInstallProgress& progress, const bool& cancelRequested)
    : run_(run), progress_(progress), cancelRequested_(cancelRequested) {
    UndoLog.AppName = run.Data.SetupInfo.AppName;
    UndoLog.AdminInstall = run.UserIsAdmin;
}

void TInstallSequence::CreateFolders(TInstallContext& context) {
    CreateFolderPath(context, run_.Folders.App, 0);
    for (const TDirRec& dir : run_.Data.DirRecords) {
        std::uint8_t flags = 0;
        if (dir.Flags & dfNoUninstall) flags |= cfNoUninstall;
        if (dir.Flags & dfRemoveAtEnd) flags |= cfRemoveAtEnd;
        CreateFolderPath(context, run_.Expand(dir.DirName), flags);
    }
}

void TInstallSequence::RunSteps(TInstallContext& context) {
    const SetupData& data = run_.Data;
    const bool uninstallable = data.SetupInfo.Has(optUninstallable);
    LogLine("step: creating the folders");
    progress_.ShowStepText("正在创建目录 ...");
    CreateFolders(context);
    if (uninstallable) {
        LogLine("step: reserving the uninstall log's name and writing the uninstall key");
        ReserveUninstallLogName(context);
        context.UninstallKeyCreated = WriteUninstallKey(context);
    }

    LogLine("step: installing the files (" + std::to_string(data.FileRecords.size()) + ")");
    progress_.ShowStepText("复制文件 ...");
    InstallFiles(context, NextDiskDialog(ConfirmExitSetup));
    progress_.ShowFilename("");
    progress_.PumpMessagesCheckCancel();

    if (ProgramIconsStepNeeded(context)) {
        LogLine("step: making the icons (" + std::to_string(data.IconRecords.size()) + ") in the group " +
                Quoted(run_.Folders.Group));
        progress_.ShowStepText("正在创建程序快捷图标 ...");
        MakeProgramIcons(context);
    } else {
        LogLine(run_.ChosenNoIcons ? "step: no icons, as the user chose" : "step: no icons to make");
    }
    progress_.PumpMessagesCheckCancel();

    if (!data.IniRecords.empty()) {
        LogLine("step: writing the INI entries (" + std::to_string(data.IniRecords.size()) + ")");
        progress_.ShowStepText("正在创建 INI 信息 ...");
        WriteIniEntries(context);
    }
    progress_.PumpMessagesCheckCancel();

    if (!data.RegistryRecords.empty()) {
        LogLine("step: writing the registry entries (" + std::to_string(data.RegistryRecords.size()) + ")");
        progress_.ShowStepText("正在创建注册表信息 ...");
        WriteRegistryEntries(context);
    }
    progress_.PumpMessagesCheckCancel();

    if (!data.UninstallDeleteRecords.empty())
        LogLine("step: recording the files for the uninstaller to delete (" +
                std::to_string(data.UninstallDeleteRecords.size()) + ")");
    RecordUninstallDeleteEntries(context);
    progress_.PumpMessagesCheckCancel();

    if (uninstallable) {
        LogLine("step: saving the uninstall log");
        progress_.ShowStepText("保存反安装信息 ...");
        SaveUninstallLog(context);
        WriteUninstallLogHash(context);
    }
    // The changes are final.
    LogLine("installation completed; its recorded changes (" + std::to_string(UndoLog.Entries().size()) +
            ") are final");
    UndoLog.Clear();
}

void TInstallSequence::RollBack() {
    TRemoveAtEndFoldersSweep sweep(run_.DirsToRemoveAtEnd);
    sweep.Sweep();
    if (journal_) {
        // The journal holds every change with what undoes it: the same
        // undoing as a recovery's after a run that died. The undo log holds
        // only what the uninstaller removes: undone without what the
        // changes replaced, it would take keys and values that were there
        // before.
        UndoLog.OnRecorded = nullptr;
        UndoLog.Clear();
        try {
            LogLine("rolling back from the journal");
            journal_->RollBack();
            sweep.Sweep();
        } catch (const std::exception&) {
            LogLine("the journal cannot be read back (" + CurrentExceptionText() +
                    "); it stays for the next start of Setup.exe to roll the installation back");
            keepJournal_ = true;
        }
        return;
    }
    UndoLog.UndoAll(false, &sweep);
}

void TInstallSequence::OpenJournal(TInstallContext& context) {
    // Without a backup folder nothing is kept for a rollback: no journal either.
    if (run_.BackupFolder.empty()) return;
    journal_ = std::make_unique<TRunJournal>(run_.Data.SetupInfo.AppNameVersion, run_.Folders.App, run_.UserIsAdmin);
    context.Journal = journal_.get();
    // The run's private temporary folder, made before the journal, goes
    // whole with a recovery: it holds nothing that outlives the run.
    journal_->WriteAhead(journal::FolderCreated{run_.BackupFolder, journal::jfWithContents});
    // The backups of replaced files wait beside the journal, where a
    // recovery finds them.
    run_.BackupFolder = journal_->RunFolder();
    UndoLog.OnRecorded = [this](std::uint32_t change) { journal_->MarkDone(change); };
}

void TInstallSequence::CloseJournal(bool completed) noexcept {
    UndoLog.OnRecorded = nullptr;
    if (!journal_) return;
    try {
        if (completed)
            journal_->Complete();
        else if (!keepJournal_)
            journal_->Discard();
    } catch (const std::exception&) {
        LogLine("the rollback journal could not be closed: " + CurrentExceptionText());
    }
    journal_.reset();
}

TInstallResult TInstallSequence::Run() {
    TInstallContext context{run_, UndoLog, progress_, {}, false};
    try {
        OpenJournal(context);
        RunSteps(context);
    } catch (const EAbort&) {
        // When the table answers every question nobody can choose Abort:
        // only a confirmed Cancel is a person's. Any other abort is the
        // table's, and the run has failed.
        const bool tableAborted = MessagesSuppressed() && !cancelRequested_;
        LogLine(std::string(tableAborted ? "installation failed: the unattended table answered Abort"
                                         : "installation cancelled") +
                "; rolling back its recorded changes (" + std::to_string(UndoLog.Entries().size()) + ")");
        RollBack();
        CloseJournal(false);
        return {TInstallResult::Cancelled, tableAborted};
    } catch (...) {
        LogLine("installation failed: " + CurrentExceptionText());
        // Whatever it was, the changes so far must not stay.
        HandleCurrentException();
        AppMsgBox("安装无法完成.\r\n\r\n请先修改这些错误，然后重新运行设置程序。", "", mbtCriticalError, MB_OK);
        LogLine("rolling back the installation's recorded changes (" + std::to_string(UndoLog.Entries().size()) +
                ")");
        RollBack();
        CloseJournal(false);
        return TInstallResult::FailedRolledBack;
    }
    // The uninstall log is saved and the last step done: nothing is to be
    // rolled back any more.
    CloseJournal(true);
    return TInstallResult::Completed;
}

}  // namespace qv
