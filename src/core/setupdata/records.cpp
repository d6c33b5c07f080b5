#include "core/setupdata/records.h"
#include "core/setupdata/solid_blocks.h"

#include <algorithm>
#include <cstring>

#include "core/bytes.h"
#include "core/text/cp936.h"

namespace qv {

const Signature kSetupDataSignature = {'i', '1', '0', '9', '-', '3', '2', 0x1A};
const Signature kDataFileSignature = {'i', 'd', 's', 'k', 'a', '3', '2', 0x1A};
const std::array<std::uint8_t, 4> kZlibMarker = {'z', 'l', 'b', 0x1A};
const std::array<std::uint8_t, 4> kSolidMarker = {'l', 'z', 's', 0x1A};

namespace {
std::string TooLongMessage(const std::string& field, std::size_t limit, std::size_t actual) {
    if (actual == 0) return field + ": text has characters that code page 936 cannot hold";
    return field + ": " + std::to_string(actual) + " bytes in code page 936, at most " +
           std::to_string(limit) + " allowed";
}
}  // namespace

EFieldTooLong::EFieldTooLong(std::string field, std::size_t limit, std::size_t actualBytes)
    : Exception(TooLongMessage(field, limit, actualBytes)),
      field_(std::move(field)),
      limit_(limit),
      actual_(actualBytes) {}

std::string ToFileText(const std::string& utf8, const char* fieldName, std::size_t limit) {
    auto bytes = cp936::FromUtf8(utf8);
    if (!bytes) throw EFieldTooLong(fieldName, limit, 0);
    if (bytes->size() > limit) throw EFieldTooLong(fieldName, limit, bytes->size());
    return *bytes;
}

std::string DecodeShortString(const std::uint8_t* p, std::size_t maxChars) {
    const std::size_t length = std::min<std::size_t>(p[0], maxChars);
    return cp936::ToUtf8(std::string(reinterpret_cast<const char*>(p + 1), length));
}

void EncodeShortString(std::uint8_t* p, std::size_t maxChars, const std::string& utf8,
                       const char* fieldName) {
    const std::string bytes = ToFileText(utf8, fieldName, maxChars);
    std::memset(p, 0, maxChars + 1);
    p[0] = static_cast<std::uint8_t>(bytes.size());
    std::memcpy(p + 1, bytes.data(), bytes.size());
}

std::string DecodeCharArray(const std::uint8_t* p, std::size_t size) {
    const auto* end = std::find(p, p + size, std::uint8_t{0});
    return cp936::ToUtf8(std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p)));
}

void EncodeCharArray(std::uint8_t* p, std::size_t size, const std::string& utf8,
                     const char* fieldName) {
    const std::string bytes = ToFileText(utf8, fieldName, size);
    std::memset(p, 0, size);
    std::memcpy(p, bytes.data(), bytes.size());
}

// ---- TSetupHeaderRec ----

TSetupHeaderRec TSetupHeaderRec::Decode(const std::uint8_t* p) {
    TSetupHeaderRec h;
    h.AppName = DecodeShortString(p + 0, 63);
    h.AppNameVersion = DecodeShortString(p + 64, 63);
    h.AppFooterText = DecodeShortString(p + 128, 63);
    h.DefaultFolderName = DecodeShortString(p + 192, 63);
    h.DefaultGroup = DecodeShortString(p + 256, 63);
    h.UninstallIconTitle = DecodeShortString(p + 320, 63);
    h.DirCount = GetI32(p + 384);
    h.FileCount = GetI32(p + 388);
    h.IconCount = GetI32(p + 392);
    h.IniCount = GetI32(p + 396);
    h.RegistryCount = GetI32(p + 400);
    h.UninstallDeleteCount = GetI32(p + 404);
    h.RunCount = GetI32(p + 408);
    h.LicenseTextSize = GetI32(p + 412);
    h.InfoBeforeTextSize = GetI32(p + 416);
    h.InfoAfterTextSize = GetI32(p + 420);
    h.MinWinVersionMajor = p[424];
    h.MinWinVersionMinor = p[425];
    h.MinNTVersionMajor = p[426];
    h.MinNTVersionMinor = p[427];
    h.BackgroundColor = GetI32(p + 428);
    h.Options = GetUi16(p + 432);
    return h;
}

