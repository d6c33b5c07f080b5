// Undoing folders and files.
#include <windows.h>
#include <shlobj.h>

#include "core/text/path_strings.h"
#include "engine/common/folders.h"
#include "engine/common/format_text.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/message_box.h"
#include "engine/common/path_tests.h"
#include "engine/common/platform.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/restart_replace.h"
#include "engine/undo/undo_guards.h"
#include "engine/undo/undo_run.h"
#include "engine/undo/undo_support.h"

namespace qv {

namespace {

// A removed folder can linger while something still holds it open; its
// parent cannot go before it has vanished.
constexpr int kFolderWaits = 20;
constexpr DWORD kFolderWaitMs = 250;

// The folder that holds `path`, without its trailing backslash unless it
// is a drive root.
std::string ParentFolder(const std::string& path) { return StripBackslashKeepRoot(ExtractFileDir(path)); }

// Whether a file that could not be deleted is in use. A file open without
// delete sharing is a sharing (or lock) violation. A running program or a
// loaded library is refused with "access denied", as missing rights are;
// the image the system maps also refuses to be opened for writing with a
// sharing violation, which missing rights never give.
bool InUse(const std::string& file, unsigned long deleteError) {
    if (deleteError == ERROR_SHARING_VIOLATION || deleteError == ERROR_LOCK_VIOLATION) return true;
    if (deleteError != ERROR_ACCESS_DENIED) return false;
    const UniqueHFile probe(CreateFileW(Widen(file).c_str(), FILE_WRITE_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

bool ListedAsFolder(const std::string& path) {
    WIN32_FIND_DATAW found;
    const UniqueFindHandle find(FindFirstFileW(Widen(path).c_str(), &found));
    return find && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// `path` with its extension (from the last "." of its name) replaced.
std::string ChangeFileExt(const std::string& path, const std::string& extension) {
    const std::size_t dot = path.find_last_of(".\\:");
    if (dot == std::string::npos || path[dot] != '.') return path + extension;
    return path.substr(0, dot) + extension;
}

bool HasHelpExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of(".\\:");
    return dot != std::string::npos && path[dot] == '.' && SameTextAscii(path.substr(dot), ".HLP");
}

// An empty folder that something looks into at this moment (the shell
// watching a program group) refuses to go for a short while; a folder
// with something in it is no such case and stays at once.
bool RemoveFolderOnceFree(const std::string& folder) {
    constexpr int kTries = 5;
    constexpr DWORD kPauseMs = 100;
    for (int attempt = 1;; ++attempt) {
        if (RemoveDirectoryW(Widen(folder).c_str())) return true;
        const DWORD error = GetLastError();
        if (error == ERROR_DIR_NOT_EMPTY || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            attempt == kTries)
            return false;
        Sleep(kPauseMs);
    }
}

}  // namespace

void UndoRun::UndoFolder(const std::string& recorded, std::uint32_t flags) {
    RequireFullPath(recorded);
    const std::string folder = StripBackslashKeepRoot(recorded);
    if (!FolderExists(folder)) return Skip("the folder is gone already");
    const TWayLock way(folder, &ways_);
    if (way.Refusal()) return Refuse(way.Refusal());
    if (way.Missing()) return Skip("the folder is gone already");
    // The current directory would hold the folder open.
    SetCurrentDirectoryW(Widen(WindowsFolder()).c_str());
    WaitForRemovedSubfolders(folder);
    // Only an empty folder goes: whatever else is in it stays, and so
    // does the folder. That is no failure.
    if (!RemoveFolderOnceFree(folder)) {
        const DWORD error = GetLastError();
        if (uninstalling_ && IsWinNT() && HoldsFileAtRestart(folder)) {
            // NT removes it after the files in it, in the order given, and
            // leaves it when something else is in it by then.
            bool restartNeeded = false;
            try {
                RestartReplace(folder, "", WindowsFolder(), restartNeeded);
                atRestart_.push_back(folder);
                return AtRestart("the folder holds files that go at the next restart, and goes after them");
            } catch (const std::exception&) {
                // It stays, as a folder with other files does.
            }
        }
        return Skip("the folder stays, not empty or in use (" + WindowsErrorText(error) + ")");
    }
    removedFolders_.AddUnique(folder);
    if (flags & efFolderNotify) {
        SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHW, Widen(folder).c_str(), nullptr);
        foldersToRefresh_.AddUnique(ParentFolder(folder));
    }
}

void UndoRun::WaitForRemovedSubfolders(const std::string& folder) const {
    const std::string inside = folder + "\\";
    const auto lingering = [&] {
        for (const std::string& removed : removedFolders_)
            if (removed.compare(0, inside.size(), inside) == 0 && ListedAsFolder(removed)) return true;
        return false;
    };
    for (int wait = 0; wait < kFolderWaits && lingering(); ++wait) Sleep(kFolderWaitMs);
}

void UndoRun::UndoFile(const std::string& file, const std::string& pendingTemp, std::uint32_t flags) {
    const bool notifyShell = (flags & efNotifyShell) != 0;
    // Held for the whole entry: a library unregisters itself by this path
    // too, and must not be another library that a link leads to.
    const TWayLock way(file, &ways_, (flags & efSelfUnregister) != 0);
    if (way.Refusal()) return Refuse(way.Refusal());
    // The new version of a file in use waits in the temporary file for the
    // restart. Until the restart has come it is taken back, pending rename
    // and all, so that it never arrives: by a rollback, and by an uninstall
    // that comes first.
    const bool tookBack = !pendingTemp.empty() && TakeBackWaitingReplacement(file, pendingTemp);

    // A replacement waits only for a file that was there before.
    if (!uninstalling_ && ((flags & efWasPresent) || !pendingTemp.empty())) {
        // The file was there before: it stays.
        if (flags & efSharedCount) LowerSharedFileCount(file);
        return Skip(tookBack ? "the file was there before and stays; its replacement waiting for the restart is taken back"
                             : "the file was there before and stays");
    }
    if (flags & efSharedCount) {
        if (!LowerSharedFileCount(file))
            return Skip("the shared count is still above zero (or there is none): other installations use the file");
        RequireFullPath(file);
        if (!FileExists(file)) return Skip("the shared count reached zero and the file is gone already");
        if (uninstalling_ && !AskToDeleteSharedFile(file)) return Skip("the user keeps the shared file");
    }
    if (flags & efSelfUnregister) {
        RequireFullPath(file);
        const TSelfRegisterOutcome outcome = CallDllUnregister(file);
        if (outcome.Stage != TSelfRegisterStage::Registered) {
            const std::string reason = LibraryCallFailureReason(outcome, TLibraryCall::Unregister);
            Fail("the library did not unregister itself: " + Quoted(reason), 0, "不能注销DLL/OCX：" + reason);
        }
    }
    if (!uninstalling_ && (flags & efUninstallOnly)) return Skip("deleted only by the uninstaller");
    DeleteFileAndHelpCompanions(file, notifyShell);
}

bool UndoRun::TakeBackWaitingReplacement(const std::string& file, const std::string& temp) {
    RequireFullPath(temp);
    // Gone: the restart has come and moved it into place (or somebody
    // deleted it, and the rename finds nothing to move).
    if (!FileExists(temp)) return false;
    try {
        if (CancelRestartReplace(temp, file, WindowsFolder()))
            LogLine("took back the replacement of " + Quoted(file) + " by " + Quoted(temp) + " at the next restart");
    } catch (const std::exception&) {
        // Once its file is deleted the rename has nothing to move.
        LogLine("cannot take back the replacement of " + Quoted(file) + " at the next restart: " +
                CurrentExceptionText());
    }
    DeleteFileAndHelpCompanions(temp, false);
    return true;
}

bool UndoRun::DeleteAtRestart(const std::string& file, unsigned long deleteError) {
    if (!InUse(file, deleteError)) return false;
    bool restartNeeded = false;
    try {
        RestartReplace(file, "", WindowsFolder(), restartNeeded);
    } catch (const std::exception&) {
        Fail("cannot delete " + Quoted(file) + " (" + WindowsErrorText(deleteError) +
                 ") nor arrange its deletion at the next restart: " + CurrentExceptionText(),
             deleteError);
        return true;
    }
    atRestart_.push_back(file);
    AtRestart("in use (" + WindowsErrorText(deleteError) + "): deleted at the next restart");
    return true;
}

bool UndoRun::HoldsFileAtRestart(const std::string& folder) const {
    const std::string inside = folder + "\\";
    for (const std::string& path : atRestart_)
        if (path.size() > inside.size() && SameTextAscii(path.substr(0, inside.size()), inside)) return true;
    return false;
}

bool UndoRun::AskToDeleteSharedFile(const std::string& file) const {
    MsgBoxQuestion question;
    question.Text = FormatText(
        "从系统获悉下面的共享文件很长时间没有被其它程序使用。想在反安装中删除这个共享文件吗？\r\n\r\n%s\r\n\r\n"
        "如果其它程序仍在使用此文件而将此文件删除，将会影响这些程序的功能正常。如果您不想删除它, "
        "请选择<否>。删除此文件不会对您的系统产生任何损害。",
        {file});
    question.Caption = "删除被共享的文件";
    question.Flags = MB_YESNO | MB_ICONQUESTION;
    return ShowMessageBox(nullptr, question) == IDYES;
}

void UndoRun::DeleteFileAndHelpCompanions(const std::string& file, bool notifyShell) {
    RequireFullPath(file);
    // Checked at the moment of deleting, and held until it is done; a
    // link deleted is only the link.
    const TWayLock way(file, &ways_, false);
    if (way.Refusal()) return Refuse(way.Refusal());
    if (way.Missing()) return Skip("the file is gone already");
    // The index files Windows Help builds beside a help file; they may be
    // there whether or not the help file still is.
    if (HasHelpExtension(file)) {
        DeleteFileW(Widen(ChangeFileExt(file, ".GID")).c_str());
        DeleteFileW(Widen(ChangeFileExt(file, ".FTS")).c_str());
    }
    if (!FileExists(file)) return Skip("the file is gone already");
    const std::wstring wide = Widen(file);
    if (uninstalling_) {
        // The file is the installation's; a read-only attribute (set by the
        // program or the user since) does not keep it.
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!DeleteFileW(wide.c_str())) {
        const DWORD error = GetLastError();
        if (uninstalling_ && DeleteAtRestart(file, error)) return;
        return Fail("cannot delete " + Quoted(file) + ": " + WindowsErrorText(error), error);
    }
    if (notifyShell) {
        SHChangeNotify(SHCNE_DELETE, SHCNF_PATHW, Widen(file).c_str(), nullptr);
        foldersToRefresh_.AddUnique(ParentFolder(file));
    }
}

}  // namespace qv
