#include "engine/install/existing_file.h"

#include <windows.h>

#include "core/errors.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/log_text.h"
#include "engine/common/retry_question.h"
#include "engine/common/unattended.h"
#include "engine/common/win_text.h"
#include "engine/install/file_version.h"
#include "engine/install/file_write_time.h"

namespace qv {

namespace {

// Who gave `answer` to the question just asked, for the log: "the user
// answered No to overwrite", or the unattended table with the rule that
// answered.
std::string AnsweredText(const std::string& answer, const std::string& toWhat = "") {
    const std::string what = answer + (toWhat.empty() ? "" : " to " + toWhat);
    if (!MessagesSuppressed()) return "the user answered " + what;
    return "the unattended table answered " + what + " (its rule: " + LastUnattendedRule() + ")";
}

// The existing file is newer: it stays when the copy mode says so or the
// user wants to keep it. `reason` tells why it is newer and gets the rest.
bool KeepNewerFile(const TFileRec& file, const std::string& destFile, std::string& reason) {
    if (file.ReplaceMode == rmKeepNewer) {
        reason += ", and the copy mode keeps newer files";
        return true;
    }
    const bool keep = AppMsgBox("系统已存在一个比设置程序将要安装的文件版本更新的文件，建议保留已存在的文件。\r\n\r\n"
                                "是否保留已存在的文件？",
                                destFile, mbtError, MB_YESNO) == IDYES;
    reason += ", and " + AnsweredText(keep ? "Yes" : "No", "keeping it");
    return keep;
}

// How the last-write time of `destFile`, in local time as the setup data
// keeps its times, compares with the file's: nothing when it cannot be read.
enum class TTimeOrder { Unknown, Earlier, Equal, Later };

TTimeOrder CompareWriteTime(const TFileRec& file, const std::string& destFile) {
    FILETIME utc{}, local{};
    if (!ReadFileWriteTime(destFile, utc) || !FileTimeToLocalFileTime(&utc, &local)) return TTimeOrder::Unknown;
    const std::uint64_t existing = (std::uint64_t{local.dwHighDateTime} << 32) | local.dwLowDateTime;
    if (existing == file.FileTime) return TTimeOrder::Equal;
    return existing > file.FileTime ? TTimeOrder::Later : TTimeOrder::Earlier;
}

// The versions, and for equal versions the time stamps, when the record
// carries a version and the existing file has one. Returns the row that
// keeps the file (2 to 5), or 0 to go on; `reason` gets what was found.
int CompareWithExisting(const TFileRec& file, const std::string& destFile, std::string& reason) {
    if (file.ReplaceMode == rmAlways) {
        reason = "the copy mode replaces always";
        return 0;
    }
    if (!(file.VersionFlags & vfHasVersion)) {
        reason = "the setup's file carries no version";
        return 0;
    }
    std::uint32_t existingMS = 0, existingLS = 0;
    if (!ReadFileVersion(destFile, existingMS, existingLS)) {
        reason = "the existing file has no version to compare";
        return 0;
    }
    const std::string existing = VersionText(existingMS, existingLS);
    const std::string ours = VersionText(file.FileVersionMS, file.FileVersionLS);
    const int order = CompareFileVersions(existingMS, existingLS, file.FileVersionMS, file.FileVersionLS);
    if (order > 0) {
        reason = "existing file is newer (version " + existing + " > " + ours + ")";
        return KeepNewerFile(file, destFile, reason) ? 2 : 0;
    }
    if (order < 0) {
        reason = "existing file is older (version " + existing + " < " + ours + ")";
        return 0;
    }
    if (!(file.VersionFlags & vfCompareTime)) {
        reason = "same version (" + ours + "), times not compared";
        return 3;
    }
    switch (CompareWriteTime(file, destFile)) {
    case TTimeOrder::Equal: reason = "same version (" + ours + ") and same time"; return 4;
    case TTimeOrder::Later:
        reason = "same version (" + ours + "), existing file's time is later";
        return KeepNewerFile(file, destFile, reason) ? 5 : 0;
    case TTimeOrder::Earlier: reason = "same version (" + ours + "), existing file's time is earlier"; break;
    case TTimeOrder::Unknown: reason = "same version (" + ours + "), existing file's time cannot be read"; break;
    }
    return 0;
}

}  // namespace

int CompareFileVersions(std::uint32_t aMS, std::uint32_t aLS, std::uint32_t bMS, std::uint32_t bLS) {
    if (aMS != bMS) return aMS > bMS ? 1 : -1;
    if (aLS != bLS) return aLS > bLS ? 1 : -1;
    return 0;
}

TExistingFileVerdict DecideOnExistingFile(const TFileRec& file, const std::string& destFile) {
    TExistingFileVerdict verdict;
    std::string& reason = verdict.Reason;
    const auto decided = [&verdict](int row, TExistingFileDecision decision) {
        verdict.Row = row;
        verdict.Decision = decision;
        return verdict;
    };
    if (file.ReplaceMode == rmOnlyIfMissing) {
        reason = "only-if-missing and the file exists";
        return decided(1, TExistingFileDecision::Keep);
    }
    if (const int row = CompareWithExisting(file, destFile, reason)) return decided(row, TExistingFileDecision::Keep);

    if (file.FileFlags & ffAskOverwrite) {
        if (AppMsgBoxFmt("%s\r\n文件已经存在 \r\n\r\n是否覆盖此文件？", {destFile}, "", mbtConfirmation,
                         MB_YESNO) != IDYES) {
            reason = AnsweredText("No", "overwrite");
            return decided(6, TExistingFileDecision::Keep);
        }
        reason += "; " + AnsweredText("Yes", "overwrite");
    }

    const std::wstring wideDest = Widen(destFile);
    const DWORD attributes = GetFileAttributesW(wideDest.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        switch (AskRetryIgnoreAbort("文件属性为只读。\r\n\r\n按<重试>删除只读属性后再试，<忽略>跳过此文件，或按<取消>取消安装。",
                                    destFile, MB_DEFBUTTON2, {}, TOtherAnswer::GoesOn)) {
        case TRetryAnswer::Retry: {
            // The other attributes stay; whether this worked shows in the next attempt.
            const DWORD cleared = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
            SetFileAttributesW(wideDest.c_str(), cleared != 0 ? cleared : FILE_ATTRIBUTE_NORMAL);
            reason = "the file is read-only; " + AnsweredText("Retry") + ", the attribute was removed";
            return decided(7, TExistingFileDecision::StartOver);
        }
        case TRetryAnswer::Ignore:
            reason = "the file is read-only and " + AnsweredText("Ignore");
            return decided(7, TExistingFileDecision::Keep);
        case TRetryAnswer::Other: break;
        }
    }
    return decided(8, TExistingFileDecision::Replace);
}

}  // namespace qv
