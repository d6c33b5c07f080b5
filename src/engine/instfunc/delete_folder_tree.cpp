#include "engine/instfunc/delete_folder_tree.h"

#include <windows.h>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

bool DeleteTree(const std::wstring& folder) {
    bool result = true;
    const std::wstring prefix = folder.back() == L'\\' ? folder : folder + L'\\';
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(FindFirstFileW((prefix + L"*").c_str(), &entry));
    if (find) {
        do {
            const std::wstring name = entry.cFileName;
            const std::wstring path = prefix + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesW(path.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (name == L"." || name == L"..") continue;
                // A linked folder (junction or symbolic link) is removed as a
                // link: its target lies outside this tree and is not ours.
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    if (!RemoveDirectoryW(path.c_str())) result = false;
                } else if (!DeleteTree(path)) {
                    result = false;
                }
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.get(), &entry));
    }
    find.reset();
    if (!RemoveDirectoryW(folder.c_str())) result = false;
    return result;
}

}  // namespace

bool DeleteFolderTree(const std::string& folder) {
    // An empty name would enumerate, and empty, the current folder.
    if (folder.empty()) return false;
    return DeleteTree(Widen(folder));
}

}  // namespace qv
