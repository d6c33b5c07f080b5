// Damaged setup data of each kind: verify (and list, and extract) end with
// exit status 2 and a message that names the damaged item.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/bytes.h"
#include "core/io/streams.h"
#include "core/setupdata/block.h"
#include "core/setupdata/setup_data.h"
#include "tool/platform.h"
#include "workspace.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// Setup data of the spanning script in two or more data files, built once
// per test; each test damages a copy.
class DamagedData : public ::testing::Test {
protected:
    void SetUp() override {
        w.AddScript("spanning.toml");
        w.Write("small.bin", MixedBytes(3000, 1));
        w.Write("large.bin", Noise(30000, 3));  // stored deflate blocks: a changed byte fails zlib's check
        w.Write("tail.bin", MixedBytes(5000, 2));
        const ToolRun run = RunQvsetup({"build", w.Arg("spanning.toml"), "-o", w.Arg("out"), "--disk-size", "20000"});
        ASSERT_EQ(run.Status, 0) << run.Err;
    }

    SetupData Load() {
        FileInStream in(w.Arg("out/SETUP.0"));
        return LoadSetupData(in);
    }
    void Save(const SetupData& data) {
        FileOutStream out(w.Arg("out/SETUP.0"));
        WriteSetupData(out, data, 9);
        out.Close();
    }
    void FlipByte(const std::string& file, std::size_t offset) {
        Bytes bytes = w.Read(file);
        ASSERT_LT(offset, bytes.size());
        bytes[offset] ^= 0x55;
        w.Write(file, bytes);
    }
    // Offset of the block of one item of SETUP.0, as the core's reader finds it.
    std::uint64_t ItemOffset(const std::string& kind, std::int32_t index) {
        FileInStream in(w.Arg("out/SETUP.0"));
        ReadSetupSignature(in);
        SetupData data;
        data.SetupInfo = ReadSetupHeader(in);
        std::uint64_t found = 0;
        ReadSetupEntries(in, data, [&](const char* k, std::int32_t i) {
            if (kind == k && index == i) found = in.Position();
        });
        return found;
    }
    // Runs a command over the damaged data and expects exit status 2 and
    // every fragment in its message.
    void ExpectDamage(const std::vector<std::string>& command, const std::vector<std::string>& fragments) {
        std::vector<std::string> args = command;
        args.push_back(w.Arg("out"));
        const ToolRun run = RunQvsetup(args);
        EXPECT_EQ(run.Status, 2) << run.Err;
        EXPECT_NE(run.Err.find("damaged:"), std::string::npos) << run.Err;
        for (const auto& fragment : fragments) EXPECT_NE(run.Err.find(fragment), std::string::npos) << run.Err;
    }

    Workspace w;
};

TEST_F(DamagedData, SetupDataSignatureHeaderRecordAndLength) {
    FlipByte("out/SETUP.0", 2);
    ExpectDamage({"verify"}, {"SETUP.0: no setup data here: the signature \"i109-32\" is missing (at offset 0)"});
    ExpectDamage({"list"}, {"signature"});
    FlipByte("out/SETUP.0", 2);

    FlipByte("out/SETUP.0", 8 + 20);
    ExpectDamage({"verify"}, {"SETUP.0: the header (at offset 8) is damaged: its block fails its checks"});
    FlipByte("out/SETUP.0", 8 + 20);

    const std::uint64_t second = ItemOffset("TFileRec", 1);
    ASSERT_GT(second, 0u);
    FlipByte("out/SETUP.0", second + 6);  // its compressed size
    ExpectDamage({"verify"}, {"file record #2 (TFileRec) (at offset " + std::to_string(second) + ") is damaged"});
    ExpectDamage({"list", "--json"}, {"file record #2"});
    FlipByte("out/SETUP.0", second + 6);

    const std::uint64_t location = ItemOffset("TFileLocationRec", 2);
    Bytes bytes = w.Read("out/SETUP.0");
    w.Write("out/SETUP.0", Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(location) + 10));
    ExpectDamage({"verify"}, {"the setup data ends inside file location record #3", "cut short"});
}

TEST_F(DamagedData, AnImpossibleValueInASoundBlock) {
    // A binary registry value of 253 bytes would reach past its field.
    TSetupHeaderRec header;
    header.AppName = "x";
    header.RegistryCount = 1;
    std::uint8_t headerBytes[TSetupHeaderRec::kSize];
    header.Encode(headerBytes);
    TRegistryRec reg;
    reg.ValueType = rtBinary;
    reg.ValueBinary.assign(10, 0xAB);
    std::uint8_t regBytes[TRegistryRec::kSize];
    reg.Encode(regBytes);
    SetUi32(regBytes + 180, 253);
    {
        FileOutStream out(w.Arg("out/SETUP.0"));
        out.Write(kSetupDataSignature.data(), kSetupDataSignature.size());
        WriteBlock(out, headerBytes, sizeof headerBytes, 9);
        WriteBlock(out, regBytes, sizeof regBytes, 9);
        out.Close();
    }
    ExpectDamage({"list"}, {"registry record #1 (TRegistryRec)", "holds an impossible value"});
}

