// Setup.exe and its uninstaller started from a folder full of planted
// libraries, as from a Downloads folder: a marker library lies beside them
// under the name of every library they could load, Wine is told to prefer
// such copies to its own (as Windows does for any library that is not one
// of its known DLLs), and the folder is also the current folder. None may
// be loaded, and both programs must do their work as without them.
//
// Wine takes a child's WINEDLLOVERRIDES from its own Unix environment, not
// from the environment that CreateProcess hands over; the same order is set
// for the two programs by name in Wine's registry (AppDefaults), which a
// Windows system ignores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/setupdata/records.h"
#include "engine/common/exit_codes.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/win_text.h"
#include "testkit/child_process.h"
#include "testkit/scratch.h"
#include "testkit/setup_files.h"

namespace qv {
namespace {

// Every library beyond the known DLLs that the programs or the system
// libraries they use load for them.
const std::vector<std::string> kPlantedNames = {"version", "mpr", "msimg32", "uxtheme", "comctl32"};

// Native first, then Wine's own, for these libraries in `program` while
// it lives.
class NativeFirst {
public:
    explicit NativeFirst(const std::string& program)
        : key_(L"Software\\Wine\\AppDefaults\\" + Widen(program)) {
        UniqueHKey overrides;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, overrides.put(), nullptr),
                  ERROR_SUCCESS);
        const std::wstring order = L"native,builtin";
        for (const std::string& name : kPlantedNames)
            RegSetValueExW(overrides.get(), Widen(name).c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(order.c_str()),
                           static_cast<DWORD>((order.size() + 1) * sizeof(wchar_t)));
    }
    ~NativeFirst() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    NativeFirst(const NativeFirst&) = delete;
    NativeFirst& operator=(const NativeFirst&) = delete;

private:
    std::wstring key_;
};

class PlantedLibraries : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& program : {std::string("Setup.exe"), test::UninstallerName()})
            ASSERT_TRUE(CopyFileW(Widen(test::ProgramFolder() + "\\" + program).c_str(),
                                  Widen(downloads_.file(program)).c_str(), FALSE));
        const std::string marker = test::ProgramFolder() + "\\qvtest_marker.dll";
        for (const std::string& name : kPlantedNames)
            ASSERT_TRUE(CopyFileW(Widen(marker).c_str(), Widen(downloads_.file(name + ".dll")).c_str(), FALSE));
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, Widen(std::string("Software\\Microsoft\\Windows\\CurrentVersion\\"
                                                             "Uninstall\\") +
                                                 data_.SetupInfo.AppNameVersion + "_qv1")
                                               .c_str());
    }

    // Runs a program of the planted folder there; the full exit code.
    DWORD Run(const std::string& program, const std::string& arguments) {
        const NativeFirst nativeFirst(program);
        test::ChildRun run;
        run.Program = downloads_.file(program);
        run.CommandLine = "\"" + run.Program + "\" " + arguments;
        run.WorkingFolder = downloads_.path();
        run.Environment = {{"TMP", temp_.path()},
                           {"TEMP", temp_.path()},
                           {"QV_MARKER_FOLDER", markers_.path()}};
        const test::ChildResult result = test::RunChild(run);
        EXPECT_TRUE(result.Started) << program;
        EXPECT_FALSE(result.TimedOut) << program;
        boxes_ = result.Boxes;
        return result.ExitCode;
    }
    std::vector<std::string> Loaded() const { return test::ListFolder(markers_.path()); }

    std::vector<test::SeenBox> boxes_;  // of the last run

    test::ScratchFolder downloads_{"qv downloads"};
    test::ScratchFolder markers_{"qv markers"};
    test::ScratchFolder temp_{"qv temp"};
    test::ScratchFolder apps_{"qv apps"};
    const std::string app_ = apps_.file("应用");
    SetupData data_ = test::SampleSetupData();
};

