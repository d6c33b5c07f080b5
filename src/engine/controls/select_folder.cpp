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
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct ComScope {
        HRESULT hr;
        ~ComScope() {
            if (SUCCEEDED(hr)) CoUninitialize();
        }
    } comScope{com};

    ComPtr<IMalloc> malloc;
    if (FAILED(SHGetMalloc(malloc.put()))) malloc.reset();  // no allocator: see below

    wchar_t displayName[MAX_PATH] = {};
    const std::wstring title = Widen("请给出下一张磁盘位置。");
    BROWSEINFOW bi{};
    bi.hwndOwner = owner;
    bi.pszDisplayName = displayName;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST list = SHBrowseForFolderW(&bi);
    if (!list) return false;
    // The item list is freed on every path; without the shell's allocator
    // the COM task allocator (the same heap) frees it.
    struct ListFree {
        LPITEMIDLIST l;
        IMalloc* m;
        ~ListFree() {
            if (m)
                m->Free(l);
            else
                CoTaskMemFree(l);
        }
    } listFree{list, malloc.get()};
    wchar_t buf[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(list, buf)) return false;
    path = Narrow(buf);
    return true;
}

bool BrowseWithOwnDialog(std::string& path) {
    TSelDirForm form(AppMainWindow());
    try {
        form.DirList.ChangeFolder(path);
    } catch (...) {
        // A missing folder or drive: the dialog opens at the current folder.
    }
    if (form.ShowModal() != mrOk) return false;
    path = form.DirEdit.Text();
    return true;
}
}  // namespace

bool SelectFolder(std::string& path, HWND owner) {
    if (HasWin4Shell()) return BrowseWithShell(path, owner);
    return BrowseWithOwnDialog(path);
}

}  // namespace qv
