#include "core/ui/folder_paths.h"

namespace qv {

std::string DrivePrefix(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        // \\SERVER\SHARE: up to the backslash after the share name.
        const auto serverEnd = path.find('\\', 2);
        if (serverEnd == std::string::npos) return path;
        const auto shareEnd = path.find('\\', serverEnd + 1);
        return shareEnd == std::string::npos ? path : path.substr(0, shareEnd);
    }
    return {};
}

int FolderDepth(const std::string& path) {
    std::string p = path;
    if (p.empty() || p.back() != '\\') p += '\\';
    int depth = (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') ? -3 : 0;
    for (char c : p)
        if (c == '\\') ++depth;
    return depth;
}

namespace {
// Splits at backslashes: every component but the last is an ancestor, the
// last is the current folder; a text ending in a backslash is one item.
void AddComponents(const std::string& text, bool rootGetsBackslash, std::vector<FolderItem>& out) {
    if (text.empty()) return;
    if (text.back() == '\\') {
        out.push_back({text, fkCurrent});
        return;
    }
    std::size_t start = 0;
    bool first = true;
    for (;;) {
        const auto slash = text.find('\\', start);
        if (slash == std::string::npos) {
            out.push_back({text.substr(start), fkCurrent});
            return;
        }
        std::string part = text.substr(start, slash - start);
        if (first && rootGetsBackslash) part += '\\';
        out.push_back({part, fkAncestor});
        first = false;
        start = slash + 1;
    }
}
}  // namespace

std::vector<FolderItem> AncestorItems(const std::string& folderPath) {
    std::vector<FolderItem> items;
    const std::string root = DrivePrefix(folderPath) + "\\";
    if (root.size() >= 2 && root[1] == '\\') {
        // A network share: the root is one item, the rest is split plainly.
        const std::string rest = folderPath.size() > root.size() ? folderPath.substr(root.size()) : std::string();
        items.push_back({root, rest.empty() ? fkCurrent : fkAncestor});
        AddComponents(rest, false, items);
    } else {
        AddComponents(folderPath, true, items);
    }
    return items;
}

std::string FolderItemFullPath(const std::string& folderPath, int index, const FolderItem& item) {
    const std::string prefix = DrivePrefix(folderPath);
    if (index == 0) return prefix + "\\";
    switch (item.Kind) {
        case fkSubFolder:
            return (!folderPath.empty() && folderPath.back() == '\\' ? folderPath : folderPath + "\\") + item.Name;
        case fkCurrent:
            return folderPath;
        case fkAncestor: {
            // Up to, not including, the (index + 1)-th backslash after the prefix.
            const std::string rest = folderPath.substr(prefix.size());
            int seen = 0;
            for (std::size_t i = 0; i < rest.size(); ++i) {
                if (rest[i] == '\\' && ++seen == index + 1) return prefix + rest.substr(0, i);
            }
            return prefix + rest;
        }
    }
    return {};
}

}  // namespace qv
