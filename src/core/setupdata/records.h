// The setup data format: signatures, the header and the eight entry records.
//
// Every record is packed and little-endian; sizes are pinned below. Text
// fields are string[N] (a length byte and up to N characters) or char[N]
// (zero-terminated in N bytes), code page 936 in the file and UTF-8 here.
// Decode reads a record from exactly its size in bytes; Encode writes it,
// raising EFieldTooLong when a text does not fit its field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"

namespace qv {

using Signature = std::array<std::uint8_t, 8>;
extern const Signature kSetupDataSignature;    // "i109-32" 0x1A
extern const Signature kDataFileSignature;     // "idska32" 0x1A
extern const std::array<std::uint8_t, 4> kZlibMarker;  // "zlb" 0x1A

// A text longer than its field allows, in code page 936 bytes; or one that
// code page 936 cannot hold (then actualBytes is 0).
class EFieldTooLong : public Exception {
public:
    EFieldTooLong(std::string field, std::size_t limit, std::size_t actualBytes);
    const std::string& field() const { return field_; }
    std::size_t limit() const { return limit_; }
    std::size_t actualBytes() const { return actual_; }

private:
    std::string field_;
    std::size_t limit_;
    std::size_t actual_;
};

// Header options (bit masks of TSetupHeaderRec.Options).
enum TSetupHeaderOption : std::uint16_t {
    optUninstallable = 1 << 1,
    optOwnAppFolder = 1 << 2,
    optNoFolderPage = 1 << 3,
    optNoGroupPage = 1 << 4,
    optAllowNoIcons = 1 << 5,
    optRestartAfter = 1 << 6,
    optPlainBackground = 1 << 7,
    optFolderInProgFiles = 1 << 8,
    optUninstallIconAlways = 1 << 9,
    optReplaceUninstallEntries = 1 << 10,
    // The files lie in solid blocks, and the member table follows the
    // last record (solid_blocks.h). Engines that know no solid blocks
    // ignore the bit.
    optSolidBlocks = 1 << 11,
};

struct TSetupHeaderRec {
    static constexpr std::size_t kSize = 434;
    std::string AppName;             // string[63]
    std::string AppNameVersion;      // string[63]
    std::string AppFooterText;       // string[63]
    std::string DefaultFolderName;   // string[63]
    std::string DefaultGroup;        // string[63]
    std::string UninstallIconTitle;  // string[63]
    std::int32_t DirCount = 0;
    std::int32_t FileCount = 0;
    std::int32_t IconCount = 0;
    std::int32_t IniCount = 0;
    std::int32_t RegistryCount = 0;
    std::int32_t UninstallDeleteCount = 0;
    std::int32_t RunCount = 0;
    std::int32_t LicenseTextSize = 0;
    std::int32_t InfoBeforeTextSize = 0;
    std::int32_t InfoAfterTextSize = 0;
    std::uint8_t MinWinVersionMajor = 0;
    std::uint8_t MinWinVersionMinor = 0;
    std::uint8_t MinNTVersionMajor = 0;
    std::uint8_t MinNTVersionMinor = 0;
    std::int32_t BackgroundColor = 0;
    std::uint16_t Options = 0;

    bool Has(TSetupHeaderOption option) const { return (Options & option) != 0; }
    static TSetupHeaderRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

enum TDirFlag : std::uint8_t {
    dfNoUninstall = 1 << 0,
    dfRemoveAtEnd = 1 << 1,
};

struct TDirRec {
    static constexpr std::size_t kSize = 49;
    std::string DirName;  // string[47]
    std::uint8_t Flags = 0;

    static TDirRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

enum TFileFlag : std::uint8_t {
    ffAskOverwrite = 1 << 0,
    ffNoUninstall = 1 << 1,
    ffReplaceAtRestart = 1 << 2,
    ffDeleteAtEnd = 1 << 3,
    ffSelfRegister = 1 << 4,
    ffShared = 1 << 5,
    ffReadme = 1 << 6,
    ffUninstallData = 1 << 7,
};

enum TVersionFlag : std::uint8_t {
    vfCompareTime = 1 << 0,
    vfHasVersion = 1 << 1,
};

enum TReplaceMode : std::uint8_t {
    rmNormal = 0,
    rmOnlyIfMissing = 1,
    rmAlways = 2,
    rmKeepNewer = 3,
};

struct TFileRec {
    static constexpr std::size_t kSize = 95;
    std::string DestPath;  // string[63]
    std::uint64_t FileTime = 0;  // FILETIME, local time
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    std::int32_t OriginalSize = 0;
    std::int32_t CompressedSize = 0;
    std::uint32_t Adler32 = 0;
    std::uint8_t ReplaceMode = rmNormal;
    std::uint8_t FileFlags = 0;
    std::uint8_t VersionFlags = 0;