TEST_F(PlantedLibraries, NoneIsLoadedAndTheProgramsWorkAsWithoutThem) {
    data_.SetupInfo.AppNameVersion = "QV planted " + std::to_string(GetCurrentProcessId());
    data_.SetupInfo.Options = optUninstallable | optOwnAppFolder;
    data_.LicenseText.clear();
    data_.IconRecords.clear();
    data_.FileRecords.clear();
    data_.FileLocationRecords.clear();
    // A newer library on the machine stays: its version is read through
    // version.dll, from the system folder.
    const std::vector<std::uint8_t> program = test::PatternedContent(20000, 3);
    const std::vector<std::uint8_t> newer =
        test::ReadFileBytes(test::ProgramFolder() + "\\qvtest_version_2_0_3_4.dll");
    test::AddPayloadFiles(data_, downloads_.path(),
                          {{"{app}\\程序.exe", program}, {"{app}\\lib.dll", test::PatternedContent(5000, 4)}});
    data_.FileRecords[1].VersionFlags = vfHasVersion;
    data_.FileRecords[1].FileVersionMS = 0x00010000;
    test::WriteSetupDataFile(downloads_.file("SETUP.0"), data_);
    ASSERT_TRUE(CreateDirectoryW(Widen(app_).c_str(), nullptr));
    test::WriteFileBytes(app_ + "\\lib.dll", newer);

    const std::string log = apps_.file("setup.log");
    EXPECT_EQ(Run("Setup.exe", "/SILENT /SUPPRESSMSGBOXES \"/DIR=" + app_ + "\" \"/LOG=" + log + "\""),
              exit_code::Success);
    EXPECT_EQ(Loaded(), std::vector<std::string>{}) << "Setup.exe";
    EXPECT_TRUE(boxes_.empty());
    const std::vector<std::uint8_t> logText = FileExists(log) ? test::ReadFileBytes(log) : std::vector<std::uint8_t>{};
    ASSERT_TRUE(FileExists(app_ + "\\程序.exe")) << std::string(logText.begin(), logText.end());
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), program);
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\lib.dll"), newer);
    ASSERT_TRUE(FileExists(app_ + "\\UNINST1.000"));

    EXPECT_EQ(Run(test::UninstallerName(),
                  "/U \"" + app_ + "\\UNINST0.000\" \"" + app_ + "\\UNINST1.000\" /SILENT /SUPPRESSMSGBOXES"),
              exit_code::Success);
    EXPECT_EQ(Loaded(), std::vector<std::string>{}) << test::UninstallerName();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FileExists(app_ + "\\程序.exe"));
    EXPECT_FALSE(FileExists(app_ + "\\UNINST1.000"));

    // A message box, drawn by the system's common controls.
    EXPECT_EQ(Run(test::UninstallerName(), "/?"), exit_code::Success);
    EXPECT_EQ(Loaded(), std::vector<std::string>{}) << test::UninstallerName() + " /?";
    EXPECT_EQ(boxes_.size(), 1u);
}

// The one program a person downloads: the same engine with its payload,
// checked before it runs, in the same folder of planted libraries.
TEST_F(PlantedLibraries, NoneIsLoadedByTheOneProgramToDownload) {
    data_.SetupInfo.AppNameVersion = "QV planted program " + std::to_string(GetCurrentProcessId());
    data_.SetupInfo.Options = optOwnAppFolder;
    data_.LicenseText.clear();
    data_.IconRecords.clear();
    data_.FileRecords.clear();
    data_.FileLocationRecords.clear();
    const std::vector<std::uint8_t> content = test::PatternedContent(20000, 5);
    const std::vector<std::uint8_t> streams = test::SingleFileStreams(data_, {{"{app}\\程序.exe", content}});
    test::WriteProgramFile(downloads_.file("app-setup.exe"), test::ProgramFolder() + "\\Setup.exe", data_, streams);

    EXPECT_EQ(Run("app-setup.exe", "/VERYSILENT /SUPPRESSMSGBOXES \"/DIR=" + app_ + "\""), exit_code::Success);
    EXPECT_EQ(Loaded(), std::vector<std::string>{}) << "app-setup.exe";
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), content);
}

// The registration switch typed by hand, as anybody could to have a signed
// program load his library: nothing is loaded, and the exit code says so.
TEST_F(PlantedLibraries, TheRegistrationSwitchByHandLoadsNothing) {
    const std::string probe = downloads_.file("probe.dll");
    ASSERT_TRUE(CopyFileW(Widen(test::ProgramFolder() + "\\qvtest_marker.dll").c_str(), Widen(probe).c_str(), FALSE));
    for (const std::string& program : {std::string("Setup.exe"), test::UninstallerName()})
        for (const std::string& arguments : {"/QVSELFREG \"" + probe + "\"", "/QVSELFUNREG \"" + probe + "\"",
                                             std::string("/QVSELFREG 4")})
            EXPECT_EQ(Run(program, arguments), 0x51560004u) << program << " " << arguments;
    EXPECT_TRUE(Loaded().empty());
}

}  // namespace
}  // namespace qv
