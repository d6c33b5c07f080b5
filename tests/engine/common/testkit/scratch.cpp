#include "testkit/scratch.h"

#include <shlobj.h>

#include <random>
#include <stdexcept>

#include "core/setup/machine_type.h"
#include "core/text/path_strings.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/delete_folder_tree.h"

namespace qv::test {

ScratchFolder::ScratchFolder(const std::string& name) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    static std::mt19937 rng(GetTickCount() ^ GetCurrentProcessId());
    for (;;) {
        path_ = AppendBackslash(Narrow(temp)) + name + "-" + std::to_string(rng() % 1000000);
        if (CreateDirectoryW(Widen(path_).c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + path_);
    }
}

ScratchFolder::~ScratchFolder() { DeleteFolderTree(path_); }

ScopedEnvVar::ScopedEnvVar(const std::string& name, const std::optional<std::string>& value)
    : name_(Widen(name)) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name_.c_str(), buffer, 32768);
    if (n > 0 && n < 32768) old_ = std::wstring(buffer, n);
    SetEnvironmentVariableW(name_.c_str(), value ? Widen(*value).c_str() : nullptr);
}

ScopedEnvVar::~ScopedEnvVar() { SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr); }

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    UniqueHFile file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    UniqueHFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) throw std::runtime_error("cannot read " + path);
    std::vector<std::uint8_t> bytes(GetFileSize(file.get(), nullptr));
    DWORD got = 0;
    ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    return bytes;
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(FindFirstFileW(Widen(AppendBackslash(folder) + pattern).c_str(), &entry));
    if (!find) return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(Narrow(name));
    } while (FindNextFileW(find.get(), &entry));
    return names;
}

std::string ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return StripBackslash(ExtractFileDir(Narrow(path, n)));
}

std::string EngineFolder() {
    const wchar_t* folder = _wgetenv(L"QV_ENGINE_DIR");
    return folder && *folder ? StripBackslash(Narrow(folder)) : ProgramFolder();
}

std::string UninstallerName(const std::string& engine) {
    const std::string x64 = UninstallerFileName(TMachineType::X64);
    return FileExists(engine + "\\" + x64) ? x64 : UninstallerFileName(TMachineType::X86);
}

bool EngineIsI686() { return UninstallerName() == UninstallerFileName(TMachineType::X86); }

REGSAM EngineRegistryView() { return EngineIsI686() ? KEY_WOW64_32KEY : 0; }

std::string ShellFolder(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE);
    return Narrow(folder);
}

REGSAM OtherRegistryView() { return EngineIsI686() ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

void DeleteRegistryTree(HKEY root, const std::string& subKey, REGSAM view) {
    const std::size_t cut = subKey.rfind('\\');
    UniqueHKey parent;
    if (cut == std::string::npos) {
        RegDeleteTreeW(root, Widen(subKey).c_str());
        return;
    }
    if (RegOpenKeyExW(root, Widen(subKey.substr(0, cut)).c_str(), 0, KEY_ALL_ACCESS | view, parent.put()) ==
        ERROR_SUCCESS)
        RegDeleteTreeW(parent.get(), Widen(subKey.substr(cut + 1)).c_str());
}

std::string EngineShellFolder(int csidl) {
    if (EngineIsI686()) {
        if (csidl == CSIDL_PROGRAM_FILES) csidl = CSIDL_PROGRAM_FILESX86;
        if (csidl == CSIDL_PROGRAM_FILES_COMMON) csidl = CSIDL_PROGRAM_FILES_COMMONX86;
    }
    return ShellFolder(csidl);
}

std::string ReadRegistryString(HKEY root, const std::string& subKey, const std::string& name) {
    UniqueHKey key;
    if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_QUERY_VALUE | EngineRegistryView(), key.put()) !=
        ERROR_SUCCESS)
        return "<no key>";
    wchar_t value[2048] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), Widen(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS)
        return "<no value>";
    return Narrow(value);
}

}  // namespace qv::test
