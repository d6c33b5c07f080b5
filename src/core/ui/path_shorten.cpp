#include "core/ui/path_shorten.h"

namespace qv {

void DropFirstFolder(std::string& dir) {
    if (dir == "\\") {
        dir.clear();
        return;
    }
    const bool hadBackslash = !dir.empty() && dir[0] == '\\';
    if (hadBackslash) dir.erase(0, 1);
    if (!dir.empty() && dir[0] == '.') dir.erase(0, 4);  // a leading "...\" from an earlier step
    const auto slash = dir.find('\\');
    if (slash != std::string::npos)
        dir = "...\\" + dir.substr(slash + 1);
    else
        dir.clear();
    if (hadBackslash) dir.insert(0, 1, '\\');
}

std::string ShortenPathToWidth(const std::string& fileName, const std::function<int(const std::string&)>& textWidth,
                               int maxWidth) {
    std::string result = fileName;
    // UTF-8 never holds a backslash byte inside a multi-byte character, so a
    // byte scan finds only real separators.
    const auto lastSlash = fileName.rfind('\\');
    std::string dir = lastSlash == std::string::npos ? std::string() : fileName.substr(0, lastSlash + 1);
    const std::string name = lastSlash == std::string::npos ? fileName : fileName.substr(lastSlash + 1);
    std::string drive;
    if (dir.size() >= 2 && dir[1] == ':') {
        drive = dir.substr(0, 2);
        dir.erase(0, 2);
    }
    while ((!dir.empty() || !drive.empty()) && textWidth(result) > maxWidth) {
        if (dir == "\\...\\") {
            drive.clear();
            dir = "...\\";
        } else if (dir.empty()) {
            drive.clear();
        } else {
            const std::string before = dir;
            DropFirstFolder(dir);
            if (dir == before) dir.clear();  // never loop on a text that does not shrink
        }
        result = drive + dir + name;
    }
    return result;
}

}  // namespace qv
