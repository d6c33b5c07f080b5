// The version resource of Windows programs, read from the PE format.
#include <gtest/gtest.h>

#include <cstring>

#include "core/bytes.h"
#include "core/io/streams.h"
#include "tool/pe_version.h"
#include "workspace.h"

namespace qv::test {
namespace {

using tool::FileVersion;
using tool::ReadPeFileVersion;

constexpr std::uint32_t kPeOffset = 0x80;
constexpr std::uint32_t kRawOffset = 0x400, kResourceRva = 0x3000;

// A minimal PE32 or PE32+ image whose only section holds a resource tree
// with one RT_VERSION entry.
Bytes MakeImage(bool pe32Plus, std::uint32_t ms, std::uint32_t ls) {
    Bytes image(kRawOffset + 0x200, 0);
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
    SetUi32(p + section + 20, kRawOffset);

    std::uint8_t* r = p + kRawOffset;
    const auto directory = [&](std::uint32_t at, std::uint32_t id, std::uint32_t target) {
        SetUi16(r + at + 14, 1);  // one entry with an id
        SetUi32(r + at + 16, id);
        SetUi32(r + at + 20, target);
    };
    directory(0x00, 16, 0x80000000u | 0x18);     // RT_VERSION
    directory(0x18, 1, 0x80000000u | 0x30);      // name 1
    directory(0x30, 0x0409, 0x48);               // language, then the data entry
    SetUi32(r + 0x48, kResourceRva + 0x58);
    SetUi32(r + 0x4C, 92);
    std::uint8_t* info = r + 0x58;
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

std::optional<FileVersion> VersionOf(const Bytes& image) {
    MemoryInStream in(image);
    return ReadPeFileVersion(in);
}

TEST(PeVersion, ReadsTheFixedFileVersionOfPe32AndPe32Plus) {
    for (bool pe32Plus : {false, true}) {
        const auto version = VersionOf(MakeImage(pe32Plus, 0x00020005, 0x00030007));
        ASSERT_TRUE(version) << pe32Plus;
        EXPECT_EQ(version->MS, 0x00020005u);
        EXPECT_EQ(version->LS, 0x00030007u);
    }
}

TEST(PeVersion, AnythingElseHasNoVersionAndIsReadSafely) {
    EXPECT_FALSE(VersionOf({}));
    EXPECT_FALSE(VersionOf(MixedBytes(5000, 3)));
    const Bytes good = MakeImage(false, 1, 2);
    Bytes noSignature = good;
    noSignature[kRawOffset + 0x58 + 40] ^= 1;
    EXPECT_FALSE(VersionOf(noSignature));
    Bytes otherType = good;
    SetUi32(otherType.data() + kRawOffset + 16, 3);  // RT_ICON instead of RT_VERSION
    EXPECT_FALSE(VersionOf(otherType));
    Bytes wildOffsets = good;
    SetUi32(wildOffsets.data() + kRawOffset + 0x48, 0xFFFFFFF0u);  // data far outside the image
    EXPECT_FALSE(VersionOf(wildOffsets));
    Bytes loop = good;
    SetUi32(loop.data() + kRawOffset + 0x30 + 20, 0x80000000u);  // a directory pointing at the root
    EXPECT_FALSE(VersionOf(loop));
    // Every cut of a good image short of its version data is read without harm.
    for (std::size_t size = 0; size < kRawOffset + 0x58 + 92; size += 7)
        EXPECT_FALSE(VersionOf(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))));
}

TEST(PeVersion, BuildTakesTheVersionFromTheProgramUnlessTheScriptGivesOne) {
    Workspace w;
    w.AddScript("versioned.toml");
    w.Write("versioned.exe", MakeImage(true, 0x00010002, 0x00030004));
    ASSERT_EQ(RunQvsetup({"build", w.Arg("versioned.toml"), "-o", w.Arg("out")}).Status, 0);
    const nlohmann::json j = ListJson({w.Arg("out")});
    EXPECT_EQ(j["file"][0]["version"], "1.2.3.4");
    EXPECT_EQ(j["file"][0]["raw"]["version_flags"], "0x02");
    EXPECT_EQ(j["file"][1]["version"], "9.8.0.0");
}

#ifdef QV_EXAMPLE_FOLDER
// The example program, built by the project with its VERSIONINFO resource.
TEST(PeVersion, ReadsTheExampleProgramBuiltByTheProject) {
    FileInStream in((std::filesystem::path(QV_EXAMPLE_FOLDER) / "hello.exe").u8string());
    const auto version = ReadPeFileVersion(in);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->MS, 0x00010000u);
    EXPECT_EQ(version->LS, 0x00020003u);
}
#endif

}  // namespace
}  // namespace qv::test
