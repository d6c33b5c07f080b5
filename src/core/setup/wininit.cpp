#include "core/setup/wininit.h"

#include <vector>

#include "core/errors.h"
#include "core/text/cp936.h"
#include "core/text/path_strings.h"

namespace qv {

namespace {

constexpr char kRenameHeader[] = "[rename]";
constexpr char kLineEnd[] = "\r\n";
constexpr char kEndOfFileMark = '\x1A';

std::vector<std::string> SplitLines(std::string text) {
    // Text written after a trailing Ctrl-Z would be invisible to a reader
    // that stops there.
    while (!text.empty() && text.back() == kEndOfFileMark) text.pop_back();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        start = end + (crLf ? 2 : 1);
    }
    return lines;
}

// Code page 936 trail bytes lie above '[', so the first byte decides.
bool IsSectionHeader(const std::string& line) {
    const std::string trimmed = Trim(line);
    return !trimmed.empty() && trimmed.front() == '[';
}

// Only the header exactly as written, letter case aside: one with blanks
// around it opens some other section.
bool IsRenameHeader(const std::string& line) { return SameTextAscii(line, kRenameHeader); }

}  // namespace

std::string WininitRenameLine(const std::string& target, const std::string& source) {
    const std::optional<std::string> line = cp936::FromUtf8((target.empty() ? "NUL" : target) + "=" + source);
    if (!line) throw EInOutError(io_code::InvalidFilename);
    return *line;
}

std::string AddWininitRename(const std::optional<std::string>& oldFile, const std::string& renameLine) {
    const std::vector<std::string> lines = oldFile ? SplitLines(*oldFile) : std::vector<std::string>();
    std::string out;
    const auto write = [&out](const std::string& line) {
        out += line;
        out += kLineEnd;
    };
    bool inRenameSection = false;
    std::size_t next = 0;
    for (; next < lines.size(); ++next) {
        const std::string& line = lines[next];
        if (IsSectionHeader(line)) {
            if (inRenameSection) break;  // held back until the new line is in
            if (IsRenameHeader(line)) inRenameSection = true;
        }
        write(line);
    }
    if (!inRenameSection) write(kRenameHeader);
    write(renameLine);
    for (; next < lines.size(); ++next) write(lines[next]);
    return out;
}

std::optional<std::string> RemoveWininitRename(const std::string& oldFile, const std::string& renameLine) {
    std::string out;
    bool inRenameSection = false, removed = false;
    for (const std::string& line : SplitLines(oldFile)) {
        if (IsSectionHeader(line)) inRenameSection = IsRenameHeader(line);
        if (inRenameSection && SameTextAscii(line, renameLine)) {
            removed = true;
            continue;
        }
        out += line;
        out += kLineEnd;
    }
    if (!removed) return std::nullopt;
    return out;
}

}  // namespace qv