TEST_F(DamagedData, DataFileSignatureAndSize) {
    FlipByte("out/SETUP.2", 1);
    ExpectDamage({"verify"}, {"SETUP.2: not a data file: the signature \"idska32\" is missing"});
    FlipByte("out/SETUP.2", 1);

    Bytes bytes = w.Read("out/SETUP.1");
    bytes.push_back(0);
    w.Write("out/SETUP.1", bytes);
    ExpectDamage({"verify"}, {"SETUP.1: its header gives its size as 20000 bytes, but it has 20001"});
    bytes.pop_back();
    w.Write("out/SETUP.1", bytes);

    // Extract checks no data file ahead: the damage is met inside a stream.
    FlipByte("out/SETUP.2", 1);
    ExpectDamage({"extract", "-d", w.Arg("x")},
                 {"SETUP.2: not a data file: the signature \"idska32\" is missing (while reading file #2 ({app}\\large.bin))"});
    FlipByte("out/SETUP.2", 1);

    const Bytes second = w.Read("out/SETUP.2");
    w.Write("out/SETUP.2", Bytes(second.begin(), second.begin() + 7));
    ExpectDamage({"verify"}, {"SETUP.2: shorter than the 12-byte header of a data file (it has 7 bytes)"});
}

TEST_F(DamagedData, ImpossibleLocationsAndSizes) {
    const SetupData data = Load();
    SetupData wrong = data;
    wrong.FileRecords[1].CompressedSize = -2;
    Save(wrong);
    ExpectDamage({"verify"}, {"file #2 ({app}\\large.bin): its record gives a negative size (compressed -2"});

    wrong = data;
    wrong.FileLocationRecords[0].FirstDisk = 2;
    Save(wrong);
    ExpectDamage({"extract", "-d", w.Arg("x")}, {"file #1 ({app}\\small.bin): its location names the data files 2 to 1"});
    EXPECT_FALSE(w.Exists("x/app/small.bin"));
}

TEST_F(DamagedData, TheSingleFileIsNamedInItsDamage) {
    const ToolRun built = RunQvsetup({"build", w.Arg("spanning.toml"), "--single-file", w.Arg("setup.bin")});
    ASSERT_EQ(built.Status, 0) << built.Err;
    const std::string marker = "/SL setup.bin 0 ";
    const std::size_t at = built.Out.find(marker);
    ASSERT_NE(at, std::string::npos) << built.Out;
    const std::string fileDataOffset = std::to_string(std::stoll(built.Out.substr(at + marker.size())));

    Bytes bytes = w.Read("setup.bin");
    bytes.resize(bytes.size() - 100);
    w.Write("setup.bin", bytes);
    const ToolRun run = RunQvsetup({"verify", w.Arg("setup.bin"), "--sl", "0", fileDataOffset});
    EXPECT_EQ(run.Status, 2) << run.Err;
    EXPECT_NE(run.Err.find("file #3 ({app}\\tail.bin): its stream runs past the end of its last data file (" +
                           w.Arg("setup.bin") + "): 100 of its compressed bytes are missing"),
              std::string::npos)
        << run.Err;
}

TEST_F(DamagedData, StreamMarkerContentsAndRecordedChecks) {
    const SetupData data = Load();
    FlipByte("out/SETUP.1", static_cast<std::size_t>(data.FileLocationRecords[0].StartOffset) + 1);
    ExpectDamage({"verify"}, {"file #1 ({app}\\small.bin): no \"zlb\" marker at offset 12 of SETUP.1"});
    FlipByte("out/SETUP.1", static_cast<std::size_t>(data.FileLocationRecords[0].StartOffset) + 1);

    // A byte of the large file's stored deflate data, in SETUP.2.
    FlipByte("out/SETUP.2", 5000);
    ExpectDamage({"verify"}, {"file #2 ({app}\\large.bin): its compressed data is corrupt"});
    FlipByte("out/SETUP.2", 5000);

    SetupData wrong = data;
    wrong.FileRecords[2].Adler32 ^= 1;
    Save(wrong);
    ExpectDamage({"verify"}, {"file #3 ({app}\\tail.bin): the Adler-32 of its contents is"});

    wrong = data;
    wrong.FileRecords[0].OriginalSize -= 1;
    Save(wrong);
    ExpectDamage({"verify"}, {"file #1 ({app}\\small.bin): its stream decompresses to more than the 2999 bytes"});

    wrong = data;
    wrong.FileRecords[0].OriginalSize += 1;
    Save(wrong);
    ExpectDamage({"verify"}, {"file #1 ({app}\\small.bin): its stream decompresses to 3000 bytes, its record gives 3001"});

    wrong = data;
    wrong.FileLocationRecords[1].LastDisk -= 1;
    Save(wrong);
    ExpectDamage({"verify"}, {"file #2 ({app}\\large.bin): its stream runs past the end of its last data file"});

    wrong = data;
    wrong.FileLocationRecords[2].StartOffset = 1 << 30;
    Save(wrong);
    ExpectDamage({"verify"}, {"file #3 ({app}\\tail.bin): its stream would start at offset 1073741824, outside SETUP."});

    Save(data);
    const ToolRun sound = RunQvsetup({"verify", w.Arg("out")});
    EXPECT_EQ(sound.Status, 0) << sound.Err;
}

