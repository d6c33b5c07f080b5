#include "pe_images.h"

#include <cstring>

#include "core/bytes.h"

namespace qv::test {

namespace {

constexpr std::uint32_t kPeOffset = 0x80;
constexpr std::uint32_t kResourceRva = 0x3000;

}  // namespace

Bytes MakeVersionedImage(bool pe32Plus, std::uint32_t ms, std::uint32_t ls) {
    Bytes image(kImageResources + 0x200, 0);
    std::uint8_t* p = image.data();
    p[0] = 'M';
    p[1] = 'Z';
    SetUi32(p + 0x3C, kPeOffset);
    std::memcpy(p + kPeOffset, "PE\0\0", 4);
    const std::uint32_t coff = kPeOffset + 4;
    SetUi16(p + coff, pe32Plus ? 0x8664 : 0x14C);
    SetUi16(p + coff + 2, 1);  // one section
    const std::uint16_t optionalSize = pe32Plus ? 240 : 224;
    SetUi16(p + coff + 16, optionalSize);
    const std::uint32_t optional = coff + 20;
    SetUi16(p + optional, pe32Plus ? 0x20B : 0x10B);
    const std::uint32_t directories = optional + (pe32Plus ? 108 : 92);
    SetUi32(p + directories, 16);
    SetUi32(p + directories + 4 + 2 * 8, kResourceRva);
    SetUi32(p + directories + 4 + 2 * 8 + 4, 0x100);
    const std::uint32_t section = optional + optionalSize;
    std::memcpy(p + section, ".rsrc", 5);
    SetUi32(p + section + 8, 0x200);         // virtual size
    SetUi32(p + section + 12, kResourceRva);  // virtual address
    SetUi32(p + section + 16, 0x200);        // raw size
    SetUi32(p + section + 20, kImageResources);

    std::uint8_t* r = p + kImageResources;
    const auto directory = [&](std::uint32_t at, std::uint32_t id, std::uint32_t target) {
        SetUi16(r + at + 14, 1);  // one entry with an id
        SetUi32(r + at + 16, id);
        SetUi32(r + at + 20, target);
    };
    directory(0x00, 16, 0x80000000u | 0x18);     // RT_VERSION
    directory(0x18, 1, 0x80000000u | 0x30);      // name 1
    directory(0x30, 0x0409, kImageVersionEntry - kImageResources);  // language, then the data entry
    SetUi32(p + kImageVersionEntry, kResourceRva + (kImageVersionInfo - kImageResources));
    SetUi32(p + kImageVersionEntry + 4, 92);
    std::uint8_t* info = p + kImageVersionInfo;
    SetUi16(info, 92);
    SetUi16(info + 2, 52);
    const char key[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < sizeof key; ++i) SetUi16(info + 6 + i * 2, static_cast<std::uint8_t>(key[i]));
    SetUi32(info + 40, 0xFEEF04BD);
    SetUi32(info + 44, 0x00010000);
    SetUi32(info + 48, ms);
    SetUi32(info + 52, ls);
    return image;
}

Bytes MakeImageWithoutVersion() {
    Bytes image = MakeVersionedImage(false, 0x00010000, 0);
    SetUi32(image.data() + kImageResources + 16, 3);  // RT_ICON instead of RT_VERSION
    return image;
}

}  // namespace qv::test
