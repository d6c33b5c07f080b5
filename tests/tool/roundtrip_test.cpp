// The whole cycle through the real program: build, list --json, verify,
// extract, and the extracted files compared byte for byte with the sources.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "core/setupdata/records.h"
#include "pe_images.h"
#include "tool/platform.h"
#include "workspace.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// The sources that scripts/roundtrip.toml names.
void WriteRoundTripSources(const Workspace& w) {
    w.AddScript("roundtrip.toml");
    w.Write("app.bin", MixedBytes(200000, 7));
    w.Write("same.bin", MixedBytes(200000, 7));
    w.Write("empty.txt", {});
    w.WriteText("数据/설명 (韩文名).txt", "说明文字\n第二行\n");
    w.WriteText("license.txt", "\xEF\xBB\xBF许可协议\nLicence line 2\n");
    w.WriteText("before.txt", "安装之前\r\nCR LF kept\r\n");
    w.WriteText("after.txt", "安装之后");
    w.Write("tools/UNISTB32.EXE", MakeVersionedImage(false, 0x00020001, 0x00000007));
}

ToolRun MustRun(const std::vector<std::string>& args) {
    ToolRun run = RunQvsetup(args);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return run;
}

TEST(RoundTrip, EveryRecordKindSurvivesBuildListVerifyExtract) {
    Workspace w;
    WriteRoundTripSources(w);
    const ToolRun built = MustRun({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("out")});
    // The script's five files after the uninstaller it names.
    EXPECT_NE(built.Out.find("records: 2 dirs, 6 files, 1 icon, 2 ini entries, 5 registry entries, 1 uninstall delete, 1 run"),
              std::string::npos) << built.Out;
    EXPECT_NE(built.Out.find("4 stored contents"), std::string::npos) << built.Out;
    EXPECT_TRUE(w.Exists("out/SETUP.0"));
    EXPECT_TRUE(w.Exists("out/SETUP.1"));
    EXPECT_FALSE(w.Exists("out/SETUP.2"));

    const nlohmann::json j = ListJson({w.Arg("out")});
    const auto& h = j["header"];
    EXPECT_EQ(h["app_name"], "往返测试");
    EXPECT_EQ(h["app_name_version"], "往返测试 2.5");
    EXPECT_EQ(h["uninstall_icon_title"], "卸载往返测试");
    EXPECT_EQ(h["min_windows"], "4.10");
    EXPECT_EQ(h["min_nt"], "3.51");
    EXPECT_EQ(h["background_color"], "button-face");
    EXPECT_EQ(h["raw"]["background_color"], "0x8000000F");
    EXPECT_EQ(h["raw"]["options"], "0x07EE");  // every option but no_group_page (bit 4)
    EXPECT_EQ(h["no_group_page"], false);
    EXPECT_EQ(h["restart_after"], true);
    EXPECT_EQ(h["counts"]["file"], 6);
    EXPECT_EQ(j["texts"]["license"], "许可协议\r\nLicence line 2\r\n");  // BOM dropped, CR LF lines
    EXPECT_EQ(j["texts"]["info_before"], "安装之前\r\nCR LF kept\r\n");
    EXPECT_EQ(j["texts"]["info_after"], "安装之后");
    EXPECT_EQ(h["text_sizes"]["license"], 8 + 2 + 14 + 2);  // code page 936 bytes

    EXPECT_EQ(j["dir"][0]["no_uninstall"], true);
    EXPECT_EQ(j["dir"][1]["remove_at_end"], true);

    const auto& uninstaller = j["file"][0];
    EXPECT_EQ(uninstaller["dest"], "{win}\\UNISTB32.EXE");
    EXPECT_EQ(uninstaller["version"], "2.1.0.7");
    EXPECT_EQ(uninstaller["replace"], "keep-newer");

    const auto& app = j["file"][1];
    EXPECT_EQ(app["dest"], "{app}\\bin\\app.bin");
    EXPECT_EQ(app["replace"], "keep-newer");
    EXPECT_EQ(app["version"], "2.5.0.17");
    EXPECT_EQ(app["compare_time"], true);
    EXPECT_EQ(app["time"], "2023-11-05T08:15:30.2500000");
    EXPECT_EQ(app["raw"]["file_flags"], "0x35");  // ask_overwrite, restart_replace, self_register, shared
    EXPECT_EQ(app["original_size"], 200000);
    const auto& same = j["file"][2];
    EXPECT_EQ(same["location"], app["location"]);  // identical contents, one stream
    EXPECT_EQ(same["adler32"], app["adler32"]);
    EXPECT_EQ(same["replace"], "only-if-missing");
    EXPECT_EQ(j["file"][3]["original_size"], 0);
    EXPECT_EQ(j["file"][3]["delete_at_end"], true);
    EXPECT_EQ(j["file"][4]["readme"], true);
    EXPECT_EQ(j["file"][5]["uninstall_data"], true);
    EXPECT_EQ(j["file"][5]["dest"], "");
    EXPECT_EQ(j["file"][5]["location"], j["file"][3]["location"]);  // the same source twice

    EXPECT_EQ(j["icon"][0]["parameters"], "/start \"x\"");
    EXPECT_EQ(j["icon"][0]["icon_index"], 2);
    EXPECT_EQ(j["ini"][0]["uninstall"], "delete-section");
    EXPECT_EQ(j["ini"][1]["file"], "");
    EXPECT_EQ(j["ini"][1]["uninstall"], "delete-key");
    const auto& reg = j["registry"];
    EXPECT_EQ(reg[0]["root"], "HKLM");
    EXPECT_EQ(reg[0]["value"], "{app}");
    EXPECT_EQ(reg[0]["uninstall"], "delete-value");
    EXPECT_EQ(reg[1]["type"], "expand-string");
    EXPECT_EQ(reg[1]["keep_existing"], true);
    EXPECT_EQ(reg[1]["uninstall"], "empty-default");
    EXPECT_EQ(reg[2]["value"], 0xFFFFFFFEu);
    EXPECT_EQ(reg[2]["raw"]["root_key"], "0x80000000");
    EXPECT_EQ(reg[3]["value"], "00 01 7f 80 ff");
    EXPECT_EQ(reg[4]["root"], "HKCC");
    EXPECT_EQ(reg[4]["type"], "none");
    EXPECT_EQ(j["uninstall_delete"][0]["path"], "{app}\\*.log");
    EXPECT_EQ(j["run"][0]["no_wait"], true);

    const ToolRun text = MustRun({"list", w.Arg("out")});
    EXPECT_NE(text.Out.find("app_name: 往返测试"), std::string::npos);
    EXPECT_NE(text.Out.find("  | 许可协议"), std::string::npos);

    const ToolRun verified = MustRun({"verify", w.Arg("out")});
    EXPECT_NE(verified.Out.find("6 files in 4 streams"), std::string::npos) << verified.Out;

    MustRun({"extract", w.Arg("out"), "-d", w.Arg("x")});
    EXPECT_EQ(w.Read("x/app/bin/app.bin"), w.Read("app.bin"));
    EXPECT_EQ(w.Read("x/sys/same.bin"), w.Read("same.bin"));
    EXPECT_TRUE(w.Exists("x/app/empty.txt"));
    EXPECT_EQ(w.Read("x/app/empty.txt").size(), 0u);
    EXPECT_EQ(w.Read("x/app/文档/说明.txt"), w.Read("数据/설명 (韩文名).txt"));
    EXPECT_TRUE(w.Exists("x/app/UNINST0.000"));  // where the engine puts uninstall data
    EXPECT_EQ(w.Read("x/win/UNISTB32.EXE"), w.Read("tools/UNISTB32.EXE"));
    // The time stamp comes back as the script gave it (local time).
    EXPECT_EQ(tool::LocalFileTimeOf(w.Path("x/app/bin/app.bin")), app["raw"]["file_time"].get<std::uint64_t>());
}

