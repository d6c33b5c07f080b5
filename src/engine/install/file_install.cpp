#include "engine/install/file_install.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "core/errors.h"
#include "core/setupdata/block.h"
#include "core/setupdata/solid_reader.h"
#include "core/text/path_strings.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/phase_clock.h"
#include "engine/common/platform.h"
#include "engine/common/retry_question.h"
#include "engine/common/unique_name.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/install/create_folder_path.h"
#include "engine/install/existing_file.h"
#include "engine/install/inflate_ahead.h"
#include "engine/install/known_names.h"
#include "engine/install/new_file_stream.h"
#include "engine/install/self_register.h"
#include "engine/install/rollback_keeping.h"
#include "engine/install/uninstall_log_file.h"
#include "engine/instfunc/restart_replace.h"
#include "engine/instfunc/shared_file_count.h"
#include "engine/common/full_path.h"

namespace qv {

namespace {

// What the user is told was going on when a file failed.
constexpr char kReadingExistingFile[] = "错误：试图读已存在的文件。";
constexpr char kCreatingTempFile[] = "错误：试图在目标文件夹中创建文件时出错。";
constexpr char kOpeningSource[] = "错误：试图读取源文件时出错。";
constexpr char kCopyingFile[] = "错误：试图复制文件时出错。";
constexpr char kDeletingFile[] = "错误：试图删除文件时出错。";
constexpr char kSchedulingRestartReplace[] = "RestartReplace failed.";
constexpr char kRenamingTempFile[] = "错误：试图在目标文件夹中改变文件名时出错。";

constexpr char kRetryIgnoreAbort[] = "按<重试>再试，<忽略>跳过此文件(不推荐)，或按<取消>取消安装。";

// The placeholder UNINST0.nnn, which the file carrying the uninstall data
// becomes. Without a reserved name there is no place for it.
std::string UninstallPlaceholderName(const std::string& pattern) {
    if (pattern.find("%s") == std::string::npos)
        throw Exception("内部错误：反安装信息文件的名称尚未确定，不能安装反安装数据文件。");
    return UninstallLogName(pattern, '0');
}

FILETIME UtcFromLocal(std::uint64_t localTime) {
    FILETIME local{static_cast<DWORD>(localTime), static_cast<DWORD>(localTime >> 32)};
    FILETIME utc{};
    if (!LocalFileTimeToFileTime(&local, &utc)) RaiseLastInOutError();
    return utc;
}

// The sources of one attempt. The first is the data file held before the
// temporary file was made: opening it is a step of its own for the user,
// and whatever fails after it is part of copying. A stream that crosses
// into later data files gets them from the locator. A solid block still
// open from the file before may ask for a later data file first: only the
// disk that was found is the first source.
class TAttemptSources final : public DataFileOpener {
public:
    TAttemptSources(TDataFileLocator& locator, std::shared_ptr<const THeldFile> firstSource, int firstDisk,
                    std::string& errorPrefix)
        : locator_(locator), firstSource_(std::move(firstSource)), firstDisk_(firstDisk), errorPrefix_(errorPrefix) {}

    std::unique_ptr<InStream> OpenDataFile(int diskNumber) override {
        if (!firstSource_ || diskNumber != firstDisk_) return locator_.OpenDataFile(diskNumber);
        return OpenFirstSource();
    }
    std::unique_ptr<InStream> OpenSlDataFile() override {
        if (!firstSource_) return locator_.OpenSlDataFile();
        return OpenFirstSource();
    }

private:
    std::unique_ptr<InStream> OpenFirstSource() {
        errorPrefix_ = kOpeningSource;
        std::unique_ptr<InStream> source = std::exchange(firstSource_, nullptr)->NewReader();
        errorPrefix_ = kCopyingFile;
        return source;
    }

