// `build --exe`: one program, read again by list, verify and extract, the
// same bytes from the same inputs, refused when cut or changed; and the
// winget manifests that describe it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "core/bytes.h"
#include "core/crypto/sha256.h"
#include "pe_images.h"
#include "workspace.h"

namespace qv::test {
namespace {

constexpr char kScript[] =
    "[setup]\napp_name = \"一个程序\"\napp_name_version = \"一个程序 2.1\"\nuninstaller = false\n\n"
    "[[file]]\nsource = \"app.bin\"\ndest = \"{app}\\\\app.bin\"\n\n"
    "[[file]]\nsource = \"说明.txt\"\ndest = \"{app}\\\\说明.txt\"\n\n"
    "[[icon]]\nname = \"{group}\\\\一个程序\"\nprogram = \"{app}\\\\app.bin\"\n";

void WriteSources(const Workspace& w, const std::string& setupExtra = "", const std::string& uninstaller = "false") {
    std::string script = kScript;
    script.insert(script.find("\n\n[[file]]"), setupExtra);
    script.replace(script.find("uninstaller = false"), 19, "uninstaller = " + uninstaller);
    w.WriteText("app.toml", script);
    w.Write("app.bin", MixedBytes(300000, 11));
    w.WriteText("说明.txt", "说明文字\n");
    w.Write("engine/Setup.exe", MakeVersionedImage(false, 0x00010000, 0));
}

ToolRun Build(const Workspace& w, const std::string& program, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"build", w.Arg("app.toml"), "--exe", w.Arg(program)};
    args.insert(args.end(), more.begin(), more.end());
    return RunQvsetup(args);
}

TEST(Program, OneProgramThatListVerifyAndExtractReadAndTheSameInputsGiveTheSameBytes) {
    Workspace w;
    WriteSources(w, "\nengine = \"engine/Setup.exe\"");
    const ToolRun built = Build(w, "app-setup.exe");
    ASSERT_EQ(built.Status, 0) << built.Err;
    EXPECT_NE(built.Out.find("([setup] engine)"), std::string::npos) << built.Out;
    EXPECT_NE(built.Out.find("one program: the setup data at offset"), std::string::npos) << built.Out;

    const Bytes program = w.Read("app-setup.exe");
    const Bytes engine = w.Read("engine/Setup.exe");
    EXPECT_TRUE(std::equal(engine.begin() + 0x400, engine.end(), program.begin() + 0x400));  // the sections, as they were
    EXPECT_EQ(program.size() % 8, 0u);

    const nlohmann::json j = ListJson({w.Arg("app-setup.exe")});
    EXPECT_EQ(j["setup_data"]["layout"], "program");
    EXPECT_EQ(j["setup_data"]["data_offset"], engine.size() + 48);
    EXPECT_EQ(j["header"]["app_name_version"], "一个程序 2.1");
    const ToolRun verified = RunQvsetup({"verify", w.Arg("app-setup.exe")});
    EXPECT_EQ(verified.Status, 0) << verified.Err;
    EXPECT_NE(verified.Out.find("has its CRC-32"), std::string::npos) << verified.Out;
    const ToolRun extracted = RunQvsetup({"extract", w.Arg("app-setup.exe"), "-d", w.Arg("x")});
    ASSERT_EQ(extracted.Status, 0) << extracted.Err;
    EXPECT_EQ(w.Read("x/app/app.bin"), w.Read("app.bin"));
    EXPECT_EQ(w.Read("x/app/说明.txt"), w.Read("说明.txt"));

    // --engine wins over [setup] engine; the same engine gives the same bytes.
    w.Write("other/Setup.exe", engine);
    ASSERT_EQ(Build(w, "again.exe", {"--engine", w.Arg("other/Setup.exe")}).Status, 0);
    EXPECT_EQ(w.Read("again.exe"), program);
}

TEST(Program, ACutOrChangedProgramAndAnEngineThatCannotServeAreRefused) {
    Workspace w;
    WriteSources(w);
    // A signed engine loses its signature; a program is no engine.
    Bytes signedEngine = MakeVersionedImage(false, 0x00010000, 0);
    const std::uint32_t securityEntry = 0x80 + 24 + 96 + 4 * 8;
    SetUi32(signedEngine.data() + securityEntry, static_cast<std::uint32_t>(signedEngine.size()));
    SetUi32(signedEngine.data() + securityEntry + 4, 16);
    signedEngine.insert(signedEngine.end(), 16, 0x30);
    w.Write("signed/Setup.exe", signedEngine);
    const ToolRun built = Build(w, "app-setup.exe", {"--engine", w.Arg("signed/Setup.exe")});
    ASSERT_EQ(built.Status, 0) << built.Err;
    EXPECT_NE(built.Out.find("its signature was left out"), std::string::npos) << built.Out;
    const ToolRun notEngine = Build(w, "second.exe", {"--engine", w.Arg("app-setup.exe")});
    EXPECT_EQ(notEngine.Status, 1);
    EXPECT_NE(notEngine.Err.find("already carries an installation"), std::string::npos) << notEngine.Err;
    EXPECT_FALSE(w.Exists("second.exe"));
    const ToolRun noEngine = RunQvsetup({"build", w.Arg("app.toml"), "--exe", w.Arg("third.exe"), "--engine", w.Arg("none.exe")});
    EXPECT_EQ(noEngine.Status, 1);
    EXPECT_NE(noEngine.Err.find("which does not exist"), std::string::npos) << noEngine.Err;

    const Bytes program = w.Read("app-setup.exe");
    Bytes cut(program.begin(), program.end() - 9);  // past the padding, into the payload
    w.Write("cut.exe", cut);
    const ToolRun cutRun = RunQvsetup({"verify", w.Arg("cut.exe")});
    EXPECT_EQ(cutRun.Status, 2);
    EXPECT_NE(cutRun.Err.find("the program is cut short"), std::string::npos) << cutRun.Err;

    // A byte of the stored file data: extract checks the whole payload
    // before it writes anything, verify names what is wrong.
    Bytes changed = program;
    changed[changed.size() - 5000] ^= 0x01;
    w.Write("changed.exe", changed);
    EXPECT_EQ(RunQvsetup({"verify", w.Arg("changed.exe")}).Status, 2);
    const ToolRun extracted = RunQvsetup({"extract", w.Arg("changed.exe"), "-d", w.Arg("x")});
    EXPECT_EQ(extracted.Status, 2);
    EXPECT_NE(extracted.Err.find("the CRC-32 of its payload"), std::string::npos) << extracted.Err;
    EXPECT_FALSE(w.Exists("x/app"));
    const ToolRun plain = RunQvsetup({"list", w.Arg("engine/Setup.exe")});
    EXPECT_EQ(plain.Status, 1);
    EXPECT_NE(plain.Err.find("carries no setup data"), std::string::npos) << plain.Err;
}

// An engine installs applications of its own machine type and names the
// uninstaller of that type: the script, the uninstaller and the engine agree.
TEST(Program, TheEngineAndTheUninstallerAreOfTheInstallationsMachineType) {
    Workspace w;
    WriteSources(w, "", "\"tools/uninstaller.exe\"");
    w.Write("tools/uninstaller.exe", MakeVersionedImage(true, 0x00020000, 0));
    w.Write("engine64/Setup.exe", MakeVersionedImage(true, 0x00010000, 0));

    const ToolRun mixed = Build(w, "mixed.exe", {"--engine", w.Arg("engine/Setup.exe")});
    EXPECT_EQ(mixed.Status, 1);
    EXPECT_NE(mixed.Err.find("which is an x86 engine, but the installation is x64"), std::string::npos) << mixed.Err;
    EXPECT_FALSE(w.Exists("mixed.exe"));

    const ToolRun native = Build(w, "app-setup.exe", {"--engine", w.Arg("engine64/Setup.exe")});
    ASSERT_EQ(native.Status, 0) << native.Err;
    EXPECT_NE(native.Out.find("architecture: x64"), std::string::npos) << native.Out;
    const ToolRun listed = RunQvsetup({"list", w.Arg("app-setup.exe")});
    EXPECT_NE(listed.Out.find("{win}\\UNISTB64.EXE"), std::string::npos) << listed.Out;

    WriteSources(w, "\narchitecture = \"x86\"", "\"tools/uninstaller.exe\"");
    const ToolRun declared = Build(w, "x86.exe");
    EXPECT_EQ(declared.Status, 1);
    EXPECT_NE(declared.Err.find("is an x64 program, but [setup] architecture is x86"), std::string::npos)
        << declared.Err;
    WriteSources(w, "\narchitecture = \"arm64\"");
    const ToolRun unknown = Build(w, "arm.exe");
    EXPECT_EQ(unknown.Status, 1);
    EXPECT_NE(unknown.Err.find("'architecture' must be \"x86\" or \"x64\""), std::string::npos) << unknown.Err;
}

TEST(Program, WingetManifestsDescribeTheProgram) {
    Workspace w;
    WriteSources(w);
    ASSERT_EQ(Build(w, "app-setup.exe", {"--engine", w.Arg("engine/Setup.exe")}).Status, 0);
    const ToolRun made = RunQvsetup({"manifest", w.Arg("app.toml"), "--exe", w.Arg("app-setup.exe"), "--url",
                                     "https://example.com/app-setup.exe", "--id", "Example.一个程序", "-o", w.Arg("m")});
    ASSERT_EQ(made.Status, 0) << made.Err;
    const std::string installer = [&] {
        const Bytes bytes = w.Read("m/Example.一个程序.installer.yaml");
        return std::string(bytes.begin(), bytes.end());
    }();
    const Bytes program = w.Read("app-setup.exe");
    Sha256 hash;
    hash.Update(program.data(), program.size());
    EXPECT_NE(installer.find("InstallerSha256: \"" + HexDigest(hash.Finish()) + "\""), std::string::npos) << installer;
    EXPECT_NE(installer.find("ProductCode: \"一个程序 2.1_qv1\""), std::string::npos) << installer;
    EXPECT_NE(installer.find("Architecture: x86"), std::string::npos) << installer;
    EXPECT_TRUE(w.Exists("m/Example.一个程序.yaml"));
    EXPECT_TRUE(w.Exists("m/Example.一个程序.locale.zh-CN.yaml"));
#ifndef _WIN32
    const std::string validate = std::string("/usr/bin/python3 '") + QV_TOOL_TEST_SOURCES + "/validate_manifests.py' '" +
                                 w.Arg("m") + "' '" + QV_TOOL_TEST_SOURCES + "/winget-schemas-1.10.0'";
    EXPECT_EQ(std::system(validate.c_str()), 0) << validate;
#endif

    // Without a version winget cannot compare; a program of another script is refused.
    w.WriteText("other.toml", "[setup]\napp_name = \"别的\"\n");
    const ToolRun other = RunQvsetup({"manifest", w.Arg("other.toml"), "--exe", w.Arg("app-setup.exe"), "--url",
                                      "https://example.com/a.exe", "-o", w.Arg("m2")});
    EXPECT_EQ(other.Status, 1);
    EXPECT_NE(other.Err.find("was not built from"), std::string::npos) << other.Err;
    std::string script = kScript;
    script.replace(script.find("一个程序 2.1"), std::string("一个程序 2.1").size(), "一个程序");
    w.WriteText("app.toml", script);
    ASSERT_EQ(Build(w, "app-setup.exe", {"--engine", w.Arg("engine/Setup.exe")}).Status, 0);
    const ToolRun unversioned = RunQvsetup({"manifest", w.Arg("app.toml"), "--exe", w.Arg("app-setup.exe"), "--url",
                                            "https://example.com/a.exe", "-o", w.Arg("m3")});
    EXPECT_EQ(unversioned.Status, 1);
    EXPECT_NE(unversioned.Err.find("winget needs the program's version"), std::string::npos) << unversioned.Err;
}

#ifndef _WIN32
TEST(Program, TheSigningCommandSignsTheUninstallerBeforeItIsCarriedThenTheProgram) {
    Workspace w;
    WriteSources(w, "\nsign = \"cp {in} {out} && printf SIGNED >> {out}\"", "\"tools/UNISTB32.EXE\"");
    const Bytes uninstaller = MakeVersionedImage(false, 0x00010000, 0);
    w.Write("tools/UNISTB32.EXE", uninstaller);
    const ToolRun built = Build(w, "app-setup.exe", {"--engine", w.Arg("engine/Setup.exe")});
    ASSERT_EQ(built.Status, 0) << built.Err;
    const auto endsSigned = [](const Bytes& bytes) {
        return bytes.size() > 6 && std::string(bytes.end() - 6, bytes.end()) == "SIGNED";
    };
    EXPECT_TRUE(endsSigned(w.Read("app-setup.exe")));
    ASSERT_EQ(RunQvsetup({"extract", w.Arg("app-setup.exe"), "-d", w.Arg("x")}).Status, 0);
    EXPECT_TRUE(endsSigned(w.Read("x/win/UNISTB32.EXE")));
    EXPECT_EQ(w.Read("tools/UNISTB32.EXE"), uninstaller);

    WriteSources(w, "\nsign = \"false {in} {out}\"", "\"tools/UNISTB32.EXE\"");
    const ToolRun failed = Build(w, "second.exe", {"--engine", w.Arg("engine/Setup.exe")});
    EXPECT_EQ(failed.Status, 1);
    EXPECT_NE(failed.Err.find("the signing command ([setup] sign) failed on the uninstaller"), std::string::npos)
        << failed.Err;
    EXPECT_FALSE(w.Exists("second.exe"));
}
#endif

}  // namespace
}  // namespace qv::test