TEST(RoundTrip, TimeAndVersionDefaultFromTheSource) {
    Workspace w;
    WriteRoundTripSources(w);
    MustRun({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("out")});
    const nlohmann::json j = ListJson({w.Arg("out")});
    // No time in the script: the source's modification time, as local time.
    EXPECT_EQ(j["file"][2]["raw"]["file_time"].get<std::uint64_t>(), tool::LocalFileTimeOf(w.Path("same.bin")));
    // No version and no version resource: none.
    EXPECT_EQ(j["file"][2]["version"], "none");
    EXPECT_EQ(j["file"][2]["raw"]["version_flags"], "0x00");
}

TEST(RoundTrip, SameInputsGiveByteIdenticalOutput) {
    Workspace w;
    WriteRoundTripSources(w);
    MustRun({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("one")});
    MustRun({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("two")});
    EXPECT_EQ(w.Read("one/SETUP.0"), w.Read("two/SETUP.0"));
    EXPECT_EQ(w.Read("one/SETUP.1"), w.Read("two/SETUP.1"));
    // Rebuilding over earlier output gives the same bytes and leaves no staging behind.
    MustRun({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("one")});
    EXPECT_EQ(w.Read("one/SETUP.0"), w.Read("two/SETUP.0"));
    EXPECT_EQ(std::distance(fs::directory_iterator(w.Path("one")), fs::directory_iterator()), 2);
}

