#include "tool/extract_paths.h"

#include <algorithm>
#include <cctype>

namespace qv::tool {

namespace {

const char* const kConstants[] = {
    "src", "tmp", "app", "win", "sys", "sd", "pf", "cf", "group", "userdesktop", "userstartmenu",
    "userprograms", "userstartup", "commondesktop", "commonstartmenu", "commonprograms", "commonstartup"};

// "{app}\x" -> "app\x": each directory constant becomes its name.
std::string ReplaceConstants(const std::string& path) {
    std::string result;
    for (std::size_t i = 0; i < path.size();) {
        if (path[i] == '{') {
            const std::size_t close = path.find('}', i);
            if (close != std::string::npos) {
                const std::string name = path.substr(i + 1, close - i - 1);
                if (std::find(std::begin(kConstants), std::end(kConstants), name) != std::end(kConstants)) {
                    result += name;
                    i = close + 1;
                    continue;
                }
            }
        }
        result += path[i++];
    }
    return result;
}

// Names Windows gives to devices, whatever their extension.
bool IsDeviceName(const std::string& part) {
    std::string base = part.substr(0, part.find('.'));
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

MappedPath MapDestination(const std::string& destPath) {
    MappedPath mapped;
    const std::string path = ReplaceConstants(destPath);
    if (path.empty()) {
        mapped.Refusal = "the path is empty";
        return mapped;
    }
    if (path[0] == '\\' || path[0] == '/') {
        mapped.Refusal = "it is an absolute path";
        return mapped;
    }
    if (path.find(':') != std::string::npos) {
        mapped.Refusal = "it holds a drive letter or a ':'";
        return mapped;
    }
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/') {
            if (static_cast<unsigned char>(path[i]) < 0x20) {
                mapped.Refusal = "it holds a control character";
                return mapped;
            }
            part += path[i];
            continue;
        }
        if (part.empty()) continue;  // a doubled separator
        // Windows drops trailing dots and blanks: ". ." and "..." mean "..".
        if (part.find_last_not_of(". ") == std::string::npos) {
            mapped.Refusal = "it holds '" + part + "', a name of only dots and blanks (such as '..')";
            return mapped;
        }
        if (IsDeviceName(part)) {
            mapped.Refusal = "it names the Windows device '" + part + "'";
            return mapped;
        }
        mapped.Parts.push_back(part);
        part.clear();
    }
    return mapped;
}

}  // namespace qv::tool
