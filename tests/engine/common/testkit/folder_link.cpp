#include "testkit/folder_link.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv::test {

namespace {

bool IsReparsePoint(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A mount point's reparse data: the target in the form "\??\C:\...", with
// an empty print name.
bool MakeJunction(const std::string& link, const std::string& target) {
    if (!CreateDirectoryW(Widen(link).c_str(), nullptr)) return false;
    const std::wstring substitute = L"\\??\\" + Widen(target);
    const WORD substituteBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    const WORD pathBytes = static_cast<WORD>(substituteBytes + 2 * sizeof(wchar_t));  // both names end in a zero
    std::vector<BYTE> data(8 + 8 + pathBytes, 0);
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD dataLength = static_cast<WORD>(8 + pathBytes), printOffset = static_cast<WORD>(substituteBytes + 2);
    std::memcpy(&data[0], &tag, 4);
    std::memcpy(&data[4], &dataLength, 2);
    std::memcpy(&data[10], &substituteBytes, 2);  // the substitute name at offset 0
    std::memcpy(&data[12], &printOffset, 2);      // the print name after it, empty
    std::memcpy(&data[16], substitute.data(), substituteBytes);
    {
        const UniqueHFile folder(CreateFileW(Widen(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        DWORD returned = 0;
        if (folder && DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, data.data(),
                                      static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr))
            return true;
    }
    RemoveDirectoryW(Widen(link).c_str());
    return false;
}

// Wine runs Unix programs as it runs Windows ones: `program` with the Unix
// forms of `paths` as its last arguments.
bool RunUnixTool(const char* program, const std::string& options, const std::vector<std::string>& paths) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    using ToDos = WCHAR*(CDECL*)(LPCSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto toUnix =
        reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    const auto toDos =
        reinterpret_cast<ToDos>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (!toUnix || !toDos) return false;
    WCHAR* tool = toDos(program);
    if (!tool) return false;
    std::wstring command = L"\"" + std::wstring(tool) + L"\" " + Widen(options);
    HeapFree(GetProcessHeap(), 0, tool);
    for (const std::string& path : paths) {
        char* name = toUnix(Widen(path).c_str());
        if (!name) return false;
        command += L" \"" + Widen(name) + L"\"";
        HeapFree(GetProcessHeap(), 0, name);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    // Neither its end nor its exit code comes through: the caller waits
    // for the result.
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& target) {
    if (!MakeJunction(link, target)) {
        CreateSymbolicLinkW(Widen(link).c_str(), Widen(target).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
        if (!IsReparsePoint(link) && RunUnixTool("/bin/ln", "-s", {target, link}))
            for (int i = 0; i < 100 && !IsReparsePoint(link); ++i) Sleep(20);
    }
    WIN32_FIND_DATAW found;
    const UniqueFindHandle seen(FindFirstFileW(Widen(link + "\\*").c_str(), &found));
    return IsReparsePoint(link) && seen;
}

void RemoveFolderLink(const std::string& link) {
    if (!RemoveDirectoryW(Widen(link).c_str()) && !DeleteFileW(Widen(link).c_str()) &&
        GetFileAttributesW(Widen(link).c_str()) != INVALID_FILE_ATTRIBUTES)
        if (RunUnixTool("/bin/rm", "-f", {link}))  // Wine removes no Unix link itself
            for (int i = 0; i < 100 && GetFileAttributesW(Widen(link).c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
                Sleep(20);
}

}  // namespace qv::test
