#include "engine/install/install_form.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "core/errors.h"
#include "engine/common/app_forms.h"
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

constexpr int kClientWidth = 313;
constexpr int kClientHeight = 113;

}  // namespace

std::int64_t InstallGaugeMaximum(const SetupData& data) {
    std::int64_t sum = 0;
    for (const TFileRec& file : data.FileRecords) sum += std::max<std::int32_t>(file.CompressedSize, 0);
    sum += 1000 * static_cast<std::int64_t>(data.IconRecords.size());
    if (!data.IniRecords.empty()) sum += 1000;
    if (!data.RegistryRecords.empty()) sum += 1000;
    return sum;
}

TInstallForm::TInstallForm(TInstallRun& run) : run_(run) {
    TFormParams p;
    p.Caption = "设置";
    p.ClientWidth = kClientWidth;
    p.ClientHeight = kClientHeight;
    p.FontSpec = {"宋体", -12, false, false};
    CreateForm(p);
    // The outer size is known only now.
    CentreOnOwner();

    StatusLabel.Create(*this, {8, 8, 297, 16}, "");
    FilenameLabel.Create(*this, {8, 24, 297, 16});
    ProgressGauge.Create(*this, {8, 50, 297, 21});
    ProgressGauge.SetFont({"MS Sans Serif", -11, true, false});
    CancelButton.Create(*this, {120, 81, 73, 23}, "取消");
    CancelButton.OnClick = [this] { Close(); };
    SetCancelButton(&CancelButton);

    // The gauge is 32 bits wide; a sum past that is shown in larger steps,
    // so that the percentage stays true.
    maximum_ = InstallGaugeMaximum(run.Data);
    constexpr std::int64_t kGaugeRange = std::numeric_limits<std::int32_t>::max();
    unitsPerStep_ = maximum_ / kGaugeRange + 1;
    ProgressGauge.SetMinValue(0);
    ProgressGauge.SetMaxValue(static_cast<std::int32_t>(maximum_ / unitsPerStep_));
    ProgressGauge.SetProgress(0);

    UndoLog.AppName = run.Data.SetupInfo.AppName;
    UndoLog.AdminInstall = run.UserIsAdmin;
}

void TInstallForm::ShowStepText(const std::string& text) {
    StatusLabel.SetText(text);
    StatusLabel.Repaint();
}

void TInstallForm::ShowFilename(const std::string& path) {
    FilenameLabel.SetText(path);
    FilenameLabel.Repaint();
}

void TInstallForm::SetPosition(std::int64_t position) {
    position_ = std::clamp<std::int64_t>(position, 0, maximum_);
    ProgressGauge.SetProgress(static_cast<std::int32_t>(position_ / unitsPerStep_));
    // Only the gauge, and only when it looks different: its bar is a few
    // hundred pixels wide and its text a whole percentage, so a thousandth
    // of the way is finer than anything it can show.
    const std::int64_t drawn = maximum_ > 0 ? position_ * 1000 / maximum_ : 0;
    if (drawn == drawnPermille_) return;
    drawnPermille_ = drawn;
    ProgressGauge.Repaint();
}

void TInstallForm::PumpMessagesCheckCancel() {
    if (FaultStrikesAtPump()) {
        // A test's plan: as if the user had just confirmed Cancel.
        LogLine("cancel confirmed at pump " + std::to_string(PumpsCounted()) + ", as the test planned");
        CancelRequested = true;
    }
    if (CancelRequested) throw EAbort();
    if (!ProcessMessages()) {
        // The application is closing (WM_QUIT, posted again for the outer
        // loop): the installation cannot go on.
        CancelRequested = true;
    }
    if (CancelRequested) throw EAbort();
}

bool TInstallForm::CloseQuery() {
    if (Finished) return true;
    // Never closes while running: Yes makes the running step stop at its
    // next pump, and the sequence rolls back.
    if (!CancelRequested && ConfirmExitSetup()) CancelRequested = true;
    return false;
}

void TInstallForm::CreateFolders(TInstallContext& context) {
    CreateFolderPath(context, run_.Folders.App, 0);
    for (const TDirRec& dir : run_.Data.DirRecords) {
        std::uint8_t flags = 0;
        if (dir.Flags & dfNoUninstall) flags |= cfNoUninstall;
        if (dir.Flags & dfRemoveAtEnd) flags |= cfRemoveAtEnd;
        CreateFolderPath(context, run_.Expand(dir.DirName), flags);
    }
}

