#include "engine/uninstall/uninstaller_run.h"

#include <windows.h>

#include <memory>
#include <optional>

#include "core/errors.h"
#include "core/text/path_strings.h"
#include "core/io/streams.h"
#include "core/uninstall/uninstall_log.h"
#include "core/uninstall/uninstall_log_hash.h"
#include "core/uninstall/uninstaller_command_line.h"
#include "engine/common/own_machine.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/app_title.h"
#include "engine/common/exit_codes.h"
#include "engine/common/folders.h"
#include "engine/common/format_text.h"
#include "engine/common/full_path.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/platform.h"
#include "engine/common/system_error_text.h"
#include "engine/common/unattended.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"
#include "engine/controls/app_errors.h"
#include "engine/instfunc/com_for_process.h"
#include "engine/undo/undo_changes.h"
#include "engine/undo/undo_entry_text.h"
#include "engine/undo/undo_guards.h"
#include "engine/uninstall/recorded_log_hash.h"
#include "engine/uninstall/uninstall_form.h"
#include "engine/uninstall/uninstall_report.h"

namespace qv {

namespace {

const char kCaption[] = "反安装";

unsigned Finish(unsigned exitCode) {
    LogLine("Exit code " + std::to_string(exitCode));
    CloseInstallLog();
    return exitCode;
}

void ShowError(const std::string& text) { AppMsgBox(text, kCaption, mbtError, MB_OK); }

void StartLog(const UninstallerOptions& options) {
    if (!options.LogRequested) return;
    std::string path = options.LogFileName;
    const std::string mode =
        std::string(options.VerySilent ? "very silent" : options.Silent ? "silent" : "interactive") +
        (options.SuppressMsgBoxes ? ", questions answered by the unattended table" : "");
    if (!StartRunLog(path, "QV Uninstall Log", "QV Setup 1.0 uninstall log", mode)) {
        // The uninstall goes on without its log; a person is told.
        if (!options.SuppressMsgBoxes && !options.VerySilent)
            ShowError(FormatText("不能建立反安装日志文件：\r\n%s\r\n\r\n反安装将继续进行，但不记录日志。", {path}));
    }
}

// An installation of the other machine type is its own uninstaller's: its
// files and keys lie in the other view of 64-bit Windows, where this one
// would look in vain or act on the wrong side. Its key tells which it is.
bool OwnInstallation(const TRecordedLogHash& recorded) {
    const TMachineType other = kOwnMachineType == TMachineType::X64 ? TMachineType::X86 : TMachineType::X64;
    if (!SameTextAscii(recorded.Uninstaller, UninstallerFileName(other))) return true;
    LogLine("the installation is refused: HKEY_LOCAL_MACHINE\\" + recorded.KeyPath + " starts " +
            recorded.Uninstaller + ", the uninstaller of " + MachineTypeName(other) + " installations");
    ShowError(FormatText("这是一个 %s程序的安装，应由它自己的反安装程序 %s 反安装（在系统的程序列表中选择它即可）。"
                         "为了安全，没有删除任何东西。",
                         {MachineTypeWords(other), UninstallerFileName(other)}));
    return false;
}

// The log is the one its installation saved, as far as its uninstall key
// tells: a log changed since (by one byte or by a path) is refused, and so
// is, with administrator rights, one that no key vouches for.
// `checked` tells whether a key vouched for it.
bool LogIsAsRecorded(const std::string& path, const std::string& hash, bool& checked) {
    for (const TRecordedLogHash& recorded : RecordedLogHashes(path)) {
        if (SameUninstallLogHash(recorded.Hash, hash)) {
            LogLine("the uninstall log is as its installation saved it (SHA-256 " + hash + ", HKEY_LOCAL_MACHINE\\" +
                    recorded.KeyPath + ")");
            if (!OwnInstallation(recorded)) return false;
            checked = true;
            continue;
        }
        LogLine("the uninstall log " + Quoted(path) + " is refused: its SHA-256 is " + hash + ", HKEY_LOCAL_MACHINE\\" +
                recorded.KeyPath + " records " + Quoted(recorded.Hash) + "; it was changed after the installation");
        ShowError(FormatText("反安装日志文件在安装之后被改动过，与安装时记录的不一致：\r\n%s\r\n\r\n为了安全，没有删除任何东西。",
                             {path}));
        return false;
    }
    // A log nobody vouches for may be anybody's: its user's own
    // installation (no key below HKEY_LOCAL_MACHINE), or one written to
    // have administrator rights act on it. Its user uninstalls it.
    if (!checked && IsWinNT() && HasAdminRights()) {
        LogLine("the uninstall log " + Quoted(path) +
                " is refused: no uninstall key below HKEY_LOCAL_MACHINE vouches for it, and this uninstaller runs with "
                "administrator rights");
        ShowError(FormatText("以管理员权限运行的反安装程序只执行安装时登记过的反安装日志文件，而下面这个文件在 "
                             "HKEY_LOCAL_MACHINE 的反安装项中没有记录：\r\n%s\r\n\r\n它可能是某个用户自己安装时留下的，"
                             "请由该用户不以管理员身份运行反安装程序。为了安全，没有删除任何东西。",
                             {path}));
        return false;
    }
    return true;
}

// The whole uninstall log, or nothing: a log that is missing, unreadable,
// damaged or not one of ours is refused before anything is touched.
std::optional<UninstallLog> ReadLog(const std::string& path, bool& checked) {
    if (!IsFullPath(path) || !FileExists(path)) {
        LogLine("the uninstall log " + Quoted(path) + " is not there");
        ShowError(FormatText("找不到反安装日志文件：\r\n%s\r\n\r\n这个程序可能已经被删除了。", {path}));
        return std::nullopt;
    }
    try {
        // Read once: the bytes checked are the bytes obeyed.
        std::vector<std::uint8_t> bytes;
        {
            WinFileInStream file(path);
            bytes.resize(static_cast<std::size_t>(file.Size()));
            file.ReadExact(bytes.data(), bytes.size());
        }
        const std::string hash = UninstallLogHash(bytes);
        MemoryInStream memory(std::move(bytes));
        UninstallLog log = ReadUninstallLog(memory);
        if (!LogIsAsRecorded(path, hash, checked)) return std::nullopt;
        return log;
    } catch (const EUninstallLogDamaged& damage) {
        LogLine("the uninstall log " + Quoted(path) + " is refused: " + damage.what());
        ShowError(FormatText("反安装日志文件已损坏，或者不是反安装程序的日志文件：\r\n%s\r\n\r\n没有删除任何东西。", {path}));
    } catch (const std::exception& error) {
        LogLine("the uninstall log " + Quoted(path) + " cannot be read: " + CurrentExceptionText());
        ShowError(FormatText("不能读取反安装日志文件：\r\n%s\r\n\r\n%s\r\n\r\n没有删除任何东西。", {path, error.what()}));
    }
    return std::nullopt;
}

bool IsRecordedFile(const UninstallLog& log, const std::string& path) {
    for (const LoggedChange& change : log.Entries)
        if (change.Entry.Kind == ekFile && SameTextAscii(EntryString(change.Entry, 0), path)) return true;
    return false;
}

// After the entries: the log itself, the placeholder when the log names it,
// and then the recorded folders that only the log kept from going.
void RemoveWhatTheLogKept(const UninstallLog& log, const UninstallerOptions& options, TUninstallReport& report) {
    if (!DeleteFileW(Widen(options.LogFile).c_str())) {
        const DWORD error = GetLastError();
        LogLine("cannot delete the uninstall log: " + WindowsErrorText(error));
        report.Failed("反安装日志文件 " + options.LogFile, SystemErrorText(error));
    } else {
        LogLine("deleted the uninstall log " + Quoted(options.LogFile));
    }
    // The placeholder is one of the entries; it is deleted here only if it
    // came back since, and only when the log names it.
    // The command line may come from an icon its user can change: the
    // name passes the rules every entry passes.
    if (FileExists(options.PlaceholderFile) && IsRecordedFile(log, options.PlaceholderFile) &&
        !RefusalOfPath(options.PlaceholderFile, TProtectedPlaces())) {
        const TWayLock way(options.PlaceholderFile);
        if (!way.Refusal()) DeleteFileW(Widen(options.PlaceholderFile).c_str());
    }
    // The folders the log kept from going have their turn again, undone as
    // every entry is (the wait for subfolders, the shell told).
    TUndoChanges folders;
    for (const LoggedChange& change : log.Entries)
        if (change.Entry.Kind == ekFolder && !change.DataCut)
            folders.AddRawEntry(ekFolder, change.Entry.StringData, change.Entry.Flags);
    LogLine("once the log is gone, the recorded folders that are still there:");
    folders.UndoAll(true);
}

unsigned Uninstall(UninstallerOptions options) {
    // Setup.exe writes full paths; a person may type relative ones.
    options.LogFile = FullPathOf(options.LogFile);
    options.PlaceholderFile = FullPathOf(options.PlaceholderFile);
    bool logChecked = false;
    const std::optional<UninstallLog> log = ReadLog(options.LogFile, logChecked);
    if (!log) return exit_code::FatalError;
    const std::string appName = log->Header.AppName;
    LogLine("Application: " + appName);
    LogLine("Uninstall log: " + options.LogFile + " (" + std::to_string(log->Entries.size()) + " entries)");

    if (!options.Silent &&
        AppMsgBox(FormatText("确实要完全删除“%s”及其所有组件吗？", {appName}), kCaption, mbtConfirmation,
                  MB_YESNO) != IDYES) {
        LogLine("The user keeps the application: nothing was removed");
        return exit_code::UserCancelled;
    }

    TUninstallReport report;
    TUndoChanges undo;
    undo.AppName = appName;
    undo.AdminInstall = log->Header.AdminInstall;
    undo.LogChecked = logChecked;
    for (const LoggedChange& change : log->Entries) {
        // Its paths are not the recorded ones: acting on them could hit
        // something else. What it named stays, and is reported.
        if (change.DataCut) {
            LogLine("not acted on, its data was cut in the log: " + ChangeEntryText(change.Entry));
            report.NotActedOn(change.Entry, "日志中的记录不完整，没有删除");
        } else {
            undo.AddRawEntry(change.Entry.Kind, change.Entry.StringData, change.Entry.Flags);
        }
    }

    std::unique_ptr<TUninstallForm> form;
    if (!options.VerySilent) {
        form = MakeOwned<TUninstallForm>(appName, log->Entries.size() + 1);
        form->Show();
        form->Repaint();
        report.OnEntry = [&form](const TUndoEntryResult& result) {
            form->Step(EntryString(result.Entry, 0));
        };
    }
    undo.UndoAll(true, &report);
    RemoveWhatTheLogKept(*log, options, report);
    report.CollectKeptFolders();
    if (form) {
        form->Step("");
        form->Finish();
        form.reset();
    }

    for (const TUninstallReport::Remaining& item : report.Failures()) LogLine("remains: " + item.What + ": " + item.Why);
    for (const std::string& path : report.AtRestart()) LogLine("goes at the next restart: " + path);
    for (const std::string& folder : report.KeptFolders()) LogLine("kept, it holds other files: " + folder);
    const unsigned exitCode = report.ExitCode();
    // A silent run tells only of what went wrong.
    if (!options.Silent || exitCode != exit_code::Success) {
        AppMsgBox(report.MessageText(appName), kCaption, exitCode == exit_code::FatalError ? mbtError : mbtInformation,
                  MB_OK);
    }
    return exitCode;
}

}  // namespace

unsigned RunUninstaller(const std::vector<std::string>& params) {
    SetApplicationTitle(kCaption);
    const UninstallerCommandLine commandLine = ParseUninstallerCommandLine(params);
    const UninstallerOptions& options = commandLine.Options;
    if (options.SuppressMsgBoxes) {
        SetMessagesSuppressed(true);
        SetMsgBoxAnswerer(UnattendedAnswer);
    }
    StartLog(options);
    if (options.ShowHelp) {
        AppMsgBox("用法：" + UninstallerUsage(OwnUninstallerFileName()) +
                      "\r\n\r\n/SILENT\t不提问，只显示进度\r\n/VERYSILENT\t不显示任何窗口\r\n"
                      "/SUPPRESSMSGBOXES\t不显示问题，按既定规则回答：保留共享文件\r\n"
                      "/LOG[=文件]\t把反安装过程写入日志文件\r\n\r\n"
                      "退出代码：0 已全部删除，1602 用户取消，1603 有项目不能删除，3010 需要重新启动计算机",
                  kCaption, mbtInformation, MB_OK);
        return Finish(exit_code::Success);
    }
    if (!commandLine.Problem.empty()) {
        LogLine("wrong command line: " + commandLine.Problem);
        ShowError(FormatText("反安装程序的命令行不正确：%s\r\n\r\n用法：%s", {commandLine.Problem, UninstallerUsage(OwnUninstallerFileName())}));
        return Finish(exit_code::FatalError);
    }
    try {
        // Libraries that unregister themselves may use COM.
        const ComInitialization com = InitializeComForProcess();
        return Finish(Uninstall(options));
    } catch (...) {
        HandleCurrentException();
        return Finish(exit_code::FatalError);
    }
}

}  // namespace qv
