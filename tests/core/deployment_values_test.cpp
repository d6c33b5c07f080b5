// SHA-256 against the published vectors, and the values of the uninstall
// entry that deployment tools read.
#include <gtest/gtest.h>

#include <string>

#include "core/crypto/sha256.h"
#include "core/setup/deployment_values.h"

namespace qv {
namespace {

std::string Hash(const std::string& text, std::size_t piece) {
    Sha256 hash;
    for (std::size_t i = 0; i < text.size(); i += piece) hash.Update(text.data() + i, std::min(piece, text.size() - i));
    return HexDigest(hash.Finish());
}

TEST(Sha256, PublishedVectorsInAnyPieces) {
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (const std::size_t piece : {1u, 7u, 64u, 1000u}) {
        EXPECT_EQ(Hash("", piece), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
        EXPECT_EQ(Hash("abc", piece), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
        EXPECT_EQ(Hash(twoBlocks, piece), "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
    }
    EXPECT_EQ(Hash(std::string(1000000, 'a'), 4099), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
}

TEST(DeploymentValues, VersionQuietCommandAndIcon) {
    EXPECT_EQ(DisplayVersionOf("你好", "你好 1.0"), "1.0");
    EXPECT_EQ(DisplayVersionOf("App", "App 2.10.3-beta+7"), "2.10.3-beta+7");
    EXPECT_EQ(DisplayVersionOf("App", "App"), std::nullopt);
    EXPECT_EQ(DisplayVersionOf("App", "App "), std::nullopt);
    EXPECT_EQ(DisplayVersionOf("App", "App 1.0 测试版"), std::nullopt);
    EXPECT_EQ(DisplayVersionOf("App", "App v1.0"), std::nullopt);
    EXPECT_EQ(DisplayVersionOf("App", "Apps 1.0"), std::nullopt);
    EXPECT_EQ(DisplayVersionOf("", " 1.0"), std::nullopt);
    EXPECT_EQ(DisplayVersionOf("App", "App " + std::string(129, '1')), std::nullopt);

    EXPECT_EQ(QuietUninstallCommandLine("\"C:\\W\\UNISTB32.EXE\" /U \"a\" \"b\""),
              "\"C:\\W\\UNISTB32.EXE\" /U \"a\" \"b\" /VERYSILENT /SUPPRESSMSGBOXES");
    EXPECT_EQ(UninstallKeyNameOf("你好 1.0", 1), "你好 1.0_qv1");

    std::vector<TIconRec> icons(3);
    icons[0].IconPath = "{commondesktop}\\你好";
    icons[0].Filename = "{app}\\desk.exe";
    icons[1].IconPath = "{group}\\说明";
    icons[2].IconPath = "{group}\\你好";
    icons[2].Filename = "{app}\\hello.exe";
    EXPECT_EQ(FirstGroupIcon(icons), &icons[2]);
    icons[1].Filename = "{app}\\readme.txt";
    EXPECT_EQ(FirstGroupIcon(icons), &icons[1]);
    EXPECT_EQ(FirstGroupIcon({icons[0]}), nullptr);
}

}  // namespace
}  // namespace qv
