// The uninstall log: every change an installation made, oldest first, as the
// undo list holds it in memory and as the uninstaller reads it from disk.
//
// File layout (little-endian, packed):
//   0  8   signature "u109-32" 0x1A
//   8  2   uint16 EntryCount
//  10  64  AppName, string[63]: a length byte (0..63), the bytes, zero padding
//  74  1   AdminInstall, 1 or 0
//  75  3   reserved, zero
//  78  ... EntryCount entries back to back, nothing after the last one
// Entry (15 + DataLength bytes):
//   0  4   Prev  } links of the in-memory list; written as zero, never read
//   4  4   Next  }
//   8  4   uint32 Flags: flag bits, or the root key of the registry kinds
//  12  1   Kind (TChangeKind; kinds above ekRegValue are skipped, not damage)
//  13  2   uint16 DataLength, at most 64985
//  15  n   StringData: the kind's strings, each followed by one zero byte
//
// Texts are code page 936 in the file and UTF-8 in memory. In memory an
// entry keeps all of its data, so that a rollback acts on the exact paths;
// only the file cuts StringData to 64985 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/io/streams.h"

namespace qv {

inline constexpr std::array<std::uint8_t, 8> ChangeFileSignature = {'u', '1', '0', '9', '-', '3', '2', 0x1A};

// The registry kinds keep the root key's handle value in Flags.
enum TChangeKind : std::uint8_t {
    ekFolder = 0,           // folder path
    ekFile = 1,             // file path; pending temporary file or ""
    ekProgManItem = 2,      // group name; item name ("" for the group itself)
    ekIniKey = 3,           // INI file ("" = WIN.INI); section; key
    ekIniSection = 4,       // INI file ("" = WIN.INI); section
    ekRegKeyTree = 5,       // subkey path
    ekRegDefaultValue = 6,  // subkey path
    ekRegKeyIfEmpty = 7,    // subkey path
    ekRegValue = 8,         // subkey path; value name
};
constexpr TChangeKind kLastChangeKind = ekRegValue;

// Flags of ekFolder.
enum TFolderChangeFlag : std::uint32_t {
    efFolderNotify = 1,  // a folder of shell links: the shell hears of its removal
};

// Flags of ekFile.
enum TFileChangeFlag : std::uint32_t {
    efWasPresent = 1,      // the destination existed before it was installed
    efUninstallOnly = 2,   // deleted by the uninstaller, never by a rollback
    efSharedCount = 4,     // its shared-file count was raised
    efSelfUnregister = 8,  // unregister it before deleting it
    efNotifyShell = 16,    // a shell link: the shell hears of its deletion
};

// How many strings an entry of `kind` carries; 0 for kinds above ekRegValue.
std::size_t StringCountOfKind(TChangeKind kind);
// "ekFile" and so on; "kind 12" for a kind this system does not know.
std::string ChangeKindName(TChangeKind kind);

// ---- The string list of an entry ----
// Each string followed by one zero byte, nothing in between; an empty string
// is a single zero byte. String i begins after the first i zero bytes.

// Raises Exception when a string holds a zero byte, which would shift every
// later string.
std::string JoinEntryStrings(const std::vector<std::string>& strings);
// String `index` (from 0); "" when the data holds fewer strings. A last
// string without its zero byte (a cut entry) runs to the end of the data.
std::string EntryString(const std::string& stringData, std::size_t index);
// The number of complete (zero-terminated) strings.
std::size_t CompleteStringCount(const std::string& stringData);

// What the string data of an entry lacks for its kind, if anything. The
// writer refuses what the reader would call damage, so that every log it
// writes can be read back.
enum class StringDataFault {
    None,
    TooFewStrings,  // fewer complete strings than the kind needs
    Unterminated,   // non-empty data that does not end in a zero byte
};
StringDataFault CheckStringData(TChangeKind kind, const std::string& stringData);

// One recorded change. Prev and Next of the file are the list's business.
struct TChangeEntry {
    static constexpr std::size_t kFixedSize = 15;
    static constexpr std::size_t kFlagsOffset = 8;
    static constexpr std::size_t kKindOffset = 12;
    static constexpr std::size_t kDataLengthOffset = 13;
    static constexpr std::size_t kMaxDataLength = 64985;

    std::uint32_t Flags = 0;
    TChangeKind Kind = ekFolder;
    std::string StringData;  // UTF-8, whole

