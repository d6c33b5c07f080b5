#include "undo_test_support.h"

#include <shlobj.h>

#include <cstring>
#include <ostream>
#include <stdexcept>

#include "engine/common/own_machine.h"
#include "engine/common/registry.h"
#include "engine/common/win_text.h"
#include "engine/instfunc/library_registration.h"
#include "engine/instfunc/shared_file_count.h"
#include "testkit/scratch.h"

namespace qv::test {

namespace {

// A test program serves no switch of its own: the uninstaller built beside
// it unregisters the test libraries in its stead, as it does its own.
const bool unregisteringThroughTheUninstaller =
    (UseLibraryRegistrationProgram(ProgramFolder() + "\\" + OwnUninstallerFileName()), true);

constexpr UINT kNotifyMessage = WM_APP + 17;
constexpr wchar_t kMarkerPath[] = L"C:\\qv-undo-test-marker";
constexpr wchar_t kWindowClass[] = L"QVUndoTestShellNotifications";

}  // namespace

bool ShellEvent::operator==(const ShellEvent& other) const {
    return Event == other.Event && lstrcmpiW(Widen(Path).c_str(), Widen(other.Path).c_str()) == 0;
}

std::ostream& operator<<(std::ostream& out, const ShellEvent& event) {
    return out << "event 0x" << std::hex << event.Event << std::dec << " " << event.Path;
}

ShellNotifications::ShellNotifications() {
    static const ATOM windowClass = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        return RegisterClassW(&wc);
    }();
    if (!windowClass) throw std::runtime_error("cannot register the notification window class");
    window_.reset(CreateWindowW(kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    if (!window_) throw std::runtime_error("cannot create the notification window");
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SHChangeNotifyEntry everywhere = {nullptr, TRUE};
    registration_ = SHChangeNotifyRegister(window_.get(),
                                           SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery,
                                           SHCNE_ALLEVENTS, kNotifyMessage, 1, &everywhere);
    if (!registration_) throw std::runtime_error("SHChangeNotifyRegister failed");
}

ShellNotifications::~ShellNotifications() { SHChangeNotifyDeregister(registration_); }

LRESULT CALLBACK ShellNotifications::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kNotifyMessage) return DefWindowProcW(window, message, wParam, lParam);
    auto* self = reinterpret_cast<ShellNotifications*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    PIDLIST_ABSOLUTE* items = nullptr;
    LONG event = 0;
    const HANDLE lock = SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wParam), static_cast<DWORD>(lParam),
                                                  &items, &event);
    if (!lock) return 0;
    wchar_t path[MAX_PATH] = {};
    if (items && items[0]) SHGetPathFromIDListW(items[0], path);
    SHChangeNotification_Unlock(lock);
    if (self) self->events_.push_back({event, Narrow(path)});
    return 0;
}

