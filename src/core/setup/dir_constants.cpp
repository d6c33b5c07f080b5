#include "core/setup/dir_constants.h"

#include "core/errors.h"
#include "core/text/path_strings.h"

namespace qv {

namespace {

constexpr const char* kShellFolderNames[8] = {
    "userdesktop", "userstartmenu", "userprograms", "userstartup",
    "commondesktop", "commonstartmenu", "commonprograms", "commonstartup",
};
constexpr std::size_t kCommonProgramsIndex = 6;

[[noreturn]] void InternalErrorC100() { throw Exception("内部错误 C100"); }

// The value of constant `name`; false when it is not a constant.
bool LookUp(const std::string& name, const DirConstantValues& v, std::string& value) {
    const std::pair<const char*, const std::string*> plain[] = {
        {"src", &v.Src}, {"tmp", &v.Tmp}, {"app", &v.App}, {"win", &v.Win},
        {"sys", &v.Sys}, {"sd", &v.Sd},   {"pf", &v.Pf},   {"cf", &v.Cf},
    };
    for (const auto& [constant, folder] : plain) {
        if (name == constant) {
            value = *folder;
            return true;
        }
    }
    if (name == "group") {
        const std::string& programs = v.ShellFolders[kCommonProgramsIndex];
        if (programs.empty()) InternalErrorC100();
        value = AppendBackslash(programs) + v.Group;
        return true;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        if (name == kShellFolderNames[i]) {
            if (v.ShellFolders[i].empty()) InternalErrorC100();
            value = v.ShellFolders[i];
            return true;
        }
    }
    return false;
}

}  // namespace

std::string ExpandDirConstants(const std::string& s, const DirConstantValues& values) {
    std::string r = s;
    std::size_t p = 0;
    for (;;) {
        const std::size_t open = r.find('{', p);
        if (open == std::string::npos) return r;
        const std::size_t next = r.find_first_of("{}", open + 1);
        if (next == std::string::npos) {  // the "{" stays literal
            p = open + 1;
            continue;
        }
        if (r[next] == '{') {  // the earlier "{" stays literal
            p = next;
            continue;
        }
        const std::string name = r.substr(open + 1, next - open - 1);
        p = next + 1;
        std::string value;
        if (!LookUp(name, values, value)) continue;
        r.replace(open, next - open + 1, value);
        p = open + value.size();
        // {app}\x with {app} = C:\ gives C:\x.
        if (!value.empty() && value.back() == '\\' && p < r.size() && r[p] == '\\') r.erase(p, 1);
    }
}

}  // namespace qv
