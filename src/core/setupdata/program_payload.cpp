#include "core/setupdata/program_payload.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/bytes.h"
#include "core/errors.h"

namespace qv {

namespace {

// Locator fields.
constexpr std::size_t kLocSignature = 0;
constexpr std::size_t kLocSize = 8;
constexpr std::size_t kLocPayloadOffset = 12;
constexpr std::size_t kLocPayloadSize = 20;
constexpr std::size_t kLocSetupDataOffset = 28;
constexpr std::size_t kLocFileDataOffset = 32;
constexpr std::size_t kLocPayloadCrc = 36;
constexpr std::size_t kLocReserved = 40;
constexpr std::size_t kLocOwnCrc = 44;
static_assert(kLocOwnCrc + 4 == kLocatorSize, "the locator's own CRC is its last field");
static_assert(sizeof kLocatorSignature == 8, "signatures are 8 bytes");
static_assert(kLocatorSize % kProgramAlignment == 0, "the locator keeps the payload aligned as the image end is");

// PE headers (offsets within each header).
constexpr std::size_t kDosNewHeader = 0x3C;        // e_lfanew
constexpr std::size_t kCoffSize = 20;              // after the 4-byte "PE\0\0"
constexpr std::size_t kCoffSections = 2;
constexpr std::size_t kCoffSymbolTable = 8;
constexpr std::size_t kCoffOptionalSize = 16;
constexpr std::size_t kOptSizeOfHeaders = 60;
constexpr std::size_t kOptCheckSum = 64;
constexpr std::size_t kOptDirCountPe32 = 92, kOptDirCountPe32Plus = 108;
constexpr std::size_t kSecurityDirectory = 4;      // index of the certificate table's entry
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSecRawSize = 16;
constexpr std::size_t kSecRawPointer = 20;

bool Fits(std::uint64_t offset, std::uint64_t size, std::uint64_t limit) {
    return offset <= limit && size <= limit - offset;
}

}  // namespace

std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
    const auto* p = static_cast<const Bytef*>(data);
    // zlib takes uInt lengths: feed large spans in pieces.
    while (size > 0) {
        const uInt n = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, p, n));
        p += n;
        size -= n;
    }
    return crc;
}

std::optional<PeImageLayout> ReadPeImageLayout(const std::uint8_t* head, std::size_t headSize,
                                               std::uint64_t fileSize) {
    headSize = std::min(headSize, kPeHeadLimit);
    if (fileSize < headSize) headSize = static_cast<std::size_t>(fileSize);
    if (headSize < 0x40 || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
    const std::uint64_t pe = GetUi32(head + kDosNewHeader);
    if (!Fits(pe, 4 + kCoffSize, headSize) || std::memcmp(head + pe, "PE\0\0", 4) != 0) return std::nullopt;
    const std::uint64_t coff = pe + 4;
    const std::uint64_t optional = coff + kCoffSize;
    const std::uint64_t optionalSize = GetUi16(head + coff + kCoffOptionalSize);
    const std::uint64_t sections = GetUi16(head + coff + kCoffSections);
    const std::uint64_t sectionTable = optional + optionalSize;
    if (optionalSize < kOptCheckSum + 4 || !Fits(optional, optionalSize, headSize) ||
        !Fits(sectionTable, sections * kSectionHeaderSize, headSize))
        return std::nullopt;
    const std::uint16_t magic = GetUi16(head + optional);
    if (magic != 0x10B && magic != 0x20B) return std::nullopt;

    PeImageLayout layout;
    layout.Machine = GetUi16(head + coff);
    layout.CheckSumField = static_cast<std::uint32_t>(optional + kOptCheckSum);
    layout.SymbolTableField = static_cast<std::uint32_t>(coff + kCoffSymbolTable);
    const std::uint64_t dirCountAt = optional + (magic == 0x20B ? kOptDirCountPe32Plus : kOptDirCountPe32);
    const std::uint64_t entry = dirCountAt + 4 + kSecurityDirectory * kDirectoryEntrySize;
    if (dirCountAt + 4 <= optional + optionalSize && GetUi32(head + dirCountAt) > kSecurityDirectory &&
        entry + kDirectoryEntrySize <= optional + optionalSize) {
        layout.CertificateEntryField = static_cast<std::uint32_t>(entry);
        layout.CertificateTableOffset = GetUi32(head + entry);
        layout.CertificateTableSize = GetUi32(head + entry + 4);
    }
    layout.ImageEnd = GetUi32(head + optional + kOptSizeOfHeaders);
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint8_t* section = head + sectionTable + i * kSectionHeaderSize;
        const std::uint64_t rawSize = GetUi32(section + kSecRawSize);
        if (rawSize == 0) continue;
        layout.ImageEnd = std::max(layout.ImageEnd, GetUi32(section + kSecRawPointer) + rawSize);
    }
    return layout;
}

std::array<std::uint8_t, kLocatorSize> EncodeLocator(const PayloadLocator& locator) {
    std::array<std::uint8_t, kLocatorSize> bytes{};
    std::uint8_t* p = bytes.data();
    std::memcpy(p + kLocSignature, kLocatorSignature, sizeof kLocatorSignature);
    SetUi32(p + kLocSize, kLocatorSize);
    SetUi64(p + kLocPayloadOffset, locator.PayloadOffset);
    SetUi64(p + kLocPayloadSize, locator.PayloadSize);
    SetI32(p + kLocSetupDataOffset, locator.SetupDataOffset);
    SetI32(p + kLocFileDataOffset, locator.FileDataOffset);
    SetUi32(p + kLocPayloadCrc, locator.PayloadCrc32);
    SetUi32(p + kLocReserved, 0);
    SetUi32(p + kLocOwnCrc, Crc32Update(0, p, kLocOwnCrc));
    return bytes;
}

