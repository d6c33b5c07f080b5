// The rollback journal: what an installation must put back, written to disk
// ahead of each change, so that a run that dies halfway (killed, a power
// cut) is rolled back by the next start of Setup.exe. The journal is the
// engine's own; the uninstall log keeps its format and never sees it.
//
// File layout (little-endian, packed; texts are UTF-8, unterminated):
//
// Header, written and flushed once, before the first change:
//   0   8  signature "qvjr-32" 0x1A
//   8   2  uint16 version, 1
//  10   2  uint16 header flags (jhPerMachine)
//  12   4  uint32 id of the installing process
//  16   8  uint64 creation time of that process (Windows file time, UTC):
//          with the id it names one process, across reused ids and restarts
//  24   8  uint64 time the installation began (Windows file time, UTC)
//  32   4  uint32 T, the size of the identity texts (at most kMaxIdentityText)
//  36   4  uint32 crc32 of bytes 0..35
//  40   T  identity texts: the application's name, its folder; each a
//          uint32 byte count and the bytes
//  40+T 4  uint32 crc32 of the T bytes
// Records follow at 44+T, back to back, until the end of the file. Every
// later version keeps the signature and the version where they are: a
// reader refuses another version before it trusts anything else.
//
// Record (a frame of 20 + n bytes around a body of n bytes):
//   0   4  marker "JRec"
//   4   4  uint32 record number: 1 for the first, one more for each after
//   8   4  uint32 n, the body's size (at most kMaxRecordBody)
//  12   4  uint32 crc32 of bytes 0..11
//  16   n  body
//  16+n 4  uint32 crc32 of bytes 0..15+n
// Body:
//   0   1  kind (JournalKind)
//   1   4  uint32 change number: the change this record precedes (facts) or
//          concerns (markers); the engine counts its changes from 1
//   5  ..  the kind's fields, in the order of its struct below: uint8, uint32
//          and uint64 as they are, a flag set as uint32, a Boolean as one
//          byte 0 or 1, a text or byte string as a uint32 count and the bytes,
//          a list as a uint32 count and its items
//
// Why records frame themselves: the writer only appends, so a run that dies
// while writing leaves at most its last record incomplete. Its frame header
// is then cut short or announces more bytes than the file holds: the reader
// calls that a cut tail, which is no damage (the change it preceded was never
// begun: the engine changes nothing before the record's flush returns). A
// record that fails its checksum while a sound record follows it is damage
// in the middle; the marker, the numbers and both checksums let the reader
// find the next sound record and go on from there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