TEST(RoundTrip, OneFileSpansThreeDataFiles) {
    Workspace w;
    w.AddScript("spanning.toml");
    w.Write("small.bin", MixedBytes(3000, 1));
    Bytes noise(50000);
    std::mt19937 random(5);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    w.Write("large.bin", noise);  // incompressible: about 50 KB of stream
    w.Write("tail.bin", MixedBytes(5000, 2));
    const std::int64_t diskSize = 20000;
    MustRun({"build", w.Arg("spanning.toml"), "-o", w.Arg("out"), "--disk-size", std::to_string(diskSize)});

    const nlohmann::json j = ListJson({w.Arg("out")});
    const auto& large = j["file"][1]["location"];
    EXPECT_EQ(large["first_disk"], 1);
    EXPECT_GE(large["last_disk"].get<int>(), 3);
    int dataFiles = 0;
    for (int n = 1; w.Exists("out/SETUP." + std::to_string(n)); ++n) {
        ++dataFiles;
        EXPECT_LE(static_cast<std::int64_t>(fs::file_size(w.Path("out/SETUP." + std::to_string(n)))), diskSize);
    }
    EXPECT_EQ(dataFiles, j["file"][2]["location"]["last_disk"].get<int>());

    const ToolRun verified = MustRun({"verify", w.Arg("out")});
    EXPECT_NE(verified.Out.find("across " + std::to_string(dataFiles) + " data files"), std::string::npos) << verified.Out;
    MustRun({"extract", w.Arg("out"), "-d", w.Arg("x")});
    EXPECT_EQ(w.Read("x/app/large.bin"), noise);
    EXPECT_EQ(w.Read("x/app/small.bin"), w.Read("small.bin"));
    EXPECT_EQ(w.Read("x/app/tail.bin"), w.Read("tail.bin"));

    // The engine also finds SETUP.n in ..\DISKn; so does the tool.
    fs::create_directories(w.Path("DISK2"));
    fs::rename(w.Path("out/SETUP.2"), w.Path("DISK2/SETUP.2"));
    MustRun({"verify", w.Arg("out")});
    fs::rename(w.Path("DISK2/SETUP.2"), w.Path("out/SETUP.2"));

    // Built again without a disk size, the data files of the longer build go.
    MustRun({"build", w.Arg("spanning.toml"), "-o", w.Arg("out")});
    EXPECT_TRUE(w.Exists("out/SETUP.1"));
    EXPECT_FALSE(w.Exists("out/SETUP.2"));
    MustRun({"verify", w.Arg("out")});
}

TEST(RoundTrip, SingleFileLayoutWithSlOffsets) {
    Workspace w;
    WriteRoundTripSources(w);
    const ToolRun built = MustRun({"build", w.Arg("roundtrip.toml"), "--single-file", w.Arg("setup.bin")});
    std::smatch match;
    ASSERT_TRUE(std::regex_search(built.Out, match, std::regex("Setup\\.exe /SL setup\\.bin 0 ([0-9]+)"))) << built.Out;
    const std::string fileDataOffset = match[1];
    EXPECT_FALSE(w.Exists("output"));
    for (const auto& entry : fs::directory_iterator(w.Path("")))  // no scratch file left behind
        EXPECT_NE(tool::PathToUtf8(entry.path().filename())[0], '.') << tool::PathToUtf8(entry.path());

    const nlohmann::json j = ListJson({w.Arg("setup.bin"), "--sl", "0", fileDataOffset});
    EXPECT_EQ(j["setup_data"]["layout"], "single file");
    // The file data follows the setup data directly.
    EXPECT_EQ(std::to_string(j["setup_data"]["size"].get<std::uint64_t>()), fileDataOffset);
    EXPECT_EQ(j["file"][0]["location"]["start_offset"], 0);
    EXPECT_EQ(std::to_string(j["file"][0]["location"]["offset_in_file"].get<std::int64_t>()), fileDataOffset);

    MustRun({"verify", w.Arg("setup.bin"), "--sl", "0", fileDataOffset});
    // Without the offsets the file data is looked for in data files; the message says what to add.
    const ToolRun withoutSl = RunQvsetup({"verify", w.Arg("setup.bin")});
    EXPECT_EQ(withoutSl.Status, 3);
    EXPECT_NE(withoutSl.Err.find("was built with --single-file, add --sl 0 " + fileDataOffset), std::string::npos)
        << withoutSl.Err;
    MustRun({"extract", w.Arg("setup.bin"), "--sl", "0", fileDataOffset, "-d", w.Arg("x")});
    EXPECT_EQ(w.Read("x/app/bin/app.bin"), w.Read("app.bin"));
    EXPECT_EQ(w.Read("x/app/文档/说明.txt"), w.Read("数据/설명 (韩文名).txt"));
    EXPECT_EQ(w.Read("x/win/UNISTB32.EXE"), w.Read("tools/UNISTB32.EXE"));

    // The setup data is the same as in the data-files layout; only locations differ.
    MustRun({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("out")});
    const nlohmann::json split = ListJson({w.Arg("out")});
    EXPECT_EQ(split["header"], j["header"]);
    EXPECT_EQ(split["texts"], j["texts"]);
}