PayloadSearch DecodeLocator(const std::uint8_t* bytes, std::size_t size, std::uint64_t at, std::uint64_t fileSize) {
    PayloadSearch result;
    const std::size_t signatureBytes = std::min(size, sizeof kLocatorSignature);
    // A file cut inside the signature still shows its first bytes.
    if (signatureBytes == 0 || std::memcmp(bytes, kLocatorSignature, signatureBytes) != 0) {
        result.State = PayloadState::NoPayload;
        return result;
    }
    if (size < kLocatorSize) {
        result.State = PayloadState::CutShort;
        return result;
    }
    result.State = PayloadState::Damaged;
    if (GetUi32(bytes + kLocOwnCrc) != Crc32Update(0, bytes, kLocOwnCrc) || GetUi32(bytes + kLocSize) != kLocatorSize ||
        GetUi32(bytes + kLocReserved) != 0)
        return result;
    PayloadLocator& l = result.Locator;
    l.PayloadOffset = GetUi64(bytes + kLocPayloadOffset);
    l.PayloadSize = GetUi64(bytes + kLocPayloadSize);
    l.SetupDataOffset = GetI32(bytes + kLocSetupDataOffset);
    l.FileDataOffset = GetI32(bytes + kLocFileDataOffset);
    l.PayloadCrc32 = GetUi32(bytes + kLocPayloadCrc);
    // The payload follows the locator, the setup data opens it, and the file
    // data lies after the setup data's signature, within the payload.
    if (at > UINT64_MAX - kLocatorSize || l.PayloadOffset != at + kLocatorSize ||
        l.PayloadSize > UINT64_MAX - l.PayloadOffset || l.SetupDataOffset <= 0 ||
        static_cast<std::uint64_t>(l.SetupDataOffset) != l.PayloadOffset || l.FileDataOffset <= 0 ||
        static_cast<std::uint64_t>(l.FileDataOffset) < l.PayloadOffset + 8 ||
        static_cast<std::uint64_t>(l.FileDataOffset) > l.PayloadEnd())
        return result;
    result.State = l.PayloadEnd() > fileSize ? PayloadState::CutShort : PayloadState::Found;
    return result;
}

PayloadSearch FindProgramPayload(InStream& file) {
    const std::uint64_t fileSize = file.Size();
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kPeHeadLimit)));
    file.Seek(0);
    file.ReadExact(head.data(), head.size());
    const std::optional<PeImageLayout> layout = ReadPeImageLayout(head.data(), head.size(), fileSize);
    if (!layout) return {};
    PayloadSearch result;
    if (layout->ImageEnd > fileSize) {
        result.State = PayloadState::CutShort;
    } else {
        std::uint8_t bytes[kLocatorSize];
        const std::size_t available = static_cast<std::size_t>(std::min<std::uint64_t>(kLocatorSize, fileSize - layout->ImageEnd));
        file.Seek(layout->ImageEnd);
        file.ReadExact(bytes, available);
        result = DecodeLocator(bytes, available, layout->ImageEnd, fileSize);
    }
    result.Image = *layout;
    return result;
}

std::uint32_t FileRangeCrc32(InStream& file, std::uint64_t offset, std::uint64_t size, std::size_t bufferSize) {
    const auto buffer = std::make_unique<std::uint8_t[]>(bufferSize);
    std::uint32_t crc = 0;
    file.Seek(offset);
    while (size > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, bufferSize));
        file.ReadExact(buffer.get(), n);
        crc = Crc32Update(crc, buffer.get(), n);
        size -= n;
    }
    return crc;
}

bool PayloadIsIntact(InStream& file, const PayloadLocator& locator) {
    return FileRangeCrc32(file, locator.PayloadOffset, locator.PayloadSize) == locator.PayloadCrc32;
}

EngineProblem MakeEngineImage(std::vector<std::uint8_t> engineFile, EngineImage& image) {
    const std::uint64_t fileSize = engineFile.size();
    const std::optional<PeImageLayout> layout = ReadPeImageLayout(engineFile.data(), engineFile.size(), fileSize);
    if (!layout || layout->ImageEnd > fileSize) return EngineProblem::NotAProgram;
    const std::size_t end = static_cast<std::size_t>(layout->ImageEnd);
    const std::size_t tail = engineFile.size() - end;
    if (DecodeLocator(engineFile.data() + end, std::min(tail, kLocatorSize), end, fileSize).State !=
        PayloadState::NoPayload)
        return EngineProblem::AlreadyCarriesPayload;

    image = EngineImage{};
    image.Layout = *layout;
    std::uint64_t certificateInTail = 0;
    if (layout->CertificateEntryField != 0 && (layout->CertificateTableOffset != 0 || layout->CertificateTableSize != 0)) {
        std::memset(engineFile.data() + layout->CertificateEntryField, 0, kDirectoryEntrySize);
        image.DroppedSignature = true;
        if (layout->CertificateTableOffset >= end && Fits(layout->CertificateTableOffset, layout->CertificateTableSize, fileSize))
            certificateInTail = layout->CertificateTableSize;
    }
    if (GetUi32(engineFile.data() + layout->SymbolTableField) != 0) {
        std::memset(engineFile.data() + layout->SymbolTableField, 0, 8);  // the pointer and the count
        image.DroppedSymbols = true;
    } else {
        image.DroppedOtherBytes = tail - std::min<std::uint64_t>(tail, certificateInTail);
    }
    SetUi32(engineFile.data() + layout->CheckSumField, 0);
    image.Layout.CertificateTableOffset = image.Layout.CertificateTableSize = 0;
    engineFile.resize(end);
    image.Bytes = std::move(engineFile);
    return EngineProblem::None;
}

}  // namespace qv
