#include "engine/wizard/group_list.h"

#include <windows.h>

#include <exception>

#include "core/text/path_strings.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/windows_version.h"
#include "engine/dde/dde_owners.h"
#include "engine/dde/request_text.h"

namespace qv {

std::vector<std::string> SplitListLines(const std::string& text) {
    std::vector<std::string> lines;
    const std::size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
    std::size_t at = 0;
    while (at < end) {
        const std::size_t lineEnd = std::min(text.find_first_of("\r\n", at), end);
        lines.push_back(text.substr(at, lineEnd - at));
        at = lineEnd;
        if (at < end && text[at] == '\r') ++at;
        if (at < end && text[at] == '\n') ++at;
    }
    return lines;
}

namespace {

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

void AddSubFolders(const std::string& folder, std::vector<std::string>& groups) {
    // An unknown folder must not turn into a search of the current one.
    if (folder.empty()) return;
    WIN32_FIND_DATAW entry{};
    const UniqueFindHandle search(FindFirstFileW(Widen(AppendBackslash(folder) + "*").c_str(), &entry));
    if (!search) return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsDotEntry(entry.cFileName))
            groups.push_back(Narrow(entry.cFileName));
    } while (FindNextFileW(search.get(), &entry));
}

void AddProgmanGroups(std::vector<std::string>& groups) {
    // Declared in the order of their making, the owners let go newest
    // first: the conversation, then the string handles, then the instance.
    TDDE dde;
    dde.Create();
    const DdeStringOwner progman = MakeStringHandle(dde, "PROGMAN");
    const DdeStringOwner groupsItem = MakeStringHandle(dde, "GROUPS");
    const DdeConversationOwner conversation(dde.Connect(progman.get(), progman.get()));
    groups = SplitListLines(RequestText(dde, conversation.get(), groupsItem.get()));
}

}  // namespace

std::vector<std::string> FillGroupList(const std::string& commonProgramsFolder) {
    std::vector<std::string> groups;
    try {
        if (GetWindowsVersion().Major() >= 4)
            AddSubFolders(commonProgramsFolder, groups);
        else
            AddProgmanGroups(groups);
    } catch (const std::exception&) {
        // The list is a convenience: a name can always be typed instead.
    }
    return groups;
}

}  // namespace qv