    TDataFileLocator& locator_;
    std::shared_ptr<const THeldFile> firstSource_;
    int firstDisk_;
    std::string& errorPrefix_;
};

// One run of the file loop and the state it keeps from file to file.
class TFileInstaller {
public:
    TFileInstaller(TInstallContext& context, const TDiskPrompt& askForDisk)
        : context_(context), sources_(SourceOf(context.Run), askForDisk),
          ahead_(context.Run.Data, context.Run.SlFileDataOffset) {}
    // Also when the loop ends by an exception.
    ~TFileInstaller() { DeletePendingTempFile(); }
    TFileInstaller(const TFileInstaller&) = delete;
    TFileInstaller& operator=(const TFileInstaller&) = delete;

    // `index`: the file's record; `member`: its member of its solid block,
    // when the setup data has them.
    void InstallFile(std::size_t index, const TFileRec& file, const TFileLocationRec& location, std::uint32_t member);

private:
    enum class TAttemptEnd { Done, StartOver };

    static TDataSource SourceOf(const TInstallRun& run) {
        return TDataSource{run.SetupSourceDir, run.SlDataFileName, run.SlFileDataOffset, run.SlFile};
    }

    TAttemptEnd RunAttempt(const TFileRec& file, const TFileLocationRec& location);
    void CopyIntoPlace(const TFileRec& file, const TFileLocationRec& location);
    void Extract(DataFileOpener& sources, const TFileRec& file, const TFileLocationRec& location, OutStream& dest);
    // Writes contents the helper inflated, moving the gauge over the file's
    // compressed bytes as reading its stream would.
    void WriteInflated(const std::vector<std::uint8_t>& contents, const TFileRec& file, OutStream& dest);
    // Moves the temporary file to its place and closes it.
    void ReplaceDestination(const TFileRec& file, TNewFileStream& temp);
    void RunAfterActions(const TFileRec& file);
    void RecordSharedFile(const TFileRec& file);
    // True: try again; false: go on without this file. Abort raises EAbort.
    bool AskAfterFailure(const std::string& message);
    void DeletePendingTempFile() noexcept;
    // Inside a catch block: the failure of the attempt, for the log.
    void LogFailure(const TFileRec& file) const;
    std::string InstalledText(const TFileRec& file) const;

    TInstallContext& context_;
    TDataFileLocator sources_;
    // Solid blocks decode forward from file to file: the reader keeps the
    // block open between them.
    SolidBlockReader solid_;
    std::uint32_t member_ = 0;
    // Files decompressed ahead on a second thread.
    TInflateAhead ahead_;
    std::size_t index_ = 0;

