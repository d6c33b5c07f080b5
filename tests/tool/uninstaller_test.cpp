// The uninstaller UNISTB32.EXE that an uninstallable build carries: its
// file record as the engine reads it, where it comes from in which order,
// and the builds that carry none.
#include <algorithm>
#include <gtest/gtest.h>

#include "core/io/streams.h"
#include "core/setupdata/records.h"
#include "core/setupdata/setup_data.h"
#include "pe_images.h"
#include "tool/platform.h"
#include "workspace.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// The tool's output with Windows line ends made plain, so that the same
// expectations hold for the Linux and the Windows build.
ToolRun Plain(ToolRun run) {
    for (std::string* text : {&run.Out, &run.Err})
        text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
    return run;
}

constexpr char kDest[] = "{win}\\UNISTB32.EXE";
constexpr std::uint32_t kV1 = 0x00010000, kV2 = 0x00020000, kV3 = 0x00030000;

// A copy of qvsetup in a folder of the workspace: what lies beside it is
// the test's to choose, whatever the build folder holds.
class QvsetupCopy {
public:
    QvsetupCopy(const Workspace& w, const std::string& folder)
        : program_(w.Path(folder) / QvsetupProgram().filename()) {
        fs::create_directories(program_.parent_path());
        fs::copy_file(QvsetupProgram(), program_);
    }
    ToolRun Run(const std::vector<std::string>& args) const { return Plain(RunQvsetupAt(program_, args)); }

private:
    fs::path program_;
};

// A script of one file whose [setup] ends in `setupLines`.
void WriteScript(const Workspace& w, const std::string& name, const std::string& setupLines,
                 const std::string& entries = "") {
    w.WriteText(name, "[setup]\napp_name = \"Carrier\"\n" + setupLines +
                          "\n\n[[file]]\nsource = \"app.txt\"\ndest = \"{app}\\\\app.txt\"\n" + entries);
    w.WriteText("app.txt", "the application");
}

// The setup data as the engine's reader sees it.
SetupData ReadBack(const Workspace& w, const std::string& folder) {
    FileInStream in(w.Arg(folder + "/SETUP.0"));
    return LoadSetupData(in);
}

// The uninstaller that a copy of qvsetup in `folder` looks for, spelt as
// it spells it (with the system's separator).
std::string BesideCopy(const Workspace& w, const std::string& folder, const std::string& name = "UNISTB32.EXE") {
    return tool::PathToUtf8(w.Path(folder) / name);
}

std::string Where(const ToolRun& run) { return "status " + std::to_string(run.Status) + "\n" + run.Out + run.Err; }

TEST(Uninstaller, ItsRecordComesFirstWithTheRulesOfASharedProgram) {
    Workspace w;
    WriteScript(w, "carrier.toml", "uninstaller = \"tools/uninst-3.2.exe\"");
    w.Write("tools/uninst-3.2.exe", MakeVersionedImage(false, 0x00030002, 0x00010009));
    const ToolRun built = Plain(RunQvsetup({"build", w.Arg("carrier.toml"), "-o", w.Arg("out")}));
    ASSERT_EQ(built.Status, 0) << built.Err;
    EXPECT_NE(built.Out.find("uninstaller: {win}\\UNISTB32.EXE 3.2.1.9 from '" + w.Arg("tools/uninst-3.2.exe") +
                             "' ([setup] uninstaller)"),
              std::string::npos) << built.Out;

    const SetupData d = ReadBack(w, "out");
    ASSERT_EQ(d.FileRecords.size(), 2u);
    EXPECT_EQ(d.SetupInfo.FileCount, 2);
    const TFileRec& u = d.FileRecords[0];
    EXPECT_EQ(u.DestPath, kDest);
    EXPECT_EQ(u.ReplaceMode, rmKeepNewer);
    EXPECT_EQ(u.FileFlags, ffNoUninstall | ffReplaceAtRestart);
    EXPECT_EQ(u.VersionFlags, vfHasVersion);  // compared by version alone
    EXPECT_EQ(u.FileVersionMS, 0x00030002u);
    EXPECT_EQ(u.FileVersionLS, 0x00010009u);
    EXPECT_EQ(u.FileTime, tool::LocalFileTimeOf(w.Path("tools/uninst-3.2.exe")));
    EXPECT_EQ(u.OriginalSize, static_cast<std::int32_t>(w.Read("tools/uninst-3.2.exe").size()));
    EXPECT_EQ(d.FileRecords[1].DestPath, "{app}\\app.txt");

    // The listing shows it as the file it is.
    const ToolRun listed = Plain(RunQvsetup({"list", w.Arg("out")}));
    ASSERT_EQ(listed.Status, 0) << listed.Err;
    const auto first = listed.Out.find("file (2):\n  #1:\n");
    const auto second = listed.Out.find("  #2:\n", first);
    ASSERT_NE(first, std::string::npos) << listed.Out;
    const std::string block = listed.Out.substr(first, second - first);
    for (const char* line : {"    dest: {win}\\UNISTB32.EXE\n", "    replace: keep-newer\n", "    no_uninstall: true\n",
                             "    restart_replace: true\n", "    ask_overwrite: false\n", "    version: 3.2.1.9\n"})
        EXPECT_NE(block.find(line), std::string::npos) << line << block;

    const ToolRun verified = Plain(RunQvsetup({"verify", w.Arg("out")}));
    EXPECT_EQ(verified.Status, 0) << verified.Err;
    EXPECT_NE(verified.Out.find("2 files in 2 streams"), std::string::npos) << verified.Out;
    const ToolRun extracted = Plain(RunQvsetup({"extract", w.Arg("out"), "-d", w.Arg("x")}));
    ASSERT_EQ(extracted.Status, 0) << extracted.Err;
    EXPECT_EQ(w.Read("x/win/UNISTB32.EXE"), w.Read("tools/uninst-3.2.exe"));
    EXPECT_EQ(tool::LocalFileTimeOf(w.Path("x/win/UNISTB32.EXE")), u.FileTime);
}

