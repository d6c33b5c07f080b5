#include "tool/pe_version.h"

#include <vector>

#include "core/bytes.h"
#include "core/errors.h"

namespace qv::tool {

namespace {

constexpr std::uint32_t kResourceTypeVersion = 16;  // RT_VERSION
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kMaxVersionResource = 1 << 16;

class ImageReader {
public:
    explicit ImageReader(InStream& file) : file_(file) {}

    bool Read(std::uint64_t offset, void* buffer, std::size_t size) {
        if (offset > file_.Size() || file_.Size() - offset < size) return false;
        file_.Seek(offset);
        return file_.Read(buffer, size) == size;
    }
    std::optional<std::uint32_t> U32(std::uint64_t offset) {
        std::uint8_t b[4];
        if (!Read(offset, b, 4)) return std::nullopt;
        return GetUi32(b);
    }
    std::optional<std::uint16_t> U16(std::uint64_t offset) {
        std::uint8_t b[2];
        if (!Read(offset, b, 2)) return std::nullopt;
        return GetUi16(b);
    }

private:
    InStream& file_;
};

struct Section {
    std::uint32_t VirtualAddress, VirtualSize, RawOffset, RawSize;
};

// The file offset of `size` bytes at a relative virtual address, when they
// lie wholly in one section's raw data.
std::optional<std::uint64_t> FileOffsetOf(const std::vector<Section>& sections, std::uint32_t rva,
                                          std::uint32_t size) {
    for (const auto& s : sections) {
        if (rva < s.VirtualAddress) continue;
        const std::uint64_t into = rva - s.VirtualAddress;
        if (into + size <= s.RawSize) return std::uint64_t{s.RawOffset} + into;
    }
    return std::nullopt;
}

// The entry of a resource directory at `dir` (offset from the resource
// root) with the given id, or its first entry when `id` is empty.
std::optional<std::uint32_t> DirectoryEntry(ImageReader& image, std::uint64_t root, std::uint32_t dir,
                                            std::optional<std::uint32_t> id) {
    const auto named = image.U16(root + dir + 12);
    const auto ids = image.U16(root + dir + 14);
    if (!named || !ids) return std::nullopt;
    const std::uint32_t count = std::uint32_t{*named} + *ids;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = root + dir + 16 + std::uint64_t{i} * 8;
        const auto name = image.U32(entry);
        const auto target = image.U32(entry + 4);
        if (!name || !target) return std::nullopt;
        if (!id || (!(*name & 0x80000000u) && *name == *id)) return *target;
    }
    return std::nullopt;
}

// The offset of the COFF file header, after "PE\0\0".
std::optional<std::uint64_t> CoffHeaderOffset(ImageReader& image) {
    std::uint8_t mz[2];
    if (!image.Read(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return std::nullopt;
    const auto peOffset = image.U32(0x3C);
    std::uint8_t pe[4];
    if (!peOffset || !image.Read(*peOffset, pe, 4) || pe[0] != 'P' || pe[1] != 'E' || pe[2] || pe[3])
        return std::nullopt;
    return std::uint64_t{*peOffset} + 4;
}

}  // namespace

std::optional<std::uint16_t> ReadPeMachine(InStream& file) {
    ImageReader image(file);
    const auto coff = CoffHeaderOffset(image);
    return coff ? image.U16(*coff) : std::nullopt;
}

std::optional<FileVersion> ReadPeFileVersion(InStream& file) {
    ImageReader image(file);
    const auto coffAt = CoffHeaderOffset(image);
    if (!coffAt) return std::nullopt;
    const std::uint64_t coff = *coffAt;
    const auto sectionCount = image.U16(coff + 2);
    const auto optionalSize = image.U16(coff + 16);
    const std::uint64_t optional = coff + 20;
    const auto magic = image.U16(optional);
    if (!sectionCount || !optionalSize || !magic) return std::nullopt;
    // PE32 and PE32+ differ in where the data directories begin.
    std::uint64_t directoryCountAt;
    if (*magic == 0x10B) directoryCountAt = optional + 92;
    else if (*magic == 0x20B) directoryCountAt = optional + 108;
    else return std::nullopt;
    const auto directoryCount = image.U32(directoryCountAt);
    if (!directoryCount || *directoryCount < 3) return std::nullopt;
    const std::uint64_t resourceDirectory = directoryCountAt + 4 + 2 * 8;
    if (resourceDirectory + 8 > optional + *optionalSize) return std::nullopt;
    const auto resourceRva = image.U32(resourceDirectory);
    if (!resourceRva || *resourceRva == 0) return std::nullopt;

    std::vector<Section> sections;
    const std::uint64_t table = optional + *optionalSize;
    for (std::uint16_t i = 0; i < *sectionCount; ++i) {
        std::uint8_t h[kSectionHeaderSize];
        if (!image.Read(table + i * kSectionHeaderSize, h, sizeof h)) return std::nullopt;
        sections.push_back({GetUi32(h + 12), GetUi32(h + 8), GetUi32(h + 20), GetUi32(h + 16)});
    }
    const auto root = FileOffsetOf(sections, *resourceRva, 16);
    if (!root) return std::nullopt;

    // Type RT_VERSION, then the first name, then the first language.
    auto entry = DirectoryEntry(image, *root, 0, kResourceTypeVersion);
    for (int level = 0; level < 2 && entry; ++level) {
        if (!(*entry & 0x80000000u)) return std::nullopt;  // a subdirectory is expected here
        entry = DirectoryEntry(image, *root, *entry & 0x7FFFFFFFu, std::nullopt);
    }
    if (!entry || (*entry & 0x80000000u)) return std::nullopt;
    const auto dataRva = image.U32(*root + *entry);
    const auto dataSize = image.U32(*root + *entry + 4);
    if (!dataRva || !dataSize || *dataSize > kMaxVersionResource) return std::nullopt;
    const auto dataOffset = FileOffsetOf(sections, *dataRva, *dataSize);
    if (!dataOffset) return std::nullopt;
    std::vector<std::uint8_t> block(*dataSize);
    if (!image.Read(*dataOffset, block.data(), block.size())) return std::nullopt;

    // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO",
    // padding to 32 bits, then VS_FIXEDFILEINFO.
    static const char kKey[] = "VS_VERSION_INFO";
    constexpr std::size_t kKeyChars = sizeof kKey;  // with its terminating zero
    constexpr std::size_t kValueOffset = (6 + kKeyChars * 2 + 3) / 4 * 4;
    if (block.size() < kValueOffset + 16 || GetUi16(block.data() + 2) < 52) return std::nullopt;
    for (std::size_t i = 0; i < kKeyChars; ++i)
        if (GetUi16(block.data() + 6 + i * 2) != static_cast<std::uint8_t>(kKey[i])) return std::nullopt;
    const std::uint8_t* fixed = block.data() + kValueOffset;
    if (GetUi32(fixed) != kFixedFileInfoSignature) return std::nullopt;
    return FileVersion{GetUi32(fixed + 8), GetUi32(fixed + 12)};
}

}  // namespace qv::tool