#ifdef QV_EXAMPLE_FOLDER
// The bundled example, with hello.exe built by the project (Windows builds).
TEST(RoundTrip, TheBundledExampleBuildsVerifiesAndExtracts) {
    Workspace w;
    const fs::path example(QV_EXAMPLE_FOLDER);
    // The script names no uninstaller (the demo passes the one it builds).
    w.Write("UNISTB64.EXE", MakeVersionedImage(true, 0x00010000, 0));
    MustRun({"build", tool::PathToUtf8(example / "hello.toml"), "-o", w.Arg("out"), "--uninstaller", w.Arg("UNISTB64.EXE")});
    const nlohmann::json j = ListJson({w.Arg("out")});
    EXPECT_EQ(j["header"]["app_name"], "你好");
    EXPECT_EQ(j["file"][0]["dest"], "{win}\\UNISTB64.EXE");  // an x86-64 uninstaller
    EXPECT_EQ(j["file"][1]["version"], "1.0.2.3");  // from hello.exe's version resource
    for (const char* kind : {"dir", "file", "icon", "ini", "registry", "uninstall_delete", "run"})
        EXPECT_FALSE(j[kind].empty()) << kind;
    MustRun({"verify", w.Arg("out")});
    MustRun({"extract", w.Arg("out"), "-d", w.Arg("x")});
    EXPECT_EQ(w.Read("x/app/hello.exe"), ReadFileBytes(example / "hello.exe"));
}
#endif

TEST(CommandLine, HelpUsageMistakesAndExitStatus) {
    EXPECT_EQ(RunQvsetup({"--help"}).Status, 0);
    const ToolRun help = RunQvsetup({"build", "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("--single-file"), std::string::npos) << help.Out;
    EXPECT_NE(help.Out.find("--uninstaller FILE"), std::string::npos) << help.Out;
    EXPECT_EQ(RunQvsetup({}).Status, 1);
    EXPECT_EQ(RunQvsetup({"frobnicate"}).Status, 1);
    EXPECT_EQ(RunQvsetup({"build", "x.toml", "--level", "12"}).Status, 1);
    EXPECT_EQ(RunQvsetup({"build", "x.toml", "--single-file", "a", "--disk-size", "100000"}).Status, 1);
    EXPECT_EQ(RunQvsetup({"list", "x", "--sl", "0"}).Status, 1);
    const ToolRun missingScript = RunQvsetup({"build", "no-such-script.toml"});
    EXPECT_EQ(missingScript.Status, 1);
    EXPECT_NE(missingScript.Err.find("cannot read the script 'no-such-script.toml'"), std::string::npos);
    const ToolRun missingData = RunQvsetup({"verify", "no-such-folder"});
    EXPECT_EQ(missingData.Status, 3);
    EXPECT_NE(missingData.Err.find("no-such-folder"), std::string::npos);
}

TEST(CommandLine, AFailedBuildLeavesNoOutputAndKeepsEarlierOutput) {
    Workspace w;
    WriteRoundTripSources(w);
    fs::remove(w.Path("same.bin"));
    const ToolRun failed = RunQvsetup({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("out")});
    EXPECT_EQ(failed.Status, 1);
    EXPECT_FALSE(w.Exists("out"));

    w.Write("same.bin", MixedBytes(200000, 7));
    MustRun({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("out")});
    const Bytes before = w.Read("out/SETUP.0");
    fs::remove(w.Path("same.bin"));
    EXPECT_EQ(RunQvsetup({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("out")}).Status, 1);
    EXPECT_EQ(w.Read("out/SETUP.0"), before);

    // An output place that cannot become a folder is an I/O failure.
    w.Write("same.bin", MixedBytes(200000, 7));
    w.WriteText("blocked", "a file where the output folder should go");
    const ToolRun blocked = RunQvsetup({"build", w.Arg("roundtrip.toml"), "-o", w.Arg("blocked")});
    EXPECT_EQ(blocked.Status, 3) << blocked.Err;
    EXPECT_NE(blocked.Err.find("blocked"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
