#include "engine/instfunc/restart_replace.h"

#include <windows.h>

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/scope_exit.h"
#include "core/setup/wininit.h"
#include "core/text/path_strings.h"
#include "engine/common/format_text.h"
#include "engine/common/full_path.h"
#include "engine/common/path_tests.h"
#include "engine/common/platform.h"
#include "engine/common/registry.h"
#include "engine/common/win_file_stream.h"
#include "engine/common/unique_name.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

void ReplaceThroughMoveFileEx(const std::string& sourceFile, const std::string& targetFile) {
    const std::wstring source = Widen(sourceFile), target = Widen(targetFile);
    if (!MoveFileExW(source.c_str(), targetFile.empty() ? nullptr : target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))
        throw Exception(FormatText("MoveFileEx 失败；代码 %d。", {static_cast<unsigned long>(GetLastError())}));
}

std::string ReadWholeFile(const std::string& path) {
    WinFileInStream file(path);  // others may read it meanwhile, nobody may write
    std::string bytes;
    char buffer[4096];
    while (const std::size_t got = file.Read(buffer, sizeof buffer)) bytes.append(buffer, got);
    return bytes;
}

void WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) RaiseLastInOutError();
    if (written != bytes.size()) throw EInOutError(io_code::DiskFull);
}

// Gives WININIT.INI in `winFolder` the contents `change` makes of its
// bytes (nullopt: there is no file). `change` returns nullopt to leave the
// file as it is. False when it did.
bool RewriteWininit(const std::string& winFolder,
                    const std::function<std::optional<std::string>(const std::optional<std::string>&)>& change) {
    const std::string wininit = AppendBackslash(winFolder) + "WININIT.INI";
    const std::wstring wideWininit = Widen(wininit);

    std::optional<std::wstring> oldCopy;
    if (FileExists(wininit)) {
        const std::string name = MakeUniqueName(winFolder, ".tmp");
        if (!MoveFileW(wideWininit.c_str(), Widen(name).c_str())) RaiseLastInOutError();
        oldCopy = Widen(name);
    }
    // Until the new file is complete, the old one is kept to be put back:
    // other programs' pending replacements live in it too.
    bool created = false, complete = false;
    const ScopeExit cleanUp([&] {
        if (complete) {
            if (oldCopy) DeleteFileW(oldCopy->c_str());
        } else if (oldCopy) {
            MoveFileExW(oldCopy->c_str(), wideWininit.c_str(), MOVEFILE_REPLACE_EXISTING);
        } else if (created) {
            DeleteFileW(wideWininit.c_str());
        }
    });

    const std::optional<std::string> oldText =
        oldCopy ? std::optional<std::string>(ReadWholeFile(Narrow(*oldCopy))) : std::nullopt;
    const std::optional<std::string> newText = change(oldText);
    if (!newText) return false;
    UniqueHFile file(CreateFileW(wideWininit.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file) RaiseLastInOutError();
    created = true;
    WriteAll(file.get(), *newText);
    if (!CloseHandle(file.release())) RaiseLastInOutError();
    complete = true;
    return true;
}

// The line of WININIT.INI for the two files, by their short names.
std::string WininitLineOf(const std::string& sourceFile, const std::string& targetFile) {
    return WininitRenameLine(targetFile.empty() ? std::string() : GetShortPath(targetFile), GetShortPath(sourceFile));
}

void ReplaceThroughWininit(const std::string& sourceFile, const std::string& targetFile, const std::string& winFolder) {
    // Made first: a name that cannot be written must not touch the file.
    const std::string line = WininitLineOf(sourceFile, targetFile);
    RewriteWininit(winFolder, [&line](const std::optional<std::string>& oldText) {
        return std::optional<std::string>(AddWininitRename(oldText, line));
    });
}

bool CancelThroughWininit(const std::string& sourceFile, const std::string& targetFile, const std::string& winFolder) {
    const std::string line = WininitLineOf(sourceFile, targetFile);
    if (!FileExists(AppendBackslash(winFolder) + "WININIT.INI")) return false;
    return RewriteWininit(winFolder, [&line](const std::optional<std::string>& oldText) {
        return oldText ? RemoveWininitRename(*oldText, line) : std::nullopt;
    });
}

// The name the system keeps a pending rename under: the full path behind
// "\??\", a network path as "\??\UNC\server\share\...".
std::wstring SystemNameOf(const std::string& path) {
    const std::wstring full = Widen(FullPathOf(path));
    if (full.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + full.substr(4);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

bool SameSystemName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

[[noreturn]] void RaiseCancelFailure(LSTATUS status) {
    throw Exception(FormatText("不能取消重新启动时的文件替换；代码 %d。", {static_cast<long>(status)}));
}

bool CancelThroughSessionManager(const std::string& sourceFile, const std::string& targetFile) {
    // Read first: a user without the right to change the list has put
    // nothing in it either.
    UniqueHKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS) RaiseCancelFailure(status);
    TRegRawValue raw;
    status = RegReadRawValue(key.get(), Narrow(kPendingRenames), raw);
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS) RaiseCancelFailure(status);
    if (raw.Type != REG_MULTI_SZ) return false;
    const std::size_t count = raw.Data.size() / sizeof(wchar_t);
    std::wstring data(count, L'\0');
    if (count != 0) std::memcpy(data.data(), raw.Data.data(), count * sizeof(wchar_t));

    // Pairs of strings: the source, then the target ("!" before it: it may
    // replace an existing file; empty: the source is deleted). An empty
    // string ends the list.
    std::vector<std::wstring> strings;
    for (std::size_t start = 0; start < count;) {
        std::size_t end = start;
        while (end < count && data[end] != L'\0') ++end;
        strings.emplace_back(data.data() + start, end - start);
        start = end + 1;
    }
    if (strings.size() % 2 != 0) strings.pop_back();

    const std::wstring source = SystemNameOf(sourceFile);
    const std::wstring target = targetFile.empty() ? std::wstring() : SystemNameOf(targetFile);
    std::wstring kept;
    bool removed = false;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        const std::wstring& pairTarget = strings[i + 1];
        const std::wstring bareTarget = pairTarget.rfind(L"!", 0) == 0 ? pairTarget.substr(1) : pairTarget;
        if (SameSystemName(strings[i], source) && SameSystemName(bareTarget, target)) {
            removed = true;
            continue;
        }
        kept += strings[i] + L'\0' + pairTarget + L'\0';
    }
    if (!removed) return false;
    status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put());
    if (status != ERROR_SUCCESS) RaiseCancelFailure(status);
    if (kept.empty()) {
        status = RegDeleteValueW(key.get(), kPendingRenames);
    } else {
        kept += L'\0';
        status = RegSetValueExW(key.get(), kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                                static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS) RaiseCancelFailure(status);
    return true;
}

}  // namespace

void RestartReplace(const std::string& sourceFile, const std::string& targetFile, const std::string& winFolder,
                    bool& restartNeeded) {
    restartNeeded = true;
    if (IsWinNT())
        ReplaceThroughMoveFileEx(sourceFile, targetFile);
    else
        ReplaceThroughWininit(sourceFile, targetFile, winFolder);
}

bool CancelRestartReplace(const std::string& sourceFile, const std::string& targetFile, const std::string& winFolder) {
    if (IsWinNT()) return CancelThroughSessionManager(sourceFile, targetFile);
    return CancelThroughWininit(sourceFile, targetFile, winFolder);
}

}  // namespace qv
