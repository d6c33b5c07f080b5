#include "engine/install/existing_file.h"

#include <windows.h>

#include "core/errors.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/win_text.h"
#include "engine/install/file_version.h"
#include "engine/install/file_write_time.h"

namespace qv {

namespace {

// The existing file is newer: it stays when the copy mode says so or the
// user wants to keep it.
bool KeepNewerFile(const TFileRec& file, const std::string& destFile) {
    if (file.ReplaceMode == rmKeepNewer) return true;
    return AppMsgBox("系统已存在一个比设置程序将要安装的文件版本更新的文件，建议保留已存在的文件。\r\n\r\n"
                     "是否保留已存在的文件？",
                     destFile, mbtError, MB_YESNO) == IDYES;
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

enum class TVersionVerdict { GoOn, Keep };

// The versions, and for equal versions the time stamps, when the record
// carries a version and the existing file has one.
TVersionVerdict CompareWithExisting(const TFileRec& file, const std::string& destFile) {
    if (file.ReplaceMode == rmAlways || !(file.VersionFlags & vfHasVersion)) return TVersionVerdict::GoOn;
    std::uint32_t existingMS = 0, existingLS = 0;
    if (!ReadFileVersion(destFile, existingMS, existingLS)) return TVersionVerdict::GoOn;
    const int order = CompareFileVersions(existingMS, existingLS, file.FileVersionMS, file.FileVersionLS);
    if (order > 0) return KeepNewerFile(file, destFile) ? TVersionVerdict::Keep : TVersionVerdict::GoOn;
    if (order < 0) return TVersionVerdict::GoOn;
    if (!(file.VersionFlags & vfCompareTime)) return TVersionVerdict::Keep;
    switch (CompareWriteTime(file, destFile)) {
    case TTimeOrder::Equal: return TVersionVerdict::Keep;
    case TTimeOrder::Later: return KeepNewerFile(file, destFile) ? TVersionVerdict::Keep : TVersionVerdict::GoOn;
    case TTimeOrder::Earlier:
    case TTimeOrder::Unknown: break;
    }
    return TVersionVerdict::GoOn;
}

}  // namespace

int CompareFileVersions(std::uint32_t aMS, std::uint32_t aLS, std::uint32_t bMS, std::uint32_t bLS) {
    if (aMS != bMS) return aMS > bMS ? 1 : -1;
    if (aLS != bLS) return aLS > bLS ? 1 : -1;
    return 0;
}

TExistingFileDecision DecideOnExistingFile(const TFileRec& file, const std::string& destFile) {
    if (file.ReplaceMode == rmOnlyIfMissing) return TExistingFileDecision::Keep;
    if (CompareWithExisting(file, destFile) == TVersionVerdict::Keep) return TExistingFileDecision::Keep;

    if ((file.FileFlags & ffAskOverwrite) &&
        AppMsgBoxFmt("%s\r\n文件已经存在 \r\n\r\n是否覆盖此文件？", {destFile}, "", mbtConfirmation, MB_YESNO) != IDYES)
        return TExistingFileDecision::Keep;

    const std::wstring wideDest = Widen(destFile);
    const DWORD attributes = GetFileAttributesW(wideDest.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        switch (AppMsgBox("文件属性为只读。\r\n\r\n按<重试>删除只读属性后再试，<忽略>跳过此文件，或按<取消>取消安装。", destFile,
                          mbtError, MB_ABORTRETRYIGNORE | MB_DEFBUTTON2)) {
        case IDABORT: throw EAbort();
        case IDRETRY: {
            // The other attributes stay; whether this worked shows in the next attempt.
            const DWORD cleared = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
            SetFileAttributesW(wideDest.c_str(), cleared != 0 ? cleared : FILE_ATTRIBUTE_NORMAL);
            return TExistingFileDecision::StartOver;
        }
        case IDIGNORE: return TExistingFileDecision::Keep;
        default: break;
        }
    }
    return TExistingFileDecision::Replace;
}

}  // namespace qv
