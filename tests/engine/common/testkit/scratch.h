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
// The folder of the shipped programs that a test starts (Setup.exe and its
// uninstaller): QV_ENGINE_DIR when set, so that the same tests run the i686
// build's programs on 64-bit Windows; else ProgramFolder().
std::string EngineFolder();
// The file name of that engine's uninstaller (or of the one in `engine`),
// there and in the Windows folder: UNISTB64.EXE beside an x86-64 engine,
// UNISTB32.EXE beside an i686 one.
std::string UninstallerName(const std::string& engine = EngineFolder());
// Whether that engine is the i686 one.
bool EngineIsI686();
// The registry view that engine writes to: its own machine type's
// (KEY_WOW64_32KEY for the i686 engine, which stays in the 32-bit view of
// 64-bit Windows). The kit's registry readers look there.
REGSAM EngineRegistryView();
// The other view of 64-bit Windows, which that engine never touches.
REGSAM OtherRegistryView();
// Removes a key with everything below it in `view` (tests clean up in the
// engine's view: Wine gives a later run the same process id, and so the
// same names).
void DeleteRegistryTree(HKEY root, const std::string& subKey, REGSAM view = EngineRegistryView());
// A folder of the shell by its CSIDL (the Start Menu's programs, ...).
std::string ShellFolder(int csidl);
// The same folder as that engine sees it: the i686 engine on 64-bit
// Windows is given the (x86) Program Files and Common Files.
std::string EngineShellFolder(int csidl);

}  // namespace qv::test
