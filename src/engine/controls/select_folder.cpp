#include "engine/controls/select_folder.h"

#include <objbase.h>
#include <shlobj.h>

#include "engine/common/app_forms.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/controls/sel_dir_form.h"
#include "engine/common/platform.h"

namespace qv {

namespace {
bool BrowseWithShell(std::string& path, HWND owner) {
    // The browser needs COM on this thread; balance our own initialisation.
    const ComInitialization com = InitializeCom();

    ComPtr<IMalloc> malloc;
    if (FAILED(SHGetMalloc(malloc.put()))) malloc.reset();  // no allocator: see ShellItemList

    wchar_t displayName[MAX_PATH] = {};
    const std::wstring title = Widen("请给出下一张磁盘位置。");
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = displayName;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    const UniqueItemList list(SHBrowseForFolderW(&bi), handle_traits::ShellItemList{malloc.get()});
    if (!list) return false;
    wchar_t buf[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(list.get(), buf)) return false;
    path = Narrow(buf);
    return true;
}

bool BrowseWithOwnDialog(std::string& path) {
    Owned<TSelDirForm> form(AppMainWindow());
    form.StartAt(path);
    if (form.ShowModal() != mrOk) return false;
    path = form.Folder();
    return true;
}
}  // namespace

bool SelectFolder(std::string& path, HWND owner) {
    if (HasWin4Shell()) return BrowseWithShell(path, owner);
    return BrowseWithOwnDialog(path);
}

}  // namespace qv
