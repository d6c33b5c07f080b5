// What the undo tests watch: the shell's change notifications, a private
// registry key, the shared-file counts, the current directory.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/common/win_handles.h"
#include "testkit/scratch.h"

namespace qv::test {

struct ShellEvent {
    LONG Event = 0;  // SHCNE_DELETE, SHCNE_RMDIR, SHCNE_UPDATEDIR...
    std::string Path;
    bool operator==(const ShellEvent& other) const;
};
std::ostream& operator<<(std::ostream& out, const ShellEvent& event);

// Every change notification the shell sends from now on, as a window of
// the shell would receive it.
class ShellNotifications {
public:
    ShellNotifications();
    ~ShellNotifications();
    ShellNotifications(const ShellNotifications&) = delete;
    ShellNotifications& operator=(const ShellNotifications&) = delete;

    // The notifications sent so far, in order, and forgets them: a marker
    // is sent and the window's messages are handled until it arrives.
    std::vector<ShellEvent> Take();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueHWnd window_;
    ULONG registration_ = 0;
    std::vector<ShellEvent> events_;
};

// HKEY_CURRENT_USER\Software\QVSetupTests\Undo-<process id>, made empty
// and removed with everything in it at scope end.
class PrivateRegistryKey {
public:
    PrivateRegistryKey();
    ~PrivateRegistryKey();
    PrivateRegistryKey(const PrivateRegistryKey&) = delete;
    PrivateRegistryKey& operator=(const PrivateRegistryKey&) = delete;

    // The subkey path below HKEY_CURRENT_USER.
    const std::string& path() const { return path_; }
    std::string sub(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Registry helpers on full subkey paths below a root.
void CreateKey(HKEY root, const std::string& subKey);
bool KeyExists(HKEY root, const std::string& subKey);
void SetStringValue(HKEY root, const std::string& subKey, const std::string* name, const std::string& value);
bool ValueExists(HKEY root, const std::string& subKey, const std::string* name);
// The REG_SZ value; "<missing>" or "<type N>" when it is not one.
std::string StringValue(HKEY root, const std::string& subKey, const std::string* name);

// A raw registry value.
struct RawValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Bytes;
    bool operator==(const RawValue& other) const { return Type == other.Type && Bytes == other.Bytes; }
};
std::ostream& operator<<(std::ostream& out, const RawValue& value);
RawValue Dword(std::uint32_t n);
RawValue Binary(std::vector<BYTE> bytes);
RawValue Text(const std::wstring& text);

// Counts of made-up files in the real SharedDLLs key, removed at scope end.
class SharedCounts {
public:
    SharedCounts();
    ~SharedCounts();
    SharedCounts(const SharedCounts&) = delete;
    SharedCounts& operator=(const SharedCounts&) = delete;

    // Stores `value` under `file` (removed again at scope end).
    void Store(const std::string& file, const RawValue& value);
    // The value stored under `file`; Type REG_NONE when there is none.
    RawValue Stored(const std::string& file) const;

private:
    UniqueHKey key_;
    std::vector<std::string> names_;
};

// Restores the process's current directory at scope end.
class CurrentDirectoryScope {
public:
    CurrentDirectoryScope();
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::wstring saved_;
};
std::string CurrentDirectory();

// unregister_probe.dll, the self-registering library whose
// DllUnregisterServer records each call, in copies made by a test.
class UnregisterProbe {
public:
    // The calls are recorded in `logPath`.
    explicit UnregisterProbe(const std::string& logPath);
    // Copies the library to `path`.
    void CopyTo(const std::string& path) const;
    // The paths of the copies whose DllUnregisterServer ran, in order.
    std::vector<std::string> Calls() const;

private:
    std::string logPath_;
    ScopedEnvVar log_;
};

void WriteText(const std::string& path, const std::string& text = "x");
bool Exists(const std::string& path);
void MakeFolder(const std::string& path);

}  // namespace qv::test
