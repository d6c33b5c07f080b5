#include "engine/instfunc/link_file.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>


#include "core/errors.h"
#include "engine/common/format_text.h"
#include "engine/common/system_error_text.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "core/text/number_text.h"

namespace qv {

namespace {

// The system's text for a COM result, or the result in hex when it has none.
std::string ComErrorText(HRESULT result) {
    const std::string text = SystemErrorText(static_cast<unsigned long>(result));
    if (!text.empty()) return text;
    return "0x" + HexDigits(static_cast<unsigned long>(result), 8);
}

void CheckCreation(HRESULT result) {
    if (FAILED(result)) throw Exception(ComErrorText(result));
}

// A link with a field missing or left unsaved is no link the caller may
// record as made.
void CheckStep(HRESULT result, const std::string& linkPath) {
    if (FAILED(result))
        throw Exception(FormatText("不能创建快捷方式 \"%s\"：%s", {linkPath, ComErrorText(result)}));
}

}  // namespace

void CreateLinkFile(const std::string& linkPath, const std::string& title, const std::string& target,
                    const std::string& arguments, const std::string& startFolder, const std::string& iconFile,
                    int iconIndex) {
    ComPtr<IUnknown> object;
    CheckCreation(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(object.put())));
    ComPtr<IShellLinkW> link;
    CheckCreation(object->QueryInterface(IID_IShellLinkW, reinterpret_cast<void**>(link.put())));

    CheckStep(link->SetPath(Widen(target).c_str()), linkPath);
    CheckStep(link->SetArguments(Widen(arguments).c_str()), linkPath);
    if (!startFolder.empty()) CheckStep(link->SetWorkingDirectory(Widen(startFolder).c_str()), linkPath);
    if (!iconFile.empty()) CheckStep(link->SetIconLocation(Widen(iconFile).c_str(), iconIndex), linkPath);
    CheckStep(link->SetDescription(Widen(title).c_str()), linkPath);

    ComPtr<IPersistFile> file;
    CheckCreation(object->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())));
    CheckStep(file->Save(Widen(linkPath).c_str(), TRUE), linkPath);
}

}  // namespace qv
