// Solid compression through the real program: build, verify, extract and
// the files compared with the sources, across data files; a block damaged
// in the middle refused by verify and extract, which writes none of its files.
#include <gtest/gtest.h>

#include <random>

#include "core/bytes.h"
#include "core/setupdata/solid_blocks.h"
#include "pe_images.h"
#include "tool/platform.h"
#include "workspace.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// A PE32+ image followed by code that calls a few functions from many
// places: relative call targets, all different, that the x86 filter turns
// into a few absolute ones.
Bytes ProgramWithCalls() {
    Bytes image = MakeVersionedImage(true, 0x00010000, 0);
    std::mt19937 random(11);
    while (image.size() < 120000) {
        const std::uint32_t here = static_cast<std::uint32_t>(image.size());
        const std::uint32_t target = 0x1000 * (1 + random() % 8);
        image.push_back(0xE8);
        const std::uint32_t relative = target - (here + 5);
        for (int k = 0; k < 4; ++k) image.push_back(static_cast<std::uint8_t>(relative >> (8 * k)));
        for (int k = random() % 6; k > 0; --k) image.push_back(static_cast<std::uint8_t>(0x40 + random() % 8));
    }
    return image;
}

class Solid : public ::testing::Test {
protected:
    void SetUp() override {
        w.AddScript("solid.toml");
        w.Write("program.exe", ProgramWithCalls());
        w.Write("app.bin", MixedBytes(200000, 7));
        w.Write("same.bin", MixedBytes(200000, 7));
        w.Write("empty.txt", {});
        w.Write("noise.bin", Noise(60000, 3));
    }
    ToolRun MustRun(const std::vector<std::string>& args) {
        ToolRun run = RunQvsetup(args);
        EXPECT_EQ(run.Status, 0) << run.Err;
        return run;
    }
    void ExpectExtracted(const std::string& folder) {
        EXPECT_EQ(w.Read(folder + "/app/program.exe"), w.Read("program.exe"));
        EXPECT_EQ(w.Read(folder + "/app/app.bin"), w.Read("app.bin"));
        EXPECT_EQ(w.Read(folder + "/app/数据/same.bin"), w.Read("same.bin"));
        EXPECT_EQ(w.Read(folder + "/app/empty.txt"), Bytes{});
        EXPECT_EQ(w.Read(folder + "/app/noise.bin"), w.Read("noise.bin"));
    }
    // The flags byte of a file's member in its block's header.
    std::uint8_t MemberFlags(const nlohmann::json& file) {
        const Bytes data = w.Read("out/" + file["location"]["file"].get<std::string>());
        const std::size_t at = file["location"]["start_offset"].get<std::size_t>() + kSolidHeaderFixedSize +
                               kSolidMemberEntrySize * file["location"]["member"].get<std::size_t>() + 4;
        return data.at(at);
    }

    Workspace w;
};

TEST_F(Solid, BuildVerifyAndExtractGiveTheFilesBackAcrossDataFiles) {
    MustRun({"build", w.Arg("solid.toml"), "-o", w.Arg("out"), "--disk-size", "30000"});
    EXPECT_TRUE(w.Exists("out/SETUP.2"));  // the block runs on into the next data files
    const nlohmann::json j = ListJson({w.Arg("out")});
    EXPECT_EQ(j["header"]["solid_blocks"], true);
    const auto& files = j["file"];
    // Each file is a member of its own, in record order, so that the
    // engine never decodes back; identical contents cost next to nothing.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(files[i]["location"]["member"], i);
    EXPECT_EQ(MemberFlags(files[0]), kSolidMemberX86);
    EXPECT_EQ(MemberFlags(files[1]), 0);

    const ToolRun verified = MustRun({"verify", w.Arg("out")});
    EXPECT_NE(verified.Out.find("5 files in 5 members of 1 solid blocks"), std::string::npos) << verified.Out;
    MustRun({"extract", w.Arg("out"), "-d", w.Arg("x")});
    ExpectExtracted("x");

    // --compression overrides the script: streams every engine reads.
    MustRun({"build", w.Arg("solid.toml"), "-o", w.Arg("deflate"), "--compression", "deflate"});
    EXPECT_EQ(ListJson({w.Arg("deflate")})["header"]["solid_blocks"], false);
    const ToolRun deflate = MustRun({"verify", w.Arg("deflate")});
    EXPECT_NE(deflate.Out.find("5 files in 4 streams"), std::string::npos) << deflate.Out;
}

TEST_F(Solid, ABlockDamagedInTheMiddleIsRefusedAndNoneOfItsFilesIsWritten) {
    MustRun({"build", w.Arg("solid.toml"), "-o", w.Arg("out")});
    Bytes data = w.Read("out/SETUP.1");
    const std::size_t block = ListJson({w.Arg("out")})["file"][0]["location"]["start_offset"].get<std::size_t>();
    const std::size_t stream = block + kSolidHeaderFixedSize + GetUi32(data.data() + block + 8) * kSolidMemberEntrySize;
    const std::size_t streamSize = GetUi32(data.data() + block + 12);
    ASSERT_EQ(stream + streamSize, data.size());

    Bytes damaged = data;
    damaged[stream + streamSize / 2] ^= 0x55;
    w.Write("out/SETUP.1", damaged);
    for (const auto& command : {std::vector<std::string>{"verify"}, std::vector<std::string>{"extract", "-d", w.Arg("x")}}) {
        std::vector<std::string> args = command;
        args.push_back(w.Arg("out"));
        const ToolRun run = RunQvsetup(args);
        EXPECT_EQ(run.Status, 2) << run.Err;
        EXPECT_NE(run.Err.find("damaged: file #"), std::string::npos) << run.Err;
    }
    // The damage lies past the first members, which decoded soundly: still
    // no file of the block is there.
    for (const auto& entry : fs::recursive_directory_iterator(w.Path("x")))
        EXPECT_TRUE(entry.is_directory()) << tool::PathToUtf8(entry.path());

    // A changed byte of the member table fails the header's check.
    damaged = data;
    damaged[block + kSolidHeaderFixedSize] ^= 1;
    w.Write("out/SETUP.1", damaged);
    const ToolRun header = RunQvsetup({"verify", w.Arg("out")});
    EXPECT_EQ(header.Status, 2);
    EXPECT_NE(header.Err.find("file #1 ({app}\\program.exe): the header of its solid block at offset 12 of SETUP.1 fails its check"),
              std::string::npos)
        << header.Err;
}

}  // namespace
}  // namespace qv::test
