// Entries that only a rollback knows: what the installation replaced or
// overwrote, put back when it failed, was cancelled or died. The rollback
// journal holds them as its facts; its undo (engine/journal/journal_undo)
// turns each into one of these entries for UndoRun. They are never in the
// installation's undo list, which carries what the uninstall log carries:
// the uninstaller removes the installation, it does not bring back what the
// installation replaced.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/uninstall/uninstall_log.h"

namespace qv {

// A file the installation replaced, moved or copied aside:
//   path; backup; "attributes creation-time write-time" (hexadecimal)
inline constexpr TChangeKind ekRestoreFile = static_cast<TChangeKind>(0x80);
// A file the installation made where there was none (an INI file):
//   path
inline constexpr TChangeKind ekRemoveNewFile = static_cast<TChangeKind>(0x81);
// A registry value before the installation wrote it; Flags = root key:
//   subkey; value name; "1" it existed, "0" it did not; type; data (hexadecimal)
inline constexpr TChangeKind ekRestoreRegValue = static_cast<TChangeKind>(0x82);
// A registry key the installation created; Flags = root key. Removed when
// the rollback leaves nothing in it:
//   subkey
inline constexpr TChangeKind ekRemoveNewKey = static_cast<TChangeKind>(0x83);
// 0x84 is left unused: it marked, in the undo list of earlier versions, a
// registry entry whose key existed before.

// A registry key tree the installation deleted (earlier uninstall keys it
// replaces); Flags = root key:
//   subkey; the tree as KeyTreeText holds it
inline constexpr TChangeKind ekRestoreKeyTree = static_cast<TChangeKind>(0x85);

// A folder the installation made that the uninstaller leaves (a file's
// folder, a folder marked so), removed by a rollback when empty:
//   folder
inline constexpr TChangeKind ekRemoveNewFolder = static_cast<TChangeKind>(0x86);

inline bool IsRollbackOnly(TChangeKind kind) { return kind >= ekRestoreFile && kind <= ekRemoveNewFolder; }

// Lower-case hexadecimal of `bytes`, and back ("" for text that is not).
std::string HexOfBytes(const std::string& bytes);
std::string BytesOfHex(const std::string& hex);

// A key with its values and subkeys as text, one line each: "K =<path>" for
// a key (relative to the tree's root, "" for the root itself), then its
// values as "V =<name> <type> =<data>", all but the type in hexadecimal. Empty
// when the key does not open.
std::string KeyTreeText(HKEY root, const std::string& subKey);
// Creates the tree of KeyTreeText again below `subKey`. False when a key or
// value cannot be written.
bool WriteKeyTree(HKEY root, const std::string& subKey, const std::string& text);

}  // namespace qv
