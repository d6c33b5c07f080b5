// The real Setup.exe, run as a separate process beside setup data, as a
// user starts it. Its message boxes are read from their windows and
// answered with OK; the exit code is read in full (a Linux parent of Wine
// would see 1603 cut to 67).
#include <gtest/gtest.h>

#include "core/uninstall/log_entry_bound.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "engine/common/exit_codes.h"
#include "testkit/child_process.h"
#include "testkit/scratch.h"
#include "testkit/setup_files.h"

namespace qv {
namespace {

using test::ScratchFolder;
using Bytes = std::vector<std::uint8_t>;

class SetupExe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CopyFileW(Widen(test::EngineFolder() + "\\Setup.exe").c_str(), Widen(program()).c_str(), FALSE));
    }
    std::string program() const { return folder_.file("Setup.exe"); }

    test::ChildResult Run(const std::string& arguments = "") {
        test::ChildRun run;
        run.Program = program();
        run.CommandLine = "\"" + program() + "\"" + (arguments.empty() ? "" : " " + arguments);
        run.Environment = {{"TMP", temp_.path()}, {"TEMP", temp_.path()}};
        test::ChildResult result = test::RunChild(run);
        EXPECT_TRUE(result.Started);
        EXPECT_FALSE(result.TimedOut);
        // Nothing may be left in the temporary folder, whatever the outcome.
        EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());
        return result;
    }
    void ExpectFailure(const test::ChildResult& result, const std::string& text) {
        EXPECT_EQ(result.ExitCode, exit_code::FatalError);
        ASSERT_EQ(result.Boxes.size(), 1u);
        EXPECT_EQ(result.Boxes[0].Text, text);
        EXPECT_EQ(result.Boxes[0].Caption, "Error");
    }
    void WriteSetup0(const Bytes& bytes) { test::WriteFileBytes(folder_.file("SETUP.0"), bytes); }

    ScratchFolder folder_{"qv 安装"};
    ScratchFolder temp_{"qv temp"};
};

// A good start shows the background window and waits for the user: see
// main_form_exe_test.cpp, which drives it to the end.

TEST_F(SetupExe, MissingSetup0) {
    ExpectFailure(Run(), "在安装文件夹中未找到 SETUP.0 文件。请查找该文件或重新取得新版安装程序。");
}

TEST_F(SetupExe, DamagedData) {
    const Bytes good = test::SetupDataBytes(test::SampleSetupData());
    Bytes wrongSignature = good;
    wrongSignature[0] = 'I';
    WriteSetup0(wrongSignature);
    ExpectFailure(Run(), "设置程序文件已被损坏，或与设置程序版本不相容。请修正该错误或重新取得新版安装程序。");

    Bytes damagedRecord = good;
    test::DamageBlock(damagedRecord, test::BlockOffsets(good).back());
    WriteSetup0(damagedRecord);
    ExpectFailure(Run(), "设置程序文件已被损坏，请重新取得新版安装程序。");

    Bytes early = good;
    early.resize(good.size() - 1);
    WriteSetup0(early);
    ExpectFailure(Run(), "Read beyond end of file.");
}

TEST_F(SetupExe, AnInstallationTooLargeForTheUninstallLogIsRefusedBeforeAnyChange) {
    SetupData data = test::SampleSetupData();
    data.SetupInfo.Options |= optUninstallable;
    // The delete-at-uninstall list adds one entry per record.
    TUninstallDeleteRec extra;
    extra.Name = "{app}\\数据.log";
    data.UninstallDeleteRecords.assign(kUninstallLogEntryLimit + 1 - MostUninstallLogEntries(data).Total(), extra);
    WriteSetup0(test::SetupDataBytes(data));
    ExpectFailure(Run(), "这个安装最多可能要在反安装信息中记录 65536 项更改，超过了反安装信息所能记录的 65535 项。"
                         "安装没有开始，系统没有作任何更改。请与软件供应商联系，取得新版安装程序。");
}

TEST_F(SetupExe, SlFormWithAnOffsetThatIsNoNumber) {
    WriteSetup0(test::SetupDataBytes(test::SampleSetupData()));
    ExpectFailure(Run("/SL \"" + folder_.file("SETUP.0") + "\" 0x 0"), "'0x' is not a valid integer value.");
}

TEST(SetupExeResources, ManifestAsksForCommonControls6) {
    const std::wstring path = Widen(test::ProgramFolder() + "\\Setup.exe");
    const UniqueHModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module.valid());
    HRSRC resource = FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module.get(), resource)));
    const std::string manifest(bytes, SizeofResource(module.get(), resource));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">false"),
              std::string::npos);
}

}  // namespace
}  // namespace qv