void TSetupHeaderRec::Encode(std::uint8_t* p) const {
    EncodeShortString(p + 0, 63, AppName, "AppName");
    EncodeShortString(p + 64, 63, AppNameVersion, "AppNameVersion");
    EncodeShortString(p + 128, 63, AppFooterText, "AppFooterText");
    EncodeShortString(p + 192, 63, DefaultFolderName, "DefaultFolderName");
    EncodeShortString(p + 256, 63, DefaultGroup, "DefaultGroup");
    EncodeShortString(p + 320, 63, UninstallIconTitle, "UninstallIconTitle");
    SetI32(p + 384, DirCount);
    SetI32(p + 388, FileCount);
    SetI32(p + 392, IconCount);
    SetI32(p + 396, IniCount);
    SetI32(p + 400, RegistryCount);
    SetI32(p + 404, UninstallDeleteCount);
    SetI32(p + 408, RunCount);
    SetI32(p + 412, LicenseTextSize);
    SetI32(p + 416, InfoBeforeTextSize);
    SetI32(p + 420, InfoAfterTextSize);
    p[424] = MinWinVersionMajor;
    p[425] = MinWinVersionMinor;
    p[426] = MinNTVersionMajor;
    p[427] = MinNTVersionMinor;
    SetI32(p + 428, BackgroundColor);
    SetUi16(p + 432, Options);
}

// ---- TDirRec ----

TDirRec TDirRec::Decode(const std::uint8_t* p) {
    TDirRec r;
    r.DirName = DecodeShortString(p, 47);
    r.Flags = p[48];
    return r;
}

void TDirRec::Encode(std::uint8_t* p) const {
    EncodeShortString(p, 47, DirName, "DirName");
    p[48] = Flags;
}

// ---- TFileRec ----

TFileRec TFileRec::Decode(const std::uint8_t* p) {
    TFileRec r;
    r.DestPath = DecodeShortString(p, 63);
    r.FileTime = GetUi64(p + 64);
    r.FileVersionMS = GetUi32(p + 72);
    r.FileVersionLS = GetUi32(p + 76);
    r.OriginalSize = GetI32(p + 80);
    r.CompressedSize = GetI32(p + 84);
    r.Adler32 = GetUi32(p + 88);
    r.ReplaceMode = p[92];
    r.FileFlags = p[93];
    r.VersionFlags = p[94];
    return r;
}

void TFileRec::Encode(std::uint8_t* p) const {
    EncodeShortString(p, 63, DestPath, "DestPath");
    SetUi64(p + 64, FileTime);
    SetUi32(p + 72, FileVersionMS);
    SetUi32(p + 76, FileVersionLS);
    SetI32(p + 80, OriginalSize);
    SetI32(p + 84, CompressedSize);
    SetUi32(p + 88, Adler32);
    p[92] = ReplaceMode;
    p[93] = FileFlags;
    p[94] = VersionFlags;
}

// ---- TFileLocationRec ----

TFileLocationRec TFileLocationRec::Decode(const std::uint8_t* p) {
    return {GetI32(p), GetI32(p + 4), GetI32(p + 8)};
}

void TFileLocationRec::Encode(std::uint8_t* p) const {
    SetI32(p, FirstDisk);
    SetI32(p + 4, LastDisk);
    SetI32(p + 8, StartOffset);
}

// ---- TIconRec ----

TIconRec TIconRec::Decode(const std::uint8_t* p) {
    TIconRec r;
    r.IconPath = DecodeShortString(p, 47);
    r.Filename = DecodeShortString(p + 48, 63);
    r.Parameters = DecodeShortString(p + 112, 127);
    r.WorkingFolder = DecodeShortString(p + 240, 47);
    r.IconFile = DecodeShortString(p + 288, 63);
    r.IconIndex = GetI32(p + 352);
    return r;
}