std::vector<ShellEvent> ShellNotifications::Take() {
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW | SHCNF_FLUSH, kMarkerPath, nullptr);
    const ShellEvent marker{SHCNE_UPDATEITEM, Narrow(kMarkerPath)};
    const DWORD start = GetTickCount();
    for (;;) {
        for (std::size_t i = 0; i < events_.size(); ++i)
            if (events_[i] == marker) {
                std::vector<ShellEvent> taken(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(i));
                events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
                return taken;
            }
        if (GetTickCount() - start > 10000) throw std::runtime_error("the shell's marker notification never came");
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

PrivateRegistryKey::PrivateRegistryKey()
    : path_("Software\\QVSetupTests\\Undo-" + std::to_string(GetCurrentProcessId())) {
    RegDeleteKeyTree(HKEY_CURRENT_USER, path_);
    CreateKey(HKEY_CURRENT_USER, path_);
}

PrivateRegistryKey::~PrivateRegistryKey() {
    RegDeleteKeyTree(HKEY_CURRENT_USER, path_);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\QVSetupTests");  // only when no other test keeps a key there
}

void CreateKey(HKEY root, const std::string& subKey) {
    UniqueHKey key;
    if (RegCreateKeyExW(root, Widen(subKey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot create the key " + subKey);
}

bool KeyExists(HKEY root, const std::string& subKey) {
    UniqueHKey key;
    return RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

void SetStringValue(HKEY root, const std::string& subKey, const std::string* name, const std::string& value) {
    CreateKey(root, subKey);
    const std::wstring text = Widen(value);
    if (RegSetKeyValueW(root, Widen(subKey).c_str(), name ? Widen(*name).c_str() : nullptr, REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        throw std::runtime_error("cannot set a value in " + subKey);
}

bool ValueExists(HKEY root, const std::string& subKey, const std::string* name) {
    UniqueHKey key;
    if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    return RegHasValue(key.get(), name ? *name : std::string());
}

std::string StringValue(HKEY root, const std::string& subKey, const std::string* name) {
    UniqueHKey key;
    if (RegOpenKeyExW(root, Widen(subKey).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return "<missing>";
    const std::wstring wideName = name ? Widen(*name) : std::wstring();
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return "<missing>";
    if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
    std::string text;
    RegReadString(key.get(), name ? *name : std::string(), text);
    return text;
}

std::ostream& operator<<(std::ostream& out, const RawValue& value) {
    out << "type " << value.Type << ", bytes";
    for (BYTE b : value.Bytes) out << ' ' << static_cast<int>(b);
    return out;
}

RawValue Dword(std::uint32_t n) { return {REG_DWORD, {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)}}; }
RawValue Binary(std::vector<BYTE> bytes) { return {REG_BINARY, std::move(bytes)}; }
RawValue Text(const std::wstring& text) {
    const auto* p = reinterpret_cast<const BYTE*>(text.c_str());
    return {REG_SZ, std::vector<BYTE>(p, p + (text.size() + 1) * sizeof(wchar_t))};
}

SharedCounts::SharedCounts() : key_(OpenSharedDllsKey()) {}

SharedCounts::~SharedCounts() {
    for (const auto& name : names_) RegDeleteValueW(key_.get(), Widen(name).c_str());
}

void SharedCounts::Store(const std::string& file, const RawValue& value) {
    names_.push_back(file);
    if (RegSetValueExW(key_.get(), Widen(file).c_str(), 0, value.Type, value.Bytes.data(),
                       static_cast<DWORD>(value.Bytes.size())) != ERROR_SUCCESS)
        throw std::runtime_error("cannot store the shared count of " + file);
}

RawValue SharedCounts::Stored(const std::string& file) const {
    RawValue value;
    DWORD size = 0;
    const std::wstring name = Widen(file);
    if (RegQueryValueExW(key_.get(), name.c_str(), nullptr, &value.Type, nullptr, &size) != ERROR_SUCCESS) return {};
    value.Bytes.resize(size);
    RegQueryValueExW(key_.get(), name.c_str(), nullptr, &value.Type, value.Bytes.data(), &size);
    return value;
}

CurrentDirectoryScope::CurrentDirectoryScope() : saved_(Widen(CurrentDirectory())) {}
CurrentDirectoryScope::~CurrentDirectoryScope() { SetCurrentDirectoryW(saved_.c_str()); }

std::string CurrentDirectory() {
    wchar_t buffer[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, buffer);
    return Narrow(buffer);
}

UnregisterProbe::UnregisterProbe(const std::string& logPath)
    : logPath_(logPath), log_("QV_UNREGISTER_LOG", logPath) {}

void UnregisterProbe::CopyTo(const std::string& path) const {
    if (!CopyFileW(Widen(ProgramFolder() + "\\unregister_probe.dll").c_str(), Widen(path).c_str(), FALSE))
        throw std::runtime_error("cannot copy unregister_probe.dll to " + path);
}

std::vector<std::string> UnregisterProbe::Calls() const {
    std::vector<std::string> calls;
    if (!Exists(logPath_)) return calls;
    const std::vector<std::uint8_t> bytes = ReadFileBytes(logPath_);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        calls.push_back(Narrow(text.substr(start, end - start)));
    return calls;
}

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool Exists(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFolder(const std::string& path) {
    if (!CreateDirectoryW(Widen(path).c_str(), nullptr)) throw std::runtime_error("cannot create " + path);
}

}  // namespace qv::test
