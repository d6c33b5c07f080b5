#include "engine/wizard/validate_folder.h"

#include "core/text/path_strings.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/path_tests.h"
#include "engine/wizard/forbidden_chars.h"
#include "engine/wizard/uninstall_log_texts.h"

namespace qv {

namespace {

PageCheck Refuse(std::string text) { return {false, std::move(text)}; }

void ShowError(const std::string& message) { AppMsgBox(message, "", mbtError, MB_OK); }

bool IsDrivePathWithFolder(const std::string& s) { return s.size() >= 4 && s[1] == ':' && s[2] == '\\'; }

// Every forbidden character is ASCII and no byte of a multi-byte UTF-8
// character is, so the text can be searched byte by byte.
bool HasForbiddenAfterRoot(const std::string& s, const std::string& forbidden) {
    return s.find_first_of(forbidden, 3) != std::string::npos;
}

}  // namespace

PageCheck ValidateFolder(const std::string& typed, std::uint64_t totalFileSize, const DriveFreeSpaceQuery& freeSpace) {
    std::string s = Trim(typed);
    if (s.find("\\\\") != std::string::npos) {
        ShowError(
            "设置程序不能以通用命名标准(UNC)安装。如果您试图将软件安装到网络，必须首先映射一个网络驱动器。");
        return Refuse(s);
    }
    if (!IsDrivePathWithFolder(s)) {
        ShowError("您必须输入完整路径名，包括盘符；例如：\r\nC:\\APP");
        return Refuse(s);
    }
    const std::string forbidden = FolderForbiddenChars();
    if (HasForbiddenAfterRoot(s, forbidden)) {
        AppMsgBoxFmt("文件夹名中不能包括下面列出的所有字符：\r\n\r\n%s", {SpaceOutChars(forbidden)}, "", mbtError,
                     MB_OK);
        return Refuse(s);
    }
    // The setup records its paths in code page 936 (the uninstall log above
    // all): a folder outside it would fail only once everything is installed.
    const std::string outsideCp936 = CharsOutsideCp936(s);
    if (!outsideCp936.empty()) {
        AppMsgBoxFmt("文件夹名中不能包括简体中文字符集以外的字符：\r\n\r\n%s", {outsideCp936}, "", mbtError, MB_OK);
        return Refuse(s);
    }
    const char drive = UpperAscii(s[0]);
    std::uint64_t freeBytes = 0;
    if (drive < 'A' || drive > 'Z' || !freeSpace(drive, freeBytes)) {
        ShowError("您选择的盘符不存在，请重新选择。");
        return Refuse(s);
    }
    s = StripBackslash(s);
    if (totalFileSize > freeBytes) {
        const int answer = AppMsgBoxFmt(
            "设置程序需要最少 %d KB 自由空间来安装, 但指定的驱动器仅有 %d KB 可以使用。\r\n\r\n想继续安装吗？",
            {static_cast<long long>(totalFileSize / 1024), static_cast<long long>(freeBytes / 1024)},
            "没有足够的磁盘空间", mbtConfirmation, MB_YESNO | MB_DEFBUTTON2);
        if (answer != IDYES) return Refuse(s);
    }
    if (FolderExists(s)) {
        const int answer = AppMsgBoxFmt("文件夹 %s 已经存在。\r\n\r\n您还想继续安装吗？", {s}, "文件夹已存在",
                                        mbtConfirmation, MB_YESNO);
        return {answer == IDYES, s};
    }
    return {true, s};
}

}  // namespace qv