TEST(Uninstaller, TheScriptComesBeforeTheCommandLineAndTheCommandLineBeforeQvsetupsFolder) {
    Workspace w;
    const QvsetupCopy qvsetup(w, "bin");
    w.Write("bin/UNISTB32.EXE", MakeVersionedImage(false, kV3, 0));
    w.Write("option.exe", MakeVersionedImage(false, kV2, 0));
    w.Write("named.exe", MakeVersionedImage(false, kV1, 0));
    WriteScript(w, "named.toml", "uninstaller = \"named.exe\"");
    WriteScript(w, "plain.toml", "");
    const auto carried = [&](const std::string& script, std::vector<std::string> more, const char* origin) {
        std::vector<std::string> args = {"build", w.Arg(script), "-o", w.Arg("out")};
        args.insert(args.end(), more.begin(), more.end());
        const ToolRun run = qvsetup.Run(args);
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_NE(run.Out.find(origin), std::string::npos) << run.Out;
        const SetupData d = ReadBack(w, "out");
        EXPECT_EQ(d.FileRecords.size(), 2u);
        EXPECT_EQ(d.FileRecords.at(0).DestPath, kDest);
        return d.FileRecords.at(0).FileVersionMS;
    };
    EXPECT_EQ(carried("named.toml", {"--uninstaller", w.Arg("option.exe")}, "([setup] uninstaller)"), kV1);
    // What the script names, the command line is not even looked at for.
    EXPECT_EQ(carried("named.toml", {"--uninstaller", w.Arg("no-such.exe")}, "([setup] uninstaller)"), kV1);
    EXPECT_EQ(carried("plain.toml", {"--uninstaller", w.Arg("option.exe")}, "(--uninstaller)"), kV2);
    EXPECT_EQ(carried("plain.toml", {}, "(beside qvsetup)"), kV3);

    // Nor the copy beside qvsetup, once the command line gives one.
    w.Write("bin/UNISTB32.EXE", MakeImageWithoutVersion());
    EXPECT_EQ(carried("plain.toml", {"--uninstaller", w.Arg("option.exe")}, "(--uninstaller)"), kV2);
    const ToolRun refused = qvsetup.Run({"build", w.Arg("plain.toml"), "-o", w.Arg("refused")});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Err.find("plain.toml:1: [setup]: the uninstaller beside qvsetup is '" + BesideCopy(w, "bin") +
                               "', which has no version resource (an uninstaller without a version could replace a "
                               "newer one on the machine)"),
              std::string::npos) << refused.Err;
    EXPECT_FALSE(w.Exists("refused"));
}

