#include "testkit/links.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::test {

LinkFields ReadLink(const std::string& linkPath) {
    LinkFields fields;
    ComPtr<IShellLinkW> link;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                              reinterpret_cast<void**>(link.put())));
    if (!link) return fields;
    ComPtr<IPersistFile> file;
    EXPECT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())));
    EXPECT_HRESULT_SUCCEEDED(file->Load(Widen(linkPath).c_str(), STGM_READ)) << linkPath;
    // The target as the shell resolves it from the item list: Wine keeps the
    // link's plain path in the ANSI code page only.
    wchar_t text[INFOTIPSIZE] = {};
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(link->GetIDList(&items)) && items && SHGetPathFromIDListW(items, text)) fields.Target = Narrow(text);
    CoTaskMemFree(items);
    text[0] = 0;
    link->GetArguments(text, INFOTIPSIZE);
    fields.Arguments = Narrow(text);
    text[0] = 0;
    link->GetWorkingDirectory(text, INFOTIPSIZE);
    fields.StartFolder = Narrow(text);
    text[0] = 0;
    link->GetIconLocation(text, INFOTIPSIZE, &fields.IconIndex);
    fields.IconFile = Narrow(text);
    text[0] = 0;
    link->GetDescription(text, INFOTIPSIZE);
    fields.Description = Narrow(text);
    return fields;
}

}  // namespace qv::test
