// Scratch folders, environment variables and files for engine tests, on
// the real Win32 file system.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::test {

// A fresh folder in the system's temporary folder, removed with everything
// in it at scope end. Paths are UTF-8 with backslashes.
class ScratchFolder {
public:
    // `name` goes into the folder's name (spaces and Chinese welcome).
    explicit ScratchFolder(const std::string& name = "qvtest");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Sets (or with nullopt removes) an environment variable for a scope.
class ScopedEnvVar {
public:
    ScopedEnvVar(const std::string& name, const std::optional<std::string>& value);
    ~ScopedEnvVar();
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
// Names (not paths) of the entries of `folder` that match `pattern`.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern = "*");
// A string value of the registry as the tests compare it: "<no key>" or
// "<no value>" when it is not there.
std::string ReadRegistryString(HKEY root, const std::string& subKey, const std::string& name);
// The folder of this test program (where every built program lies).
std::string ProgramFolder();
// A folder of the shell by its CSIDL (the Start Menu's programs, ...).
std::string ShellFolder(int csidl);

}  // namespace qv::test
