// Whole installations in the real progress window, run by Setup.exe's run
// (with a wizard that goes straight on) in a process of its own: files and
// folders, icons, INI and registry entries made and their uninstall log
// written; a cancel in the next-disk dialog and failures after the files
// were copied, all rolled back.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "core/io/streams.h"
#include "core/text/cp936.h"
#include "core/setupdata/data_files.h"
#include "core/uninstall/uninstall_log.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/exit_codes.h"
#include "setup_exe_fixture.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

class InstallRun : public test::SetupExeWindow {
protected:
    void SetUp() override {
        Install("staged_setup.exe");
        data_ = test::SampleSetupData();
        data_.SetupInfo.Options = optUninstallable;
        // The uninstall keys of this run alone, removed again at the end.
        data_.SetupInfo.AppNameVersion = "示例程序 " + std::to_string(GetCurrentProcessId());
        data_.DirRecords.resize(1);
        data_.DirRecords[0].DirName = "{app}\\数据";
        data_.IconRecords.clear();
        data_.FileRecords.clear();
        data_.FileLocationRecords.clear();
        // Three files over two data files of 40,000 bytes: the second spans them.
        const char* names[] = {"{app}\\程序.exe", "{app}\\数据\\big.dat", "{app}\\readme.txt"};
        const std::size_t sizes[] = {20000, 30000, 100};
        std::vector<test::PayloadFile> files;
        for (int i = 0; i < 3; ++i) {
            contents_.push_back(test::PatternedContent(sizes[i], 7 + i));
            files.push_back({names[i], contents_.back()});
        }
        ASSERT_EQ(test::AddPayloadFiles(data_, folder_.path(), files, 40000), 2);
        test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
        app_ = apps_.file("示例 程序");
    }
    std::string AppFile(const std::string& name) const { return app_ + "\\" + name; }
    std::vector<std::uint8_t> Read(const std::string& path) const {
        std::ifstream in(fs::path(Widen(path)), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    DWORD RunInstall(const std::string& app) {
        test::ScopedEnvVar real("QV_TEST_INSTALL", "real");
        return RunToEnd("\"/DIR=" + app + "\"");
    }

    std::string UninstallKey(int n) const {
        return std::string(kUninstallKeyParent) + "\\" + data_.SetupInfo.AppNameVersion + "_qv" + std::to_string(n);
    }
    void TearDown() override {
        for (int n = 1; n <= 2; ++n) RegDeleteTreeW(HKEY_LOCAL_MACHINE, Widen(UninstallKey(n)).c_str());
        test::SetupExeWindow::TearDown();
    }

    static constexpr const char* kUninstallKeyParent = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    std::vector<std::vector<std::uint8_t>> contents_;
    test::ScratchFolder apps_{"qv 应用"};
    std::string app_;
};

TEST_F(InstallRun, FilesFoldersAndTheUninstallLogTwiceIntoOneFolder) {
    ASSERT_EQ(RunInstall(app_), exit_code::Success);
    EXPECT_EQ(Read(AppFile("程序.exe")), contents_[0]);
    EXPECT_EQ(Read(AppFile("数据\\big.dat")), contents_[1]);
    EXPECT_EQ(Read(AppFile("readme.txt")), contents_[2]);
    ASSERT_TRUE(FileExists(AppFile("UNINST0.000")));
    ASSERT_TRUE(FileExists(AppFile("UNINST1.000")));
    {
        FileInStream in(AppFile("UNINST1.000"));
        const UninstallLog log = ReadUninstallLog(in);
        EXPECT_EQ(log.Header.AppName, data_.SetupInfo.AppName);
        // Folders (the application folder, then its own), the placeholder,
        // the uninstall key, then the files in the order of the records.
        std::vector<std::tuple<TChangeKind, std::string, std::uint32_t>> seen;
        for (const LoggedChange& c : log.Entries) seen.emplace_back(c.Entry.Kind, EntryString(c.Entry, 0), c.Entry.Flags);
        const std::vector<std::tuple<TChangeKind, std::string, std::uint32_t>> expected = {
            {ekFolder, app_, 0},
            {ekFolder, AppFile("数据"), 0},
            {ekFile, AppFile("UNINST0.000"), 0},
            {ekRegKeyTree, UninstallKey(1), 0x80000002u},
            {ekFile, AppFile("程序.exe"), 0},
            {ekFile, AppFile("数据\\big.dat"), 0},
            {ekFile, AppFile("readme.txt"), 0},
        };
        EXPECT_EQ(seen, expected);
    }
    EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());

    // A second installation takes the next number and leaves the first pair
    // alone; its files were present before.
    CloseHandle(std::exchange(process_, nullptr));
    ASSERT_EQ(RunInstall(app_), exit_code::Success);
    EXPECT_TRUE(FileExists(AppFile("UNINST0.000")));
    EXPECT_TRUE(FileExists(AppFile("UNINST1.000")));
    ASSERT_TRUE(FileExists(AppFile("UNINST1.001")));
    FileInStream in(AppFile("UNINST1.001"));
    const UninstallLog second = ReadUninstallLog(in);
    ASSERT_EQ(second.Entries.size(), 5u);  // no folder was made this time
    EXPECT_EQ(EntryString(second.Entries[0].Entry, 0), AppFile("UNINST0.001"));
    EXPECT_EQ(EntryString(second.Entries[1].Entry, 0), UninstallKey(2));
    EXPECT_EQ(second.Entries[2].Entry.Flags, static_cast<std::uint32_t>(efWasPresent));
}

TEST_F(InstallRun, CancelInTheNextDiskDialogRollsBackWith1602) {
    ASSERT_TRUE(DeleteFileW(Widen(folder_.file("SETUP.2")).c_str()));
    test::ScopedEnvVar real("QV_TEST_INSTALL", "real");
    ASSERT_TRUE(Launch("\"/DIR=" + app_ + "\""));
    HWND dialog = test::WaitForWindow(pid_, "设置程序需要下一张磁盘", 30000);
    ASSERT_NE(dialog, nullptr);
    // The first file is in place meanwhile.
    EXPECT_EQ(Read(AppFile("程序.exe")), contents_[0]);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    HWND question = test::WaitForMessageBox(pid_, 10000);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(test::ReadMessageBox(question).Caption, "退出设置程序");
    test::PressButton(question, IDYES);
    ASSERT_EQ(WaitForSingleObject(process_, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    EXPECT_EQ(code, exit_code::UserCancelled);
    EXPECT_FALSE(FolderExists(app_)) << "the rollback removes the files and the folders it made";
}

TEST_F(InstallRun, AFailureAfterTheFilesRollsBackWith1603) {
    // A folder name the uninstall log (code page 936) cannot hold: the files
    // install, then saving the log fails.
    const std::string app = apps_.file("한국어");
    test::ScopedEnvVar real("QV_TEST_INSTALL", "real");
    ASSERT_TRUE(Launch("\"/DIR=" + app + "\""));
    std::vector<std::string> texts;
    for (int box = 0; box < 2; ++box) {
        HWND shown = test::WaitForMessageBox(pid_, 30000);
        ASSERT_NE(shown, nullptr) << box;
        texts.push_back(test::ReadMessageBox(shown).Text);
        test::PressButton(shown, IDOK);
        for (int i = 0; i < 100 && test::FindMessageBox(pid_) == shown; ++i) Sleep(50);
    }
    EXPECT_EQ(texts[1], "安装无法完成.\r\n\r\n请先修改这些错误，然后重新运行设置程序。");
    ASSERT_EQ(WaitForSingleObject(process_, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    EXPECT_EQ(code, exit_code::FatalError) << texts[0];
    EXPECT_FALSE(FolderExists(app));
}

// Links, INI entries, registry values and the uninstall key as the setup
// data asks, every one in the uninstall log; and a failed installation of
// the same data leaves none of them.
TEST_F(InstallRun, IconsIniAndRegistryAreMadeAndRolledBack) {
    const std::string tag = std::to_string(GetCurrentProcessId());
    const std::string group = "QV 测试 " + tag, regKey = "Software\\QV Setup e2e " + tag;
    data_.IconRecords.resize(1);
    data_.IconRecords[0].IconPath = "{group}\\示例";
    data_.IconRecords[0].Filename = "{app}\\程序.exe";
    data_.IniRecords.resize(1);
    data_.IniRecords[0] = {};
    data_.IniRecords[0].Filename = "{app}\\settings.ini";
    data_.IniRecords[0].Section = "Paths";
    data_.IniRecords[0].Entry = "Home";
    data_.IniRecords[0].Value = "{app}";
    data_.IniRecords[0].Flags = ifUninstDeleteKey;
    data_.RegistryRecords.resize(1);
    data_.RegistryRecords[0].RootKey = kHkeyCurrentUser;
    data_.RegistryRecords[0].SubKey = regKey;
    data_.RegistryRecords[0].ValueName = "Folder";
    data_.RegistryRecords[0].ValueType = rtString;
    data_.RegistryRecords[0].ValueString = "{app}";
    data_.RegistryRecords[0].Flags = rfUninstDeleteKey;
    test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
    const auto linkIn = [&](int csidl) {
        wchar_t folder[MAX_PATH] = {};
        SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE);
        return Narrow(folder) + "\\" + group + "\\示例.lnk";
    };
    const auto linkMade = [&] { return FileExists(linkIn(CSIDL_COMMON_PROGRAMS)) || FileExists(linkIn(CSIDL_PROGRAMS)); };
    const auto regValue = [&]() -> std::string {
        wchar_t value[MAX_PATH] = {};
        DWORD size = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, Widen(regKey).c_str(), L"Folder", RRF_RT_REG_SZ, nullptr, value, &size))
            return "<missing>";
        return Narrow(value);
    };

    test::ScopedEnvVar real("QV_TEST_INSTALL", "real");
    ASSERT_EQ(RunToEnd("\"/DIR=" + app_ + "\" \"/GROUP=" + group + "\""), exit_code::Success);
    EXPECT_TRUE(linkMade());
    // The INI file holds its texts in code page 936, whatever the system's code page.
    const auto iniText = [&](const std::string& file) {
        const std::vector<std::uint8_t> bytes = Read(file);
        return cp936::ToUtf8(std::string(bytes.begin(), bytes.end()));
    };
    EXPECT_EQ(iniText(AppFile("settings.ini")), "[Paths]\r\nHome=" + app_ + "\r\n");
    EXPECT_EQ(regValue(), app_);
    FileInStream in(AppFile("UNINST1.000"));
    std::vector<TChangeKind> kinds;
    for (const LoggedChange& c : ReadUninstallLog(in).Entries) kinds.push_back(c.Entry.Kind);
    // ..., the placeholder, the key, three files, the link's folder and the link, the registry key.
    for (TChangeKind kind : {ekRegKeyTree, ekFolder, ekFile})
        EXPECT_NE(std::find(kinds.begin(), kinds.end(), kind), kinds.end()) << int(kind);
    EXPECT_EQ(kinds.back(), ekRegKeyTree);
    RegDeleteTreeW(HKEY_CURRENT_USER, Widen(regKey).c_str());

    // The same into a folder whose name the uninstall log cannot hold: the
    // installation fails at its very end and takes everything back.
    CloseHandle(std::exchange(process_, nullptr));
    const std::string app = apps_.file("한국어 " + tag);
    ASSERT_TRUE(Launch("\"/DIR=" + app + "\" \"/GROUP=" + group + " 2\""));
    for (int box = 0; box < 2; ++box) {
        HWND shown = test::WaitForMessageBox(pid_, 30000);
        ASSERT_NE(shown, nullptr) << box;
        test::PressButton(shown, IDOK);
        for (int i = 0; i < 100 && test::FindMessageBox(pid_) == shown; ++i) Sleep(50);
    }
    ASSERT_EQ(WaitForSingleObject(process_, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    EXPECT_EQ(code, exit_code::FatalError);
    // The INI file itself stays (emptied), and with it the folder.
    EXPECT_EQ(iniText(app + "\\settings.ini").find("Home="), std::string::npos);
    EXPECT_FALSE(FileExists(app + "\\程序.exe"));
    EXPECT_EQ(regValue(), "<missing>");
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        wchar_t folder[MAX_PATH] = {};
        SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE);
        EXPECT_FALSE(FolderExists(Narrow(folder) + "\\" + group + " 2")) << csidl;
    }
    UniqueHKey key;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(UninstallKey(2)).c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
}

}  // namespace
}  // namespace qv