namespace qv::journal {

inline constexpr std::array<std::uint8_t, 8> kSignature = {'q', 'v', 'j', 'r', '-', '3', '2', 0x1A};
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::array<std::uint8_t, 4> kRecordMarker = {'J', 'R', 'e', 'c'};

// The header's fixed part, up to and with its checksum.
inline constexpr std::size_t kVersionOffset = 8;
inline constexpr std::size_t kHeaderFlagsOffset = 10;
inline constexpr std::size_t kProcessIdOffset = 12;
inline constexpr std::size_t kProcessCreationOffset = 16;
inline constexpr std::size_t kStartTimeOffset = 24;
inline constexpr std::size_t kIdentitySizeOffset = 32;
inline constexpr std::size_t kFixedChecksumOffset = 36;
inline constexpr std::size_t kFixedHeaderSize = 40;
inline constexpr std::size_t kMaxIdentityText = 64 * 1024;

static_assert(kVersionOffset == kSignature.size());
static_assert(kIdentitySizeOffset + 4 == kFixedChecksumOffset);
static_assert(kFixedChecksumOffset + 4 == kFixedHeaderSize);

inline constexpr std::size_t kFrameNumberOffset = 4;
inline constexpr std::size_t kFrameSizeOffset = 8;
inline constexpr std::size_t kFrameChecksumOffset = 12;
inline constexpr std::size_t kFrameHeaderSize = 16;
inline constexpr std::size_t kFrameTrailerSize = 4;
inline constexpr std::size_t kFrameOverhead = kFrameHeaderSize + kFrameTrailerSize;
// A registry tree of a few megabytes is already far beyond any this system
// keeps; the cap keeps a forged size from meaning anything.
inline constexpr std::size_t kMaxRecordBody = 16 * 1024 * 1024;

static_assert(kFrameNumberOffset == kRecordMarker.size());
static_assert(kFrameChecksumOffset + 4 == kFrameHeaderSize);
static_assert(kFrameOverhead == 20);

// Header flags.
enum JournalHeaderFlag : std::uint16_t {
    jhPerMachine = 1,  // an elevated installation, journal in the machine's folder
};

struct JournalHeader {
    std::uint16_t Flags = 0;
    std::uint32_t ProcessId = 0;
    std::uint64_t ProcessCreationTime = 0;
    std::uint64_t StartTime = 0;
    std::string AppName;    // for the report of a recovery
    std::string AppFolder;  // "" before it is known
};

// ---- Facts: what to put back if the change that follows is undone ----

// A file the change replaces, moved (or, to another drive, copied) to
// Backup beforehand. A copy carries neither the times nor every attribute,
// so they travel here.
struct FileMovedAside {
    std::string Path;
    std::string Backup;
    std::uint32_t Attributes = 0;  // FILE_ATTRIBUTE_* as found
    std::uint64_t CreationTime = 0;
    std::uint64_t LastWriteTime = 0;
    std::uint64_t Size = 0;  // of the file, so that a short backup is noticed
};

// Flags of FileWasAbsent and FolderCreated.
enum JournalPathFlag : std::uint32_t {
    jfNotifyShell = 1,   // the shell shows it (a link, a folder of links): tell it when it goes
    jfWithContents = 2,  // FolderCreated only: the run's own scratch folder, removed with what is in it
};

// A file the change makes where there was none: an installed file, a link,
// a temporary file, the uninstall log. Undone by deleting it.
struct FileWasAbsent {
    std::string Path;
    std::uint32_t Flags = 0;  // jfNotifyShell
};

// A folder the change creates; removed when empty (or, jfWithContents,
// with what is in it).
struct FolderCreated {
    std::string Path;
    std::uint32_t Flags = 0;
};

// An INI value the change writes, as it was: Existed false means there was
// no such key ("none"), and the rollback removes it.
struct IniValueBefore {
    std::string File;  // full path of the INI file
    std::string Section;
    std::string Key;
    bool Existed = false;
    std::string Value;
};

// Flags of RegKeyWasAbsent.
enum JournalKeyFlag : std::uint32_t {
    jfWholeTree = 1,  // the installation's own key (the uninstall key): goes with all it holds
};

// A registry key the change creates. Without jfWholeTree it is removed
// only when the rollback leaves it empty.
struct RegKeyWasAbsent {
    std::uint32_t Root = 0;  // predefined key's handle value, as TRegistryRec.RootKey
    std::string SubKey;
    std::uint32_t Flags = 0;
};

// A registry value as it was: Existed false means "none".
struct RegValueData {
    bool Existed = false;
    std::uint32_t Type = 0;  // REG_*
    std::string Data;        // the bytes as stored
};

struct RegValueBefore {
    std::uint32_t Root = 0;
    std::string SubKey;
    std::string Name;  // "" for the default value
    RegValueData Before;
};

struct RegTreeValue {
    std::string Name;
    std::uint32_t Type = 0;
    std::string Data;
};

struct RegTreeKey {
    std::string Path;  // relative to the tree's root; "" for the root itself
    std::vector<RegTreeValue> Values;
};

// A registry key tree the change deletes or replaces (an earlier uninstall
// key of the same application), whole. It lies in the record itself: its
// checksum covers it, and no other file has to survive with the journal.
struct RegKeyTreeBefore {
    std::uint32_t Root = 0;
    std::string SubKey;
    std::vector<RegTreeKey> Keys;  // parents before their children
};

// A shared-file count the change raises; the count's value as it was.
struct SharedCountRaised {
    std::string Path;  // the file, which names the count
    RegValueData Before;
};

enum class RestartRenameWay : std::uint8_t {
    PendingRename = 1,  // NT's pending renames (MoveFileEx); not named so, as windows.h makes that a macro
    WininitIni = 2,  // the [rename] section of WININIT.INI
};

// A rename at the next restart the change arranges; Target "" deletes Source.
struct RestartRenameAdded {
    std::string Source;
    std::string Target;
    RestartRenameWay Way = RestartRenameWay::PendingRename;
};

// A library the change self-registers; undone by DllUnregisterServer.
struct LibraryRegistered {
    std::string Path;
};

// A Program Manager group (Item "") or item the change adds.
struct ProgManItemAdded {
    std::string Group;
    std::string Item;
};

// ---- Markers ----

// The change of the record's number is complete. Without it the change
// may have been made in part or not at all: its undoing finds out.
struct ChangeDone {};

// A rollback undid record Number, so that a rollback that dies halfway is
// finished by the next one without undoing anything twice.
struct RecordUndone {
    std::uint32_t Number = 0;
};

// The installation is complete: nothing is to be rolled back any more, only
// the journal and its backups deleted.
struct InstallationComplete {};

// The alternatives stand in the order of their kinds, from 1.
using JournalFact =
    std::variant<FileMovedAside, FileWasAbsent, FolderCreated, IniValueBefore, RegKeyWasAbsent, RegValueBefore,
                 RegKeyTreeBefore, SharedCountRaised, RestartRenameAdded, LibraryRegistered, ProgManItemAdded,
                 ChangeDone, RecordUndone, InstallationComplete>;

enum class JournalKind : std::uint8_t {
    FileMovedAside = 1,
    FileWasAbsent,
    FolderCreated,
    IniValueBefore,
    RegKeyWasAbsent,
    RegValueBefore,
    RegKeyTreeBefore,
    SharedCountRaised,
    RestartRenameAdded,
    LibraryRegistered,
    ProgManItemAdded,
    ChangeDone,
    RecordUndone,
    InstallationComplete,
};
static_assert(std::variant_size_v<JournalFact> == static_cast<std::size_t>(JournalKind::InstallationComplete));

inline JournalKind KindOf(const JournalFact& fact) { return static_cast<JournalKind>(fact.index() + 1); }
// Whether the kind marks progress rather than telling what to put back.
inline bool IsMarker(JournalKind kind) { return kind >= JournalKind::ChangeDone; }
// "FileMovedAside" and so on; "kind 99" for a kind this version does not know.
std::string JournalKindName(std::uint8_t kind);

struct JournalRecord {
    std::uint32_t Change = 0;
    JournalFact Fact;
};

// ---- Encoding, for the writer, the reader and their tests ----

// The whole header. Raises Exception when the identity texts exceed
// kMaxIdentityText.
std::vector<std::uint8_t> EncodeJournalHeader(const JournalHeader& header);
// The body of a record (kind, change, fields).
std::vector<std::uint8_t> EncodeJournalBody(const JournalRecord& record);
// A whole record with its frame. Raises Exception when the body exceeds
// kMaxRecordBody.
std::vector<std::uint8_t> EncodeJournalFrame(std::uint32_t number, const JournalRecord& record);

enum class BodyFault {
    None,
    UnknownKind,  // a kind this version does not know
    Malformed,    // a count past the body's end, a bad Boolean or flag, bytes left over
};
// Reads a body exactly as EncodeJournalBody writes it.
BodyFault DecodeJournalBody(const std::uint8_t* body, std::size_t size, JournalRecord& record);

// ---- Comparisons, for callers and tests ----
inline bool operator==(const JournalHeader& a, const JournalHeader& b) {
    return std::tie(a.Flags, a.ProcessId, a.ProcessCreationTime, a.StartTime, a.AppName, a.AppFolder) ==
           std::tie(b.Flags, b.ProcessId, b.ProcessCreationTime, b.StartTime, b.AppName, b.AppFolder);
}
inline bool operator==(const FileMovedAside& a, const FileMovedAside& b) {
    return std::tie(a.Path, a.Backup, a.Attributes, a.CreationTime, a.LastWriteTime, a.Size) ==
           std::tie(b.Path, b.Backup, b.Attributes, b.CreationTime, b.LastWriteTime, b.Size);
}
inline bool operator==(const FileWasAbsent& a, const FileWasAbsent& b) {
    return std::tie(a.Path, a.Flags) == std::tie(b.Path, b.Flags);
}
inline bool operator==(const FolderCreated& a, const FolderCreated& b) {
    return std::tie(a.Path, a.Flags) == std::tie(b.Path, b.Flags);
}
inline bool operator==(const IniValueBefore& a, const IniValueBefore& b) {
    return std::tie(a.File, a.Section, a.Key, a.Existed, a.Value) ==
           std::tie(b.File, b.Section, b.Key, b.Existed, b.Value);
}
inline bool operator==(const RegKeyWasAbsent& a, const RegKeyWasAbsent& b) {
    return std::tie(a.Root, a.SubKey, a.Flags) == std::tie(b.Root, b.SubKey, b.Flags);
}
inline bool operator==(const RegValueData& a, const RegValueData& b) {
    return std::tie(a.Existed, a.Type, a.Data) == std::tie(b.Existed, b.Type, b.Data);
}
inline bool operator==(const RegValueBefore& a, const RegValueBefore& b) {
    return std::tie(a.Root, a.SubKey, a.Name, a.Before) == std::tie(b.Root, b.SubKey, b.Name, b.Before);
}
inline bool operator==(const RegTreeValue& a, const RegTreeValue& b) {
    return std::tie(a.Name, a.Type, a.Data) == std::tie(b.Name, b.Type, b.Data);
}
inline bool operator==(const RegTreeKey& a, const RegTreeKey& b) {
    return std::tie(a.Path, a.Values) == std::tie(b.Path, b.Values);
}
inline bool operator==(const RegKeyTreeBefore& a, const RegKeyTreeBefore& b) {
    return std::tie(a.Root, a.SubKey, a.Keys) == std::tie(b.Root, b.SubKey, b.Keys);
}
inline bool operator==(const SharedCountRaised& a, const SharedCountRaised& b) {
    return std::tie(a.Path, a.Before) == std::tie(b.Path, b.Before);
}
inline bool operator==(const RestartRenameAdded& a, const RestartRenameAdded& b) {
    return std::tie(a.Source, a.Target, a.Way) == std::tie(b.Source, b.Target, b.Way);
}
inline bool operator==(const LibraryRegistered& a, const LibraryRegistered& b) { return a.Path == b.Path; }
inline bool operator==(const ProgManItemAdded& a, const ProgManItemAdded& b) {
    return std::tie(a.Group, a.Item) == std::tie(b.Group, b.Item);
}
inline bool operator==(const ChangeDone&, const ChangeDone&) { return true; }
inline bool operator==(const RecordUndone& a, const RecordUndone& b) { return a.Number == b.Number; }
inline bool operator==(const InstallationComplete&, const InstallationComplete&) { return true; }
inline bool operator==(const JournalRecord& a, const JournalRecord& b) {
    return a.Change == b.Change && a.Fact == b.Fact;
}

}  // namespace qv::journal
