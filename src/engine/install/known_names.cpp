#include "engine/install/known_names.h"

#include <windows.h>

#include "core/text/path_strings.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

// Windows drops trailing dots and blanks of a name and compares letters
// of every script without regard to case.
std::wstring Comparable(std::wstring name) {
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

}  // namespace

bool TKnownNames::MayExist(const std::string& path) {
    const std::string folder = ExtractFileDir(path);
    const std::wstring name = Comparable(Widen(ExtractFileName(path)));
    // A name Windows would not take as it stands (a stream, a wildcard) is
    // left to the system.
    if (folder.empty() || name.empty() || name.find_first_of(L":*?") != std::wstring::npos) return true;
    const std::wstring prefix = Comparable(Widen(folder)) + L"\\";
    if (!known_.count(prefix + L"*")) {
        std::set<std::wstring> names;
        WIN32_FIND_DATAW entry;
        UniqueFindHandle find(FindFirstFileW(Widen(AppendBackslash(folder) + "*").c_str(), &entry));
        if (!find) {
            // A folder not there yet holds nothing; any other failure
            // leaves the answers to the system.
            const DWORD error = GetLastError();
            if (error != ERROR_PATH_NOT_FOUND && error != ERROR_FILE_NOT_FOUND) return true;
        } else {
            do {
                names.insert(prefix + Comparable(entry.cFileName));
                if (entry.cAlternateFileName[0]) names.insert(prefix + Comparable(entry.cAlternateFileName));
            } while (FindNextFileW(find.get(), &entry));
            if (GetLastError() != ERROR_NO_MORE_FILES) return true;
        }
        known_.merge(names);
        known_.insert(prefix + L"*");
    }
    return known_.count(prefix + name) != 0;
}

void TKnownNames::Added(const std::string& path) {
    const std::wstring prefix = Comparable(Widen(ExtractFileDir(path))) + L"\\";
    if (known_.count(prefix + L"*")) known_.insert(prefix + Comparable(Widen(ExtractFileName(path))));
}

}  // namespace qv