    std::string destFile_;
    bool destExisted_ = false;
    // Whether the file was there before its first attempt, which a retry
    // after the file was put in place no longer sees.
    bool firstAttempt_ = true;
    bool existedBeforeFirstAttempt_ = false;
    TKnownNames knownNames_;
    // The attempt failed in raising the shared-file count, with the file in place.
    bool sharedCountMissing_ = false;
    std::string tempFile_;
    bool tempPending_ = false;
    bool restartReplaced_ = false;
    bool extracting_ = false;
    std::string errorPrefix_;
    // For the log: the row of the existing-file rules that decided and why
    // ("(existing-file table, row 8): existing file is older ..."), and the
    // data file the data
    // begins in.
    std::string replaceReason_;
    std::string sourceFile_;
};

void TFileInstaller::InstallFile(std::size_t index, const TFileRec& file, const TFileLocationRec& location,
                                 std::uint32_t member) {
    firstAttempt_ = true;
    member_ = member;
    index_ = index;
    for (;;) {
        try {
            if (RunAttempt(file, location) == TAttemptEnd::StartOver) continue;
            break;
        } catch (const EAbort&) {
            throw;
        } catch (const std::bad_alloc&) {
            LogFailure(file);
            if (!AskAfterFailure("Out of memory")) break;
        } catch (const std::exception& error) {
            LogFailure(file);
            if (!AskAfterFailure(error.what())) break;
        }
    }
    // Skipped after its count failed, the file stays: the uninstaller is to
    // find it as any shared file.
    if (sharedCountMissing_) {
        LogLine("shared file " + Quoted(destFile_) + " stays without a raised shared-file count");
        RecordSharedFile(file);
    }
    // A skipped file counts as done.
    const TPhaseScope phase(TPhase::Progress);
    if (!extracting_) context_.Progress.Advance(file.CompressedSize);
    context_.Progress.PumpMessagesCheckCancel();
}

TFileInstaller::TAttemptEnd TFileInstaller::RunAttempt(const TFileRec& file, const TFileLocationRec& location) {
    restartReplaced_ = false;
    extracting_ = false;
    sharedCountMissing_ = false;
    errorPrefix_.clear();
    DeletePendingTempFile();
    // A temporary file left for the restart belongs to the file before;
    // the entries of this one must not name it.
    tempFile_.clear();
    destFile_.clear();
    replaceReason_.clear();
    sourceFile_.clear();

    // A failed attempt takes back what it read, so that a retry does not
    // count the same data twice.
    const std::int64_t gaugeAtStart = context_.Progress.Position();
    try {
        {
            const TPhaseScope phase(TPhase::FileChecks);
            destFile_ = (file.FileFlags & ffUninstallData) ? UninstallPlaceholderName(context_.UninstallLogPattern)
                                                            : context_.Run.Expand(file.DestPath);
            // A retry asks the system: the error may have come from a file
            // that appeared meanwhile.
            if (!firstAttempt_) knownNames_.Forget();
            destExisted_ = knownNames_.MayExist(destFile_) && FileExists(destFile_);
            if (std::exchange(firstAttempt_, false)) existedBeforeFirstAttempt_ = destExisted_;
        }
        {
            const TPhaseScope phase(TPhase::Progress);
            context_.Progress.ShowFilename(destFile_);
        }

        bool keep = false;
        if (destExisted_) {
            if (file.ReplaceMode != rmOnlyIfMissing) errorPrefix_ = kReadingExistingFile;
            const TExistingFileVerdict verdict = DecideOnExistingFile(file, destFile_);
            replaceReason_ = "(existing-file table, row " + std::to_string(verdict.Row) + "): " + verdict.Reason;
            switch (verdict.Decision) {
            case TExistingFileDecision::Keep:
                keep = true;
                LogLine("kept " + Quoted(destFile_) + " " + replaceReason_);
                break;
            case TExistingFileDecision::Replace: break;
            case TExistingFileDecision::StartOver:
                LogLine("trying " + Quoted(destFile_) + " again " + replaceReason_);
                return TAttemptEnd::StartOver;
            }
        }
        if (!keep) CopyIntoPlace(file, location);
        RunAfterActions(file);
    } catch (...) {
        extracting_ = false;
        context_.Progress.SetPosition(gaugeAtStart);
        throw;
    }
    return TAttemptEnd::Done;
}

void TFileInstaller::CopyIntoPlace(const TFileRec& file, const TFileLocationRec& location) {
    const TInstallRun& run = context_.Run;
    // The data file is found (and the disk asked for) and held before
    // anything is written. A record without a valid first disk is the
    // extractor's to report.
    std::shared_ptr<const THeldFile> firstSource;
    const bool continuesBlock = run.Data.SetupInfo.Has(optSolidBlocks) &&
                                solid_.ContinuesAt(location, run.SlFileDataOffset, member_);
    // A solid block open from the file before reads on in the data file it
    // holds. One this file does not continue is never read again (the
    // files come in the blocks' order): its data file goes before the
    // next is found, which may mean asking for the disk after it.
    if (!continuesBlock) {
        solid_.Close();
        if (run.SlFileDataOffset != 0 || location.FirstDisk >= 1) {
            errorPrefix_ = kOpeningSource;
            firstSource =
                run.SlFileDataOffset != 0 ? sources_.HoldSlDataFile() : sources_.HoldDataFile(location.FirstDisk);
        }
    }
    sourceFile_ = firstSource ? firstSource->Path() : std::string();
    // The helper reads the first data file the loop holds (or the /SL
    // file), as the loop found it: it never asks for a disk itself.
    if (firstSource && !ahead_.Started())
        ahead_.Start(firstSource, run.SlFileDataOffset != 0 ? 0 : location.FirstDisk, index_);

    errorPrefix_ = kCreatingTempFile;
    {
        const TPhaseScope phase(TPhase::FileChecks);
        tempFile_ = MakeUniqueName(ExtractFileDir(FullPathOf(destFile_)), ".tmp", [&](const std::string& name) {
            return knownNames_.MayExist(name) && PathExists(name);
        });
        CreateFolderPath(context_, ExtractFileDir(tempFile_), cfNoUninstall);
    }
    // A new file's two facts under one flush: its place is still empty
    // when the temporary file moves there, whatever happens between.
    if (context_.Journal && !destExisted_)
        context_.Journal->WriteAhead({journal::FileWasAbsent{tempFile_, 0}, journal::FileWasAbsent{destFile_, 0}});
    else
        WriteAhead(context_, journal::FileWasAbsent{tempFile_, 0});
    std::optional<TNewFileStream> created;
    {
        const TPhaseScope phase(TPhase::CreateTemporary);
        created.emplace(tempFile_);
    }
    TNewFileStream& temp = *created;
    tempPending_ = true;

    std::vector<std::uint8_t> inflated;
    bool taken = false;
    {
        const TPhaseScope phase(TPhase::Decompress);
        taken = ahead_.Take(index_, inflated);
    }
    extracting_ = true;
    if (taken) {
        // The source was found and read: what fails now is the copy.
        errorPrefix_ = kCopyingFile;
        WriteInflated(inflated, file, temp);
        ahead_.GiveBack(std::move(inflated));
    } else {
        errorPrefix_ = kOpeningSource;
        TAttemptSources attemptSources(sources_, firstSource, location.FirstDisk, errorPrefix_);
        const TPhaseScope phase(TPhase::Decompress);
        Extract(attemptSources, file, location, temp);
    }
    {
        const TPhaseScope phase(TPhase::CloseFile);
        // The installed file carries the time of the setup data, not of the installation.
        temp.SetTimes(UtcFromLocal(file.FileTime));
    }

    ReplaceDestination(file, temp);
}

void TFileInstaller::Extract(DataFileOpener& sources, const TFileRec& file, const TFileLocationRec& location,
                             OutStream& dest) {
    const TInstallRun& run = context_.Run;
    const ExtractProgress onRead = [this](std::size_t bytes) {
        const TPhaseScope phase(TPhase::Progress);
        context_.Progress.Advance(static_cast<std::int64_t>(bytes));
        context_.Progress.PumpMessagesCheckCancel();
    };
    if (!run.Data.SetupInfo.Has(optSolidBlocks)) {
        ExtractFileStream(sources, file, location, run.SlFileDataOffset, dest, onRead);
        return;
    }
    // The block may be open already: then reading it is copying.
    if (solid_.ContinuesAt(location, run.SlFileDataOffset, member_)) errorPrefix_ = kCopyingFile;
    solid_.Extract(sources, file, location, member_, run.SlFileDataOffset, dest, onRead);
}

void TFileInstaller::WriteInflated(const std::vector<std::uint8_t>& contents, const TFileRec& file, OutStream& dest) {
    // Piece by piece as the loop reads the stream: the gauge moves by at
    // most one piece of compressed bytes between pumps, and Cancel is
    // heard as soon. A piece writes what its compressed bytes inflate to.
    const std::uint64_t compressed = static_cast<std::uint64_t>(file.CompressedSize);
    const std::uint64_t inflated = contents.size();
    std::uint64_t written = 0;
    for (std::uint64_t read = 0; read < compressed;) {
        const std::uint64_t piece = std::min<std::uint64_t>(kDecompressBufferSize, compressed - read);
        read += piece;
        const std::uint64_t upTo = read == compressed ? inflated : read * inflated / compressed;
        if (upTo > written) dest.Write(contents.data() + written, static_cast<std::size_t>(upTo - written));
        written = upTo;
        const TPhaseScope phase(TPhase::Progress);
        context_.Progress.Advance(static_cast<std::int64_t>(piece));
        context_.Progress.PumpMessagesCheckCancel();
    }
    // A solid member's share of its block's bytes may round to nothing:
    // its contents are still the file's.
    if (written < inflated) dest.Write(contents.data() + written, static_cast<std::size_t>(inflated - written));
}

void TFileInstaller::ReplaceDestination(const TFileRec& file, TNewFileStream& temp) {
    TInstallRun& run = context_.Run;
    const auto closeTemp = [&] {
        const TPhaseScope phase(TPhase::CloseFile);
        if (temp.IsOpen()) temp.Close();
    };
    // A file that replaces another is closed before the other moves aside,
    // so that a failed close leaves the other where it was; a new file
    // moves to its place while still open.
    if (destExisted_) closeTemp();
    std::optional<TPhaseScope> phase(std::in_place, TPhase::MoveIntoPlace);
    if (destExisted_) {
        errorPrefix_ = kDeletingFile;
        DWORD error = 0;
        // Kept aside for a rollback, unless it is in use.
        if (!ClearForReplacement(context_, destFile_, error)) {
            if (!(file.FileFlags & ffReplaceAtRestart)) {
                // The run-time code of the error hides which of the two it was.
                LogLine("cannot delete the existing file " + Quoted(destFile_) + ": " + WindowsErrorText(error));
                throw EInOutError(InOutCodeFromWin32(error));
            }
            errorPrefix_ = kSchedulingRestartReplace;
            WriteAhead(context_, journal::RestartRenameAdded{tempFile_, destFile_,
                                                             IsWinNT() ? journal::RestartRenameWay::PendingRename
                                                                       : journal::RestartRenameWay::WininitIni});
            RestartReplace(tempFile_, destFile_, run.Folders.Win, run.RestartNeeded);
            restartReplaced_ = true;
            knownNames_.Added(tempFile_);
            // It waits for the restart now.
            tempPending_ = false;
            LogLine(InstalledText(file) + ", replaced at the next restart: the existing file is in use (" +
                    WindowsErrorText(error) + "), the new one waits in " + Quoted(tempFile_));
        }
    }
    if (!restartReplaced_) {
        errorPrefix_ = kRenamingTempFile;
        // A shared file's entry waits for its count; meanwhile a rollback
        // takes away the file that was not there.
        if ((file.FileFlags & ffShared) && !destExisted_) KeepCopyForRollback(context_, destFile_);
        // The file it replaces is aside by now; a new file's fact went with the temporary file's.
        if (destExisted_) WriteAhead(context_, journal::FileWasAbsent{destFile_, 0});
        if (!destExisted_ && temp.RenameWhileOpen(FullPathOf(destFile_))) {
            tempPending_ = false;
            tempFile_.clear();
            try {
                closeTemp();
            } catch (...) {
                // Not installed after all: the file that was not there goes again.
                DeleteFileW(Widen(destFile_).c_str());
                throw;
            }
        } else {
            closeTemp();
            if (!MoveFileW(Widen(tempFile_).c_str(), Widen(destFile_).c_str())) RaiseLastInOutError();
            tempPending_ = false;
            tempFile_.clear();
        }
        knownNames_.Added(destFile_);
        phase.emplace(TPhase::Progress);
        const bool deleteAtEnd = (file.FileFlags & ffDeleteAtEnd) != 0;
        if (deleteAtEnd) run.FilesToDeleteAtEnd.push_back(destFile_);
        LogLine(InstalledText(file) +
                (destExisted_ ? ", replacing the existing file " + replaceReason_ : std::string(", a new file")) +
                (deleteAtEnd ? "; deleted again when setup ends" : ""));
    }

    errorPrefix_.clear();
    phase.emplace(TPhase::UndoLog);
    // The uninstaller leaves it; a rollback takes away the file that was
    // not there (a shared one's was kept above).
    if ((file.FileFlags & ffNoUninstall) && !(file.FileFlags & ffShared) && !destExisted_ &&
        !context_.Run.BackupFolder.empty())
        context_.UndoLog.CountJournalOnlyChange();
    if (file.FileFlags & (ffUninstallData | ffNoUninstall | ffShared)) return;
    std::uint32_t flags = 0;
    if (file.FileFlags & ffSelfRegister) flags |= efSelfUnregister;
    if (destExisted_) flags |= efWasPresent;
    context_.UndoLog.AddEntry(ekFile, {destFile_, tempFile_}, flags);
}

std::string TFileInstaller::InstalledText(const TFileRec& file) const {
    std::string text = "installed " + Quoted(destFile_) + " (" + std::to_string(file.OriginalSize) + " bytes";
    if (!sourceFile_.empty()) text += " from " + Quoted(sourceFile_);
    return text + ")";
}

void TFileInstaller::LogFailure(const TFileRec& file) const {
    if (!InstallLogIsOpen()) return;
    const std::string name = destFile_.empty() ? file.DestPath : destFile_;
    const std::string what = errorPrefix_.empty() ? std::string() : Quoted(errorPrefix_) + ": ";
    LogLine("error with " + Quoted(name) + ": " + what + CurrentExceptionText());
}

void TFileInstaller::RunAfterActions(const TFileRec& file) {
    if ((file.FileFlags & ffSelfRegister) && restartReplaced_) {
        LogLine("not self-registered " + Quoted(destFile_) + ": the new file arrives only at the restart");
    } else if (file.FileFlags & ffSelfRegister) {
        errorPrefix_.clear();
        // A library that was there stays registered, as the rollback leaves it.
        if (!existedBeforeFirstAttempt_) WriteAhead(context_, journal::LibraryRegistered{destFile_});
        // The library's own code may have written files anywhere.
        knownNames_.Forget();
        SelfRegisterLibrary(destFile_);
    }
    // Below Windows 4 nobody keeps shared-file counts.
    if ((file.FileFlags & ffShared) && GetWindowsVersion().Major() >= 4) {
        errorPrefix_.clear();
        sharedCountMissing_ = true;
        KeepSharedCountForRollback(context_, destFile_);
        RaiseSharedFileCount(destFile_, existedBeforeFirstAttempt_);
        sharedCountMissing_ = false;
        LogLine("shared-file count of " + Quoted(destFile_) + " raised");
        RecordSharedFile(file);
    }
}

void TFileInstaller::RecordSharedFile(const TFileRec& file) {
    std::uint32_t flags = efSharedCount;
    if (file.FileFlags & ffSelfRegister) flags |= efSelfUnregister;
    context_.UndoLog.AddEntry(ekFile, {destFile_, tempFile_}, flags);
}

bool TFileInstaller::AskAfterFailure(const std::string& message) {
    DeletePendingTempFile();
    std::string text;
    if (!errorPrefix_.empty()) text = errorPrefix_ + "\r\n\r\n";
    text += message;
    text += "\r\n\n\n";
    text += kRetryIgnoreAbort;
    return AskRetryIgnoreAbort(text, destFile_, MB_DEFBUTTON2,
                               {"retrying " + Quoted(destFile_), "skipped " + Quoted(destFile_) + " after the error"}) ==
           TRetryAnswer::Retry;
}

void TFileInstaller::DeletePendingTempFile() noexcept {
    if (!tempPending_) return;
    DeleteFileW(Widen(tempFile_).c_str());
    tempPending_ = false;
    tempFile_.clear();
}

}  // namespace

void InstallFiles(TInstallContext& context, const TDiskPrompt& askForDisk) {
    const SetupData& data = context.Run.Data;
    const bool solid = data.SetupInfo.Has(optSolidBlocks);
    TFileInstaller installer(context, askForDisk);
    for (std::size_t i = 0; i < data.FileRecords.size(); ++i) {
        if (i >= data.FileLocationRecords.size() || (solid && i >= data.FileMembers.size()))
            throw Exception("内部错误：安装文件缺少位置信息。");
        installer.InstallFile(i, data.FileRecords[i], data.FileLocationRecords[i], solid ? data.FileMembers[i] : 0);
    }
}

}  // namespace qv