void TInstallForm::RunSteps(TInstallContext& context) {
    const SetupData& data = run_.Data;
    const bool uninstallable = data.SetupInfo.Has(optUninstallable);
    LogLine("step: creating the folders");
    ShowStepText("正在创建目录 ...");
    CreateFolders(context);
    if (uninstallable) {
        LogLine("step: reserving the uninstall log's name and writing the uninstall key");
        ReserveUninstallLogName(context);
        context.UninstallKeyCreated = WriteUninstallKey(context);
    }

    LogLine("step: installing the files (" + std::to_string(data.FileRecords.size()) + ")");
    ShowStepText("复制文件 ...");
    InstallFiles(context, NextDiskDialog(ConfirmExitSetup));
    ShowFilename("");
    PumpMessagesCheckCancel();

    if (ProgramIconsStepNeeded(context)) {
        LogLine("step: making the icons (" + std::to_string(data.IconRecords.size()) + ") in the group " +
                Quoted(run_.Folders.Group));
        ShowStepText("正在创建程序快捷图标 ...");
        MakeProgramIcons(context);
    } else {
        LogLine(run_.ChosenNoIcons ? "step: no icons, as the user chose" : "step: no icons to make");
    }
    PumpMessagesCheckCancel();

    if (!data.IniRecords.empty()) {
        LogLine("step: writing the INI entries (" + std::to_string(data.IniRecords.size()) + ")");
        ShowStepText("正在创建 INI 信息 ...");
        WriteIniEntries(context);
    }
    PumpMessagesCheckCancel();

    if (!data.RegistryRecords.empty()) {
        LogLine("step: writing the registry entries (" + std::to_string(data.RegistryRecords.size()) + ")");
        ShowStepText("正在创建注册表信息 ...");
        WriteRegistryEntries(context);
    }
    PumpMessagesCheckCancel();

    if (!data.UninstallDeleteRecords.empty())
        LogLine("step: recording the files for the uninstaller to delete (" +
                std::to_string(data.UninstallDeleteRecords.size()) + ")");
    RecordUninstallDeleteEntries(context);
    PumpMessagesCheckCancel();

    if (uninstallable) {
        LogLine("step: saving the uninstall log");
        ShowStepText("保存反安装信息 ...");
        SaveUninstallLog(context);
    }
    // The changes are final.
    LogLine("installation completed; its recorded changes (" + std::to_string(UndoLog.Entries().size()) +
            ") are final");
    UndoLog.Clear();
}

void TInstallForm::RollBack() {
    TRemoveAtEndFoldersSweep sweep(run_.DirsToRemoveAtEnd);
    sweep.Sweep();
    if (journal_) {
        // The journal holds every change with what undoes it: the same
        // undoing as a recovery's after a run that died.
        UndoLog.OnRecorded = nullptr;
        try {
            LogLine("rolling back from the journal");
            journal_->RollBack();
            UndoLog.Clear();
            sweep.Sweep();
            return;
        } catch (const std::exception&) {
            LogLine("the journal cannot be read back (" + CurrentExceptionText() + "); rolling back from the undo log");
        }
    }
    UndoLog.UndoAll(false, &sweep);
}

void TInstallForm::OpenJournal(TInstallContext& context) {
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

void TInstallForm::CloseJournal(bool completed) noexcept {
    UndoLog.OnRecorded = nullptr;
    if (!journal_) return;
    try {
        if (completed)
            journal_->Complete();
        else
            journal_->Discard();
    } catch (const std::exception&) {
        LogLine("the rollback journal could not be closed: " + CurrentExceptionText());
    }
    journal_.reset();
}

TInstallResult TInstallForm::RunInstallSteps() {
    TInstallContext context{run_, UndoLog, *this, {}, false};
    try {
        OpenJournal(context);
        RunSteps(context);
    } catch (const EAbort&) {
        // When the table answers every question nobody can choose Abort:
        // only a confirmed Cancel is a person's. Any other abort is the
        // table's, and the run has failed.
        const bool tableAborted = MessagesSuppressed() && !CancelRequested;
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
    Finished = true;
    Close();
    if (HWND owner = GetWindow(Handle(), GW_OWNER)) PostMessageW(owner, WM_SETUPSTEP, 0, 0);
    return TInstallResult::Completed;
}

}  // namespace qv