    // Raises Exception when a known kind gets another number of strings
    // than it carries, or a string holds a zero byte.
    static TChangeEntry Make(TChangeKind kind, const std::vector<std::string>& strings,
                             std::uint32_t flags);
};
static_assert(TChangeEntry::kDataLengthOffset + 2 == TChangeEntry::kFixedSize);
static_assert(TChangeEntry::kMaxDataLength <= 0xFFFF, "DataLength is 16 bits wide");

inline std::string EntryString(const TChangeEntry& entry, std::size_t index) {
    return EntryString(entry.StringData, index);
}

// The code page 936 form of StringData, string by string, cut to
// kMaxDataLength bytes. `entryNumber` (from 1) names the entry when a text
// has no code page 936 form (EFieldTooLong).
std::string FileStringData(const TChangeEntry& entry, std::size_t entryNumber);

// Appends the file form of one entry (15 + DataLength bytes) to `out`.
// Raises Exception, naming the entry, when CheckStringData finds a fault in
// its whole data.
void EncodeChangeEntry(const TChangeEntry& entry, std::size_t entryNumber,
                       std::vector<std::uint8_t>& out);

// ---- The file header ----
struct TChangeFileHeader {
    static constexpr std::size_t kSize = 78;
    static constexpr std::size_t kEntryCountOffset = 8;
    static constexpr std::size_t kAppNameOffset = 10;
    static constexpr std::size_t kAppNameMaxBytes = 63;
    static constexpr std::size_t kAdminInstallOffset = 74;
    static constexpr std::size_t kReservedOffset = 75;
    static constexpr std::size_t kReservedSize = 3;

    std::uint16_t EntryCount = 0;
    std::string AppName;  // UTF-8
    bool AdminInstall = false;

    // AppName goes in as its first 63 code page 936 bytes, never half a
    // character; a character without a code page 936 form becomes '?'.
    void Encode(std::uint8_t* p) const;
    // Raises EUninstallLogDamaged for a wrong signature, a length byte above
    // 63, an AdminInstall byte other than 0 or 1, or reserved bytes not zero.
    static TChangeFileHeader Decode(const std::uint8_t* p);
};

static_assert(TChangeFileHeader::kAppNameOffset == ChangeFileSignature.size() + 2);
static_assert(TChangeFileHeader::kAdminInstallOffset ==
              TChangeFileHeader::kAppNameOffset + 1 + TChangeFileHeader::kAppNameMaxBytes);
static_assert(TChangeFileHeader::kReservedOffset + TChangeFileHeader::kReservedSize ==
              TChangeFileHeader::kSize);

// The AppName bytes the header holds for a UTF-8 name.
std::string HeaderAppNameBytes(const std::string& appName);

// ---- Damage found by the reader ----
enum class ChangeFileDamage {
    FileTooShort,         // fewer bytes than the header
    Signature,
    AppNameLength,        // length byte above 63
    AdminInstallValue,    // neither 0 nor 1
    ReservedBytes,
    EntryHeaderPastEnd,   // the file ends inside an entry's 15 fixed bytes
    DataLengthTooLarge,   // above 64985
    EntryDataPastEnd,     // DataLength reaches past the end of the file
    TooFewStrings,        // fewer zero-terminated strings than the kind needs
    UnterminatedString,   // data of an uncut entry that does not end in a zero byte
    BytesAfterLastEntry,
};

// The message names the offset and, for an entry, its number (from 1) and
// the count the header announced.
class EUninstallLogDamaged : public Exception {
public:
    EUninstallLogDamaged(ChangeFileDamage damage, std::uint64_t offset, std::size_t entryNumber,
                         std::size_t entryCount, const std::string& detail);
    ChangeFileDamage Damage() const { return damage_; }
    // Where the damaged item begins in the file.
    std::uint64_t Offset() const { return offset_; }
    // 0 when the damage is in the header or after the entries.
    std::size_t EntryNumber() const { return entryNumber_; }

private:
    ChangeFileDamage damage_;
    std::uint64_t offset_;
    std::size_t entryNumber_;
};

// ---- Reading and writing whole files ----

// One entry as the file holds it.
struct LoggedChange {
    TChangeEntry Entry;       // strings in UTF-8
    std::uint64_t Offset = 0;  // of its first byte in the file
    // The writer cut its data at kMaxDataLength and a string it needs is
    // incomplete or missing: its paths are not the ones recorded, so an
    // uninstaller must not act on them.
    bool DataCut = false;
};

struct UninstallLog {
    TChangeFileHeader Header;
    std::vector<LoggedChange> Entries;  // oldest first
};

// Reads the whole log from the start of `file`. Every count and length is
// checked against the file's size before it is used: damage raises
// EUninstallLogDamaged, device failures EInOutError.
UninstallLog ReadUninstallLog(InStream& file);

// The whole file: the header and `entries` in their order (oldest first).
// Raises Exception when there are more than 65535 entries or an entry has a
// fault (CheckStringData), and EFieldTooLong when an entry's text has no
// code page 936 form; each message names the entry.
std::vector<std::uint8_t> EncodeUninstallLog(const std::string& appName, bool adminInstall,
                                             const std::vector<TChangeEntry>& entries);
// EncodeUninstallLog written to `out` in one piece, so that bad entries fail
// before the first byte is written. Device failures raise EInOutError.
void WriteUninstallLog(OutStream& out, const std::string& appName, bool adminInstall,
                       const std::vector<TChangeEntry>& entries);

}  // namespace qv
