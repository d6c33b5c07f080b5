// What an uninstall (or a rollback) may act on, whatever its log says: the
// rules that need nothing but the text of a path or a registry key. The
// engine adds what needs the machine: which folders are the system's, and
// whether a folder on the way is a link.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// Why the text of a path is not acted on.
enum class TPathFault {
    None,
    NotFull,        // relative, or relative to a drive's current folder ("C:x")
    DevicePrefix,   // "\\?\", "\\.\", "\??\": past the system's own path rules
    DotComponent,   // a "." or ".." component, which leads elsewhere than it reads
    BadCharacter,   // a control character, a wildcard, or a ":" beyond the drive's (a stream)
};

TPathFault CheckUndoPath(const std::string& path);

// The form in which two paths are compared as Windows resolves them:
// "/" as "\", repeated separators as one, trailing dots and spaces of each
// component dropped, ASCII letters in lower case, no trailing separator.
std::string ComparablePath(const std::string& path);

// `path` is `place` or a folder that holds it: removing it would remove
// `place` too. Both in any form ComparablePath accepts.
bool IsPlaceOrHoldsIt(const std::string& path, const std::string& place);

// "C:\" or "\\server\share", in any spelling.
bool IsDriveOrShareRoot(const std::string& path);

// A root key value that the system predefines (HKEY_CLASSES_ROOT and so on).
bool IsPredefinedRootKey(std::uint32_t root);

// What an entry does to a key.
enum class TKeyChange {
    DeleteKey,          // the key (with or without its subkeys)
    EmptyDefaultValue,  // the key's unnamed value set to ""
    ChangeValue,        // one named value deleted or written back
};

// Whose word an entry is: a rollback's entries are the run's own, and an
// uninstall log whose SHA-256 its uninstall key records is its
// installation's; any other log may have been written by anybody.
enum class TEntrySource { UncheckedLog, CheckedLog, OwnRun };

// The key is the system's. DeleteKey is refused for a root; for the first
// level below it (Software, SYSTEM, ...; HKEY_USERS one level deeper, as
// each user's hive is a root of its own; Software\Classes counted as
// HKEY_CLASSES_ROOT and the 32-bit view Software\Wow6432Node as Software);
// for the keys below Software that vendors share (Microsoft, Policies,
// ...); for the first three levels outside Software (SYSTEM's control
// sets and their services); for the key trees the system keeps lists in
// (the Uninstall, SharedDLLs and Run keys) and every key that holds one.
// Below HKEY_CLASSES_ROOT the first level holds the file types and program
// ids: the system's are never deleted nor emptied, an application's are
// deleted only for a checked log or the run's own rollback. An emptied
// default value is refused for the roots, those classes and the listed
// keys; a value only at a root itself.
bool IsProtectedKey(std::uint32_t root, const std::string& subKey, TKeyChange change,
                    TEntrySource source = TEntrySource::UncheckedLog);

}  // namespace qv
