// The uninstall log file's reader, which checks every byte it reads: the
// uninstaller deletes what the log names.
#include "core/uninstall/uninstall_log.h"

#include <algorithm>

#include "core/bytes.h"
#include "core/text/cp936.h"
#include "core/text/number_text.h"

namespace qv {

namespace {

std::string Hex(unsigned value) {
    return "0x" + HexDigits(value, 2);
}

std::string DamageMessage(std::uint64_t offset, std::size_t entryNumber, std::size_t entryCount,
                          const std::string& detail) {
    std::string message = "uninstall log damaged at offset " + std::to_string(offset);
    if (entryNumber != 0)
        message += ", entry " + std::to_string(entryNumber) + " of " + std::to_string(entryCount);
    return message + ": " + detail;
}

[[noreturn]] void HeaderDamage(ChangeFileDamage damage, std::size_t offset, const std::string& detail) {
    throw EUninstallLogDamaged(damage, offset, 0, 0, detail);
}

// Code page 936 string data to UTF-8, string by string.
std::string StringDataToUtf8(const std::string& bytes) {
    std::string utf8;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t zero = bytes.find('\0', start);
        const std::size_t end = zero == std::string::npos ? bytes.size() : zero;
        utf8 += cp936::ToUtf8(bytes.substr(start, end - start));
        if (zero != std::string::npos) utf8 += '\0';
        start = end + 1;
    }
    return utf8;
}

}  // namespace

EUninstallLogDamaged::EUninstallLogDamaged(ChangeFileDamage damage, std::uint64_t offset,
                                           std::size_t entryNumber, std::size_t entryCount,
                                           const std::string& detail)
    : Exception(DamageMessage(offset, entryNumber, entryCount, detail)),
      damage_(damage),
      offset_(offset),
      entryNumber_(entryNumber) {}

TChangeFileHeader TChangeFileHeader::Decode(const std::uint8_t* p) {
    if (!std::equal(ChangeFileSignature.begin(), ChangeFileSignature.end(), p))
        HeaderDamage(ChangeFileDamage::Signature, 0, "the file does not begin with the signature \"u109-32\" 0x1A");
    const std::size_t nameLength = p[kAppNameOffset];
    if (nameLength > kAppNameMaxBytes)
        HeaderDamage(ChangeFileDamage::AppNameLength, kAppNameOffset,
                     "AppName length byte is " + std::to_string(nameLength) + ", at most 63");
    const std::uint8_t admin = p[kAdminInstallOffset];
    if (admin > 1)
        HeaderDamage(ChangeFileDamage::AdminInstallValue, kAdminInstallOffset,
                     "AdminInstall byte is " + Hex(admin) + ", not 0 or 1");
    for (std::size_t i = kReservedOffset; i < kReservedOffset + kReservedSize; ++i)
        if (p[i] != 0)
            HeaderDamage(ChangeFileDamage::ReservedBytes, i, "reserved byte is " + Hex(p[i]) + ", not zero");
    TChangeFileHeader header;
    header.EntryCount = GetUi16(p + kEntryCountOffset);
    header.AppName = cp936::ToUtf8(std::string(reinterpret_cast<const char*>(p + kAppNameOffset + 1), nameLength));
    header.AdminInstall = admin == 1;
    return header;
}

UninstallLog ReadUninstallLog(InStream& file) {
    const std::uint64_t size = file.Size();
    if (size < TChangeFileHeader::kSize)
        HeaderDamage(ChangeFileDamage::FileTooShort, 0,
                     "the file holds " + std::to_string(size) + " bytes, its header alone needs 78");
    file.Seek(0);
    std::uint8_t headerBytes[TChangeFileHeader::kSize];
    file.ReadExact(headerBytes, sizeof headerBytes);

    UninstallLog log;
    log.Header = TChangeFileHeader::Decode(headerBytes);
    const std::size_t count = log.Header.EntryCount;
    // A damaged count must not make the reader reserve more than the file can hold.
    log.Entries.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(count, (size - TChangeFileHeader::kSize) / TChangeEntry::kFixedSize)));

    std::uint64_t offset = TChangeFileHeader::kSize;
    for (std::size_t number = 1; number <= count; ++number) {
        const auto damage = [&](ChangeFileDamage kind, const std::string& detail) {
            throw EUninstallLogDamaged(kind, offset, number, count, detail);
        };
        const std::uint64_t left = size - offset;
        if (left < TChangeEntry::kFixedSize)
            damage(ChangeFileDamage::EntryHeaderPastEnd,
                   "the file ends after " + std::to_string(left) + " of its 15 fixed bytes");
        std::uint8_t fixed[TChangeEntry::kFixedSize];
        file.ReadExact(fixed, sizeof fixed);
        const std::size_t dataLength = GetUi16(fixed + TChangeEntry::kDataLengthOffset);
        if (dataLength > TChangeEntry::kMaxDataLength)
            damage(ChangeFileDamage::DataLengthTooLarge,
                   "DataLength " + std::to_string(dataLength) + " is above 64985");
        if (dataLength > left - TChangeEntry::kFixedSize)
            damage(ChangeFileDamage::EntryDataPastEnd,
                   "DataLength " + std::to_string(dataLength) + " reaches past the end of the file, which holds " +
                       std::to_string(left - TChangeEntry::kFixedSize) + " more bytes");

        LoggedChange change;
        change.Offset = offset;
        change.Entry.Flags = GetUi32(fixed + TChangeEntry::kFlagsOffset);
        change.Entry.Kind = static_cast<TChangeKind>(fixed[TChangeEntry::kKindOffset]);
        std::string data(dataLength, '\0');
        file.ReadExact(data.data(), data.size());

        const StringDataFault fault = CheckStringData(change.Entry.Kind, data);
        if (fault != StringDataFault::None && dataLength == TChangeEntry::kMaxDataLength) {
            change.DataCut = true;  // the writer's cap, not damage
        } else if (fault == StringDataFault::Unterminated) {
            damage(ChangeFileDamage::UnterminatedString,
                   "its data of " + std::to_string(dataLength) + " bytes does not end in a zero byte");
        } else if (fault == StringDataFault::TooFewStrings) {
            damage(ChangeFileDamage::TooFewStrings,
                   ChangeKindName(change.Entry.Kind) + " needs " +
                       std::to_string(StringCountOfKind(change.Entry.Kind)) + " strings, its data holds " +
                       std::to_string(CompleteStringCount(data)));
        }
        change.Entry.StringData = StringDataToUtf8(data);
        log.Entries.push_back(std::move(change));
        offset += TChangeEntry::kFixedSize + dataLength;
    }
    if (offset < size)
        throw EUninstallLogDamaged(ChangeFileDamage::BytesAfterLastEntry, offset, 0, count,
                                   std::to_string(size - offset) + " bytes follow the last of its " +
                                       std::to_string(count) + " entries");
    return log;
}

}  // namespace qv