void TIconRec::Encode(std::uint8_t* p) const {
    EncodeShortString(p, 47, IconPath, "IconPath");
    EncodeShortString(p + 48, 63, Filename, "Filename");
    EncodeShortString(p + 112, 127, Parameters, "Parameters");
    EncodeShortString(p + 240, 47, WorkingFolder, "WorkingFolder");
    EncodeShortString(p + 288, 63, IconFile, "IconFile");
    SetI32(p + 352, IconIndex);
}

// ---- TIniRec ----

TIniRec TIniRec::Decode(const std::uint8_t* p) {
    TIniRec r;
    r.Filename = DecodeShortString(p, 63);
    r.Section = DecodeShortString(p + 64, 47);
    r.Entry = DecodeShortString(p + 112, 47);
    r.Value = DecodeShortString(p + 160, 127);
    r.Flags = p[288];
    return r;
}

void TIniRec::Encode(std::uint8_t* p) const {
    EncodeShortString(p, 63, Filename, "Filename");
    EncodeShortString(p + 64, 47, Section, "Section");
    EncodeShortString(p + 112, 47, Entry, "Entry");
    EncodeShortString(p + 160, 127, Value, "Value");
    p[288] = Flags;
}

// ---- TRegistryRec ----

namespace {
constexpr std::size_t kValueDataOffset = 180;
constexpr std::size_t kValueDataSize = 256;
}  // namespace

TRegistryRec TRegistryRec::Decode(const std::uint8_t* p) {
    TRegistryRec r;
    r.RootKey = GetUi32(p);
    r.SubKey = DecodeCharArray(p + 4, 128);
    r.ValueName = DecodeCharArray(p + 132, 48);
    r.ValueType = p[436];
    r.Flags = p[437];
    const std::uint8_t* data = p + kValueDataOffset;
    switch (r.ValueType) {
    case rtString:
    case rtExpandString: r.ValueString = DecodeCharArray(data, kValueDataSize); break;
    case rtDWord: r.ValueDWord = GetUi32(data); break;
    case rtBinary: {
        const std::uint32_t count = GetUi32(data);
        if (count > kMaxBinarySize) throw EZlibDataError();
        r.ValueBinary.assign(data + 4, data + 4 + count);
        break;
    }
    default: break;
    }
    return r;
}

void TRegistryRec::Encode(std::uint8_t* p) const {
    SetUi32(p, RootKey);
    EncodeCharArray(p + 4, 128, SubKey, "SubKey");
    EncodeCharArray(p + 132, 48, ValueName, "ValueName");
    std::uint8_t* data = p + kValueDataOffset;
    std::memset(data, 0, kValueDataSize);
    switch (ValueType) {
    case rtString:
    case rtExpandString: EncodeCharArray(data, kValueDataSize, ValueString, "ValueData"); break;
    case rtDWord: SetUi32(data, ValueDWord); break;
    case rtBinary:
        if (ValueBinary.size() > kMaxBinarySize)
            throw EFieldTooLong("ValueData", kMaxBinarySize, ValueBinary.size());
        SetUi32(data, static_cast<std::uint32_t>(ValueBinary.size()));
        std::copy(ValueBinary.begin(), ValueBinary.end(), data + 4);
        break;
    default: break;
    }
    p[436] = ValueType;
    p[437] = Flags;
}

// ---- TUninstallDeleteRec ----

TUninstallDeleteRec TUninstallDeleteRec::Decode(const std::uint8_t* p) {
    return {DecodeShortString(p, 63)};
}

void TUninstallDeleteRec::Encode(std::uint8_t* p) const { EncodeShortString(p, 63, Name, "Name"); }

// ---- TRunRec ----

TRunRec TRunRec::Decode(const std::uint8_t* p) {
    TRunRec r;
    r.Filename = DecodeShortString(p, 63);
    r.Parameters = DecodeShortString(p + 64, 127);
    r.Flags = p[192];
    return r;
}

void TRunRec::Encode(std::uint8_t* p) const {
    EncodeShortString(p, 63, Filename, "Filename");
    EncodeShortString(p + 64, 127, Parameters, "Parameters");
    p[192] = Flags;
}

}  // namespace qv