TEST_F(DamagedData, ExtractStopsAtTheDamagedFileAndLeavesNoPartOfIt) {
    FlipByte("out/SETUP.2", 5000);
    ExpectDamage({"extract", "-d", w.Arg("x")}, {"file #2 ({app}\\large.bin): its compressed data is corrupt"});
    EXPECT_TRUE(w.Exists("x/app/small.bin"));
    EXPECT_FALSE(w.Exists("x/app/large.bin"));
    for (const auto& entry : fs::directory_iterator(w.Path("x/app")))
        EXPECT_EQ(tool::PathToUtf8(entry.path().filename()), "small.bin");
}

// Threads write the files after a damaged one beside their places before
// its turn comes: none of them, nor the folders made for them, may stay.
TEST(DamagedDataAhead, ExtractRemovesWhatWasWrittenAheadOfADamagedFile) {
    Workspace w;
    std::string script = "[setup]\napp_name = \"Ahead\"\nuninstaller = false\n";
    const auto add = [&](const std::string& source, const std::string& dest) {
        script += "\n[[file]]\nsource = \"" + source + "\"\ndest = \"{app}\\\\" + dest + "\"\n";
    };
    w.Write("first.bin", MixedBytes(3000, 1));
    add("first.bin", "first.bin");
    w.Write("damaged.bin", Noise(30000, 3));  // stored deflate blocks: a changed byte fails zlib's check
    add("damaged.bin", "damaged.bin");
    for (int i = 0; i < 60; ++i) {
        w.Write("later" + std::to_string(i) + ".bin", MixedBytes(2000 + i, 10 + i));
        add("later" + std::to_string(i) + ".bin",
            (i % 2 ? "" : "later\\\\" + std::to_string(i % 7) + "\\\\") + "later" + std::to_string(i) + ".bin");
    }
    w.WriteText("ahead.toml", script);
    const ToolRun built = RunQvsetup({"build", w.Arg("ahead.toml"), "-o", w.Arg("out")});
    ASSERT_EQ(built.Status, 0) << built.Err;
    FileInStream in(w.Arg("out/SETUP.0"));
    const SetupData data = LoadSetupData(in);
    Bytes bytes = w.Read("out/SETUP.1");
    bytes[static_cast<std::size_t>(data.FileLocationRecords[1].StartOffset) + 5000] ^= 0x55;
    w.Write("out/SETUP.1", bytes);

    const ToolRun run = RunQvsetup({"extract", w.Arg("out"), "-d", w.Arg("x")});
    EXPECT_EQ(run.Status, 2) << run.Err;
    EXPECT_NE(run.Err.find("file #2 ({app}\\damaged.bin): its compressed data is corrupt"), std::string::npos) << run.Err;
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(w.Path("x")))
        left.push_back(entry.path().lexically_relative(w.Path("x")).generic_u8string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"app", "app/first.bin"}));

    // The same setup data whole extracts every file.
    bytes[static_cast<std::size_t>(data.FileLocationRecords[1].StartOffset) + 5000] ^= 0x55;
    w.Write("out/SETUP.1", bytes);
    const ToolRun sound = RunQvsetup({"extract", w.Arg("out"), "-d", w.Arg("x")});
    ASSERT_EQ(sound.Status, 0) << sound.Err;
    EXPECT_EQ(w.Read("x/app/later/6/later48.bin"), w.Read("later48.bin"));
    EXPECT_EQ(w.Read("x/app/later59.bin"), w.Read("later59.bin"));
}

TEST_F(DamagedData, AMissingDataFileIsAnIoFailure) {
    fs::remove(w.Path("out/SETUP.2"));
    const ToolRun run = RunQvsetup({"verify", w.Arg("out")});
    EXPECT_EQ(run.Status, 3);
    EXPECT_NE(run.Err.find("data file SETUP.2 not found"), std::string::npos) << run.Err;

    // One that is there but cannot be read.
    fs::create_directory(w.Path("out/SETUP.2"));
    const ToolRun unreadable = RunQvsetup({"verify", w.Arg("out")});
    EXPECT_EQ(unreadable.Status, 3);
    EXPECT_NE(unreadable.Err.find("SETUP.2"), std::string::npos) << unreadable.Err;
}

}  // namespace
}  // namespace qv::test
