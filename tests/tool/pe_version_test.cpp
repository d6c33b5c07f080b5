// The version resource of Windows programs, read from the PE format.
#include <gtest/gtest.h>

#include "core/bytes.h"
#include "core/io/streams.h"
#include "pe_images.h"
#include "tool/pe_version.h"
#include "workspace.h"

namespace qv::test {
namespace {

using tool::FileVersion;
using tool::ReadPeFileVersion;

std::optional<FileVersion> VersionOf(const Bytes& image) {
    MemoryInStream in(image);
    return ReadPeFileVersion(in);
}

TEST(PeVersion, ReadsTheFixedFileVersionOfPe32AndPe32Plus) {
    for (bool pe32Plus : {false, true}) {
        const auto version = VersionOf(MakeVersionedImage(pe32Plus, 0x00020005, 0x00030007));
        ASSERT_TRUE(version) << pe32Plus;
        EXPECT_EQ(version->MS, 0x00020005u);
        EXPECT_EQ(version->LS, 0x00030007u);
    }
}

TEST(PeVersion, AnythingElseHasNoVersionAndIsReadSafely) {
    EXPECT_FALSE(VersionOf({}));
    EXPECT_FALSE(VersionOf(MixedBytes(5000, 3)));
    const Bytes good = MakeVersionedImage(false, 1, 2);
    Bytes noSignature = good;
    noSignature[kImageVersionInfo + 40] ^= 1;
    EXPECT_FALSE(VersionOf(noSignature));
    EXPECT_FALSE(VersionOf(MakeImageWithoutVersion()));  // another resource type only
    Bytes wildOffsets = good;
    SetUi32(wildOffsets.data() + kImageVersionEntry, 0xFFFFFFF0u);  // data far outside the image
    EXPECT_FALSE(VersionOf(wildOffsets));
    Bytes loop = good;
    SetUi32(loop.data() + kImageResources + 0x30 + 20, 0x80000000u);  // a directory pointing at the root
    EXPECT_FALSE(VersionOf(loop));
    // Every cut of a good image short of its version data is read without harm.
    for (std::size_t size = 0; size < kImageVersionInfo + 92; size += 7)
        EXPECT_FALSE(VersionOf(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size))));
}

TEST(PeVersion, BuildTakesTheVersionFromTheProgramUnlessTheScriptGivesOne) {
    Workspace w;
    w.AddScript("versioned.toml");
    w.Write("versioned.exe", MakeVersionedImage(true, 0x00010002, 0x00030004));
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
