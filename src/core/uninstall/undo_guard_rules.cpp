#include "core/uninstall/undo_guard_rules.h"

#include <initializer_list>
#include <vector>

#include "core/setupdata/records.h"
#include "core/text/path_strings.h"

namespace qv {

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string WithBackslashes(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// The components after the start ("C:" or the "\\" of a network path),
// empty ones left out.
std::vector<std::string> Components(const std::string& text, std::size_t from) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = from; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += text[i];
        }
    }
    return parts;
}

bool OnlyDotsAndSpaces(const std::string& part) { return part.find_first_not_of(". ") == std::string::npos; }

bool IsNetworkPath(const std::string& path) { return path.size() >= 2 && path[0] == '\\' && path[1] == '\\'; }

}  // namespace

TPathFault CheckUndoPath(const std::string& original) {
    const std::string path = WithBackslashes(original);
    for (const char* prefix : {"\\\\?\\", "\\\\.\\", "\\??\\"})
        if (path.compare(0, 4, prefix) == 0) return TPathFault::DevicePrefix;
    const bool drivePath = path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\';
    const bool networkPath = path.size() >= 3 && IsNetworkPath(path) && path[2] != '\\';
    for (std::size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (c < 0x20 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' ||
            (c == ':' && !(i == 1 && IsDriveLetter(path[0]))))
            return TPathFault::BadCharacter;
    }
    if (!drivePath && !networkPath) return TPathFault::NotFull;
    for (const std::string& part : Components(path, 2))
        if (OnlyDotsAndSpaces(part)) return TPathFault::DotComponent;
    return TPathFault::None;
}

std::string ComparablePath(const std::string& original) {
    const std::string path = LowerAscii(WithBackslashes(original));
    const bool network = IsNetworkPath(path);
    std::string result = network ? "\\\\" : path.substr(0, 2);
    std::vector<std::string> parts = Components(path, 2);
    for (std::string& part : parts) {
        // Windows drops them when it resolves a name.
        if (OnlyDotsAndSpaces(part)) continue;
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    }
    if (!network) result += '\\';
    for (std::size_t i = 0; i < parts.size(); ++i) result += (i == 0 ? "" : "\\") + parts[i];
    return result;
}

bool IsPlaceOrHoldsIt(const std::string& path, const std::string& place) {
    if (path.empty() || place.empty()) return false;
    const std::string folder = ComparablePath(path), inside = ComparablePath(place);
    if (folder == inside) return true;
    const std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
    return inside.size() > prefix.size() && inside.compare(0, prefix.size(), prefix) == 0;
}

bool IsDriveOrShareRoot(const std::string& path) {
    const std::string text = WithBackslashes(path);
    if (IsNetworkPath(text)) return Components(text, 2).size() <= 2;
    return text.size() >= 2 && text[1] == ':' && Components(text, 2).empty();
}

bool IsPredefinedRootKey(std::uint32_t root) {
    return root == kHkeyClassesRoot || root == kHkeyCurrentUser || root == kHkeyLocalMachine || root == kHkeyUsers ||
           root == kHkeyCurrentConfig;
}

namespace {

// The keys the system keeps its lists in, below HKEY_LOCAL_MACHINE and
// each user's hive.
const char* const kSystemListKeys[] = {
    "software\\microsoft\\windows\\currentversion\\uninstall",
    "software\\microsoft\\windows\\currentversion\\shareddlls",
    "software\\microsoft\\windows\\currentversion\\run",
    "software\\microsoft\\windows\\currentversion\\runonce",
    "software\\microsoft\\windows\\currentversion\\runonceex",
    "software\\microsoft\\windows\\currentversion\\runservices",
    "software\\microsoft\\windows\\currentversion\\runservicesonce",
};

void EraseIf(std::vector<std::string>& parts, std::size_t at, const char* name) {
    if (parts.size() > at && parts[at] == name) parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(at));
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* listed : names)
        if (name == listed) return true;
    return false;
}

// Keys below Software that many vendors' programs share; below them each
// application has its own.
bool IsSharedSoftwareKey(const std::string& name) {
    return IsOneOf(name, {"microsoft", "policies", "clients", "registeredapplications", "odbc", "wine"});
}

// The classes the system itself registers: removing one breaks opening
// programs, folders or documents for every application.
bool IsSystemClass(const std::string& name) {
    return IsOneOf(name, {"*", "clsid", "interface", "typelib", "appid", "mime", "installer", "directory", "folder",
                          "drive", "allfilesystemobjects", "systemfileassociations", "network", "protocols", ".exe",
                          "exefile", ".com", "comfile", ".bat", "batfile", ".cmd", "cmdfile", ".lnk", "lnkfile",
                          ".dll", "dllfile", ".sys", "sysfile", ".msi", "msi.package", ".reg", "regfile", ".ini",
                          "inifile", ".txt", "txtfile", ".inf", "inffile", ".scr", "scrfile", ".pif", "piffile",
                          "http", "https", "file"});
}

}  // namespace

bool IsProtectedKey(std::uint32_t root, const std::string& subKey, TKeyChange change, TEntrySource source) {
    std::vector<std::string> parts = Components(LowerAscii(subKey), 0);
    bool classes = root == kHkeyClassesRoot;
    if (root == kHkeyUsers) {
        // The first level names a user's hive; "<user>_Classes" is that
        // user's part of HKEY_CLASSES_ROOT.
        if (parts.empty()) return true;
        const std::string hive = parts.front();
        parts.erase(parts.begin());
        const std::string suffix = "_classes";
        if (hive.size() > suffix.size() && hive.compare(hive.size() - suffix.size(), suffix.size(), suffix) == 0)
            classes = true;
    }
    if (!classes && !parts.empty() && parts[0] == "software") {
        EraseIf(parts, 1, "wow6432node");
        if (parts.size() >= 2 && parts[1] == "classes") {
            parts.erase(parts.begin(), parts.begin() + 2);
            classes = true;
        }
    }
    if (classes) EraseIf(parts, 0, "wow6432node");

    if (parts.empty()) return true;
    if (change == TKeyChange::ChangeValue) return false;
    if (classes) {
        // One level down lie the file types and program ids: the system's
        // never go; an application's only by the word of a log its
        // installation vouched for, or of the run's own rollback.
        if (parts.size() != 1) return false;
        if (IsSystemClass(parts[0])) return true;
        return change == TKeyChange::DeleteKey && source == TEntrySource::UncheckedLog;
    }
    std::string path;
    for (const std::string& part : parts) path += (path.empty() ? "" : "\\") + part;
    bool listKey = false, holdsListKey = false;
    if (root != kHkeyCurrentConfig)
        for (const char* key : kSystemListKeys) {
            const std::string listed = key;
            listKey = listKey || path == listed;
            holdsListKey = holdsListKey || listed.compare(0, path.size() + 1, path + "\\") == 0;
        }
    if (change == TKeyChange::EmptyDefaultValue) return listKey;
    // Below Software each vendor has its own key; elsewhere (SYSTEM,
    // Control Panel, Environment, ...) the first levels are the system's.
    const bool systemLevel = parts[0] == "software"
                                 ? parts.size() == 1 || (parts.size() == 2 && IsSharedSoftwareKey(parts[1]))
                                 : parts.size() <= 3;
    return systemLevel || listKey || holdsListKey;
}

}  // namespace qv