TEST(Uninstaller, OptedOutOrNotUninstallableCarriesNoneAndNeedsNone) {
    Workspace w;
    const QvsetupCopy lonely(w, "bin");  // nothing beside it
    w.Write("named.exe", MakeVersionedImage(false, kV1, 0));
    WriteScript(w, "opted-out.toml", "uninstaller = false");
    WriteScript(w, "fixed.toml", "uninstallable = false");
    WriteScript(w, "fixed-named.toml", "uninstallable = false\nuninstaller = \"named.exe\"");
    const struct {
        const char* Script;
        std::vector<std::string> More;
        const char* Summary;
    } cases[] = {
        {"opted-out.toml", {}, "uninstaller: none (uninstaller = false)"},
        {"opted-out.toml", {"--uninstaller", w.Arg("named.exe")}, "uninstaller: none (uninstaller = false)"},
        {"fixed.toml", {}, "uninstaller: none (the installation is not uninstallable)"},
        {"fixed.toml", {"--uninstaller", w.Arg("no-such.exe")}, "uninstaller: none (the installation is not uninstallable)"},
        {"fixed-named.toml", {}, "uninstaller: none (the installation is not uninstallable)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"build", w.Arg(c.Script), "-o", w.Arg("out")};
        args.insert(args.end(), c.More.begin(), c.More.end());
        const ToolRun run = lonely.Run(args);
        ASSERT_EQ(run.Status, 0) << c.Script << "\n" << run.Err;
        EXPECT_NE(run.Out.find(c.Summary), std::string::npos) << c.Script << "\n" << run.Out;
        const SetupData d = ReadBack(w, "out");
        ASSERT_EQ(d.FileRecords.size(), 1u) << c.Script;
        EXPECT_EQ(d.FileRecords[0].DestPath, "{app}\\app.txt");
    }
}

TEST(Uninstaller, NoneFoundIsAScriptErrorThatNamesTheFileAndTheWaysToGiveOne) {
    Workspace w;
    const QvsetupCopy lonely(w, "bin");
    WriteScript(w, "carrier.toml", "");
    const ToolRun missing = lonely.Run({"build", w.Arg("carrier.toml"), "-o", w.Arg("out")});
    EXPECT_EQ(missing.Status, 1);
    // The uninstaller of qvsetup's own machine type first.
#ifdef _WIN64
    const std::string first = "UNISTB64.EXE", second = "UNISTB32.EXE";
#else
    const std::string first = "UNISTB32.EXE", second = "UNISTB64.EXE";
#endif
    EXPECT_NE(missing.Err.find("carrier.toml:1: [setup]: the installation is uninstallable, so it needs the uninstaller " +
                               first + " or " + second + ", but the script names none and neither '" +
                               BesideCopy(w, "bin", first) + "' nor '" + BesideCopy(w, "bin", second) +
                               "' exists: name it with uninstaller = \"PATH\" in [setup] or with "
                               "--uninstaller FILE, or set uninstaller = false to carry none\n"),
              std::string::npos) << missing.Err;
    EXPECT_NE(missing.Err.find("1 error in the script; nothing was written"), std::string::npos) << missing.Err;
    EXPECT_FALSE(w.Exists("out"));

    // A wrong --uninstaller is named as such.
    w.Write("unversioned.exe", MakeImageWithoutVersion());
    const struct {
        const char* File;
        const char* Reason;
    } wrong[] = {
        {"no-such.exe", "does not exist"},
        {"bin", "is not a file"},
        {"unversioned.exe", "has no version resource (an uninstaller without a version could replace a newer one on the machine)"},
    };
    for (const auto& c : wrong) {
        const ToolRun run = lonely.Run({"build", w.Arg("carrier.toml"), "-o", w.Arg("out"), "--uninstaller", w.Arg(c.File)});
        EXPECT_EQ(run.Status, 1) << Where(run);
        EXPECT_NE(run.Err.find("carrier.toml: --uninstaller names '" + w.Arg(c.File) + "', which " + c.Reason + "\n"),
                  std::string::npos) << run.Err;
        EXPECT_FALSE(w.Exists("out"));
    }
}

TEST(Uninstaller, TheAuthorsOwnEntryForItIsTheOnlyOne) {
    Workspace w;
    const QvsetupCopy lonely(w, "bin");
    w.Write("option.exe", MakeVersionedImage(false, kV2, 0));
    w.WriteText("own.bin", "the author's own uninstaller");
    // Windows file names ignore case: this is the same file as {win}\UNISTB32.EXE.
    WriteScript(w, "own.toml", "", "\n[[file]]\nsource = \"own.bin\"\ndest = \"{win}\\\\UniStb32.exe\"\n");
    for (const auto& more : {std::vector<std::string>{}, std::vector<std::string>{"--uninstaller", w.Arg("option.exe")}}) {
        std::vector<std::string> args = {"build", w.Arg("own.toml"), "-o", w.Arg("out")};
        args.insert(args.end(), more.begin(), more.end());
        const ToolRun run = lonely.Run(args);
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_NE(run.Out.find("uninstaller: the script's own [[file]] #2 ({win}\\UniStb32.exe)"), std::string::npos)
            << run.Out;
        const SetupData d = ReadBack(w, "out");
        ASSERT_EQ(d.FileRecords.size(), 2u);
        EXPECT_EQ(d.FileRecords[0].DestPath, "{app}\\app.txt");
        EXPECT_EQ(d.FileRecords[1].DestPath, "{win}\\UniStb32.exe");
        EXPECT_EQ(d.FileRecords[1].ReplaceMode, rmNormal);  // as the author wrote it
        EXPECT_EQ(d.FileRecords[1].FileFlags, 0);
    }

    // Directory constants keep their case: {WIN} is a folder of that name, not the Windows folder.
    WriteScript(w, "other.toml", "", "\n[[file]]\nsource = \"own.bin\"\ndest = \"{WIN}\\\\UNISTB32.EXE\"\n");
    const ToolRun other = lonely.Run({"build", w.Arg("other.toml"), "-o", w.Arg("out"), "--uninstaller", w.Arg("option.exe")});
    ASSERT_EQ(other.Status, 0) << other.Err;
    const SetupData d = ReadBack(w, "out");
    ASSERT_EQ(d.FileRecords.size(), 3u);
    EXPECT_EQ(d.FileRecords[0].DestPath, kDest);
    EXPECT_EQ(d.FileRecords[0].FileVersionMS, kV2);
}

}  // namespace
}  // namespace qv::test