    static TFileRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

struct TFileLocationRec {
    static constexpr std::size_t kSize = 12;
    std::int32_t FirstDisk = 0;
    std::int32_t LastDisk = 0;
    std::int32_t StartOffset = 0;

    static TFileLocationRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

struct TIconRec {
    static constexpr std::size_t kSize = 356;
    std::string IconPath;       // string[47]
    std::string Filename;       // string[63]
    std::string Parameters;     // string[127]
    std::string WorkingFolder;  // string[47]
    std::string IconFile;       // string[63]
    std::int32_t IconIndex = 0;

    static TIconRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

enum TIniFlag : std::uint8_t {
    ifUninstDeleteKey = 1 << 0,
    ifUninstDeleteSection = 1 << 1,
};

struct TIniRec {
    static constexpr std::size_t kSize = 289;
    std::string Filename;  // string[63]
    std::string Section;   // string[47]
    std::string Entry;     // string[47]
    std::string Value;     // string[127]
    std::uint8_t Flags = 0;

    static TIniRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

enum TRegistryValueType : std::uint8_t {
    rtNone = 0,
    rtString = 1,        // REG_SZ
    rtExpandString = 2,  // REG_EXPAND_SZ
    rtDWord = 3,         // REG_DWORD
    rtBinary = 4,        // REG_BINARY
};

enum TRegistryFlag : std::uint8_t {
    rfKeepExistingValue = 1 << 0,
    rfUninstDeleteValue = 1 << 1,
    rfUninstEmptyDefault = 1 << 2,
    rfUninstDeleteKey = 1 << 3,
};

// Predefined root keys as their handle values.
constexpr std::uint32_t kHkeyClassesRoot = 0x80000000;
constexpr std::uint32_t kHkeyCurrentUser = 0x80000001;
constexpr std::uint32_t kHkeyLocalMachine = 0x80000002;
constexpr std::uint32_t kHkeyUsers = 0x80000003;
constexpr std::uint32_t kHkeyCurrentConfig = 0x80000005;

struct TRegistryRec {
    static constexpr std::size_t kSize = 438;
    static constexpr std::size_t kMaxBinarySize = 252;
    std::uint32_t RootKey = kHkeyLocalMachine;
    std::string SubKey;     // char[128]
    std::string ValueName;  // char[48]
    // ValueData, by ValueType: the text (char[256]) for 1 and 2, the number
    // for 3, the bytes (at most 252) for 4; nothing for the other types.
    std::string ValueString;
    std::uint32_t ValueDWord = 0;
    std::vector<std::uint8_t> ValueBinary;
    std::uint8_t ValueType = rtNone;
    std::uint8_t Flags = 0;

    // A binary count above 252 reaches past the field: EZlibDataError.
    static TRegistryRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

struct TUninstallDeleteRec {
    static constexpr std::size_t kSize = 64;
    std::string Name;  // string[63]

    static TUninstallDeleteRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

enum TRunFlag : std::uint8_t {
    rnNoWait = 1 << 0,
};

struct TRunRec {
    static constexpr std::size_t kSize = 193;
    std::string Filename;    // string[63]
    std::string Parameters;  // string[127]
    std::uint8_t Flags = 0;

    static TRunRec Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;
};

// Field codecs, exposed for the other formats and for tests.
// string[N] at p (N + 1 bytes).
std::string DecodeShortString(const std::uint8_t* p, std::size_t maxChars);
void EncodeShortString(std::uint8_t* p, std::size_t maxChars, const std::string& utf8,
                       const char* fieldName);
// char[N] at p (N bytes).
std::string DecodeCharArray(const std::uint8_t* p, std::size_t size);
void EncodeCharArray(std::uint8_t* p, std::size_t size, const std::string& utf8,
                     const char* fieldName);
// The code page 936 form of a UTF-8 text; EFieldTooLong(field, limit, 0)
// when a character has none.
std::string ToFileText(const std::string& utf8, const char* fieldName, std::size_t limit);

}  // namespace qv
