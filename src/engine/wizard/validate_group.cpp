#include "engine/wizard/validate_group.h"

#include "core/text/path_strings.h"
#include "engine/common/app_msg_box.h"
#include "engine/wizard/forbidden_chars.h"
#include "engine/wizard/uninstall_log_texts.h"

namespace qv {

std::string CleanGroupName(const std::string& typed) {
    const std::string trimmed = Trim(typed);
    std::string s;
    s.reserve(trimmed.size());
    for (const char c : trimmed)
        if (c != '\\' || s.empty() || s.back() != '\\') s += c;
    if (!s.empty() && s.front() == '\\') s.erase(0, 1);
    return StripBackslash(s);
}

PageCheck ValidateGroup(const std::string& typed, bool noIcons) {
    if (noIcons) return {true, typed};
    const std::string s = CleanGroupName(typed);
    if (s.empty()) {
        AppMsgBox("您必须输入一个程序组名。", "", mbtError, MB_OK);
        return {false, s};
    }
    // All of these are ASCII, never part of a multi-byte UTF-8 character.
    const std::string forbidden = GroupForbiddenChars();
    if (s.find_first_of(forbidden) != std::string::npos) {
        AppMsgBoxFmt("程序组名中不能包括下面字符：\r\n\r\n%s", {SpaceOutChars(forbidden)}, "", mbtError, MB_OK);
        return {false, s};
    }
    // The group's folder goes into the uninstall log, and its name to the
    // Program Manager, both in code page 936.
    const std::string outsideCp936 = CharsOutsideCp936(s);
    if (!outsideCp936.empty()) {
        AppMsgBoxFmt("程序组名中不能包括简体中文字符集以外的字符：\r\n\r\n%s", {outsideCp936}, "", mbtError, MB_OK);
        return {false, s};
    }
    return {true, s};
}

}  // namespace qv
