// Install with Setup.exe, then uninstall with its uninstaller as the system's
// list of programs starts it (the uninstall entry's UninstallString), and
// compare the machine with its snapshot from before the installation.
// Unattended runs where nothing needs a person; the questions and the
// closing message read from the real boxes where they are the point.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/io/streams.h"
#include "core/setupdata/records.h"
#include "core/text/path_strings.h"
#include "core/uninstall/uninstall_log.h"
#include "core/uninstall/uninstall_log_hash.h"
#include "engine/common/exit_codes.h"
#include "engine/common/path_tests.h"
#include "engine/common/registry.h"
#include "engine/common/win_handles.h"
#include "engine/install/file_version.h"
#include "../setup/setup_exe_fixture.h"
#include "testkit/folder_link.h"
#include "testkit/machine_snapshot.h"
#include "testkit/vouching_key.h"

namespace qv {
namespace {

using test::ShellFolder;

std::string WindowsFolderPath() {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return Narrow(folder);
}

constexpr char kUninstallParent[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class UninstallRun : public test::SetupExeWindow {
protected:
    void SetUp() override {
        test::SetupExeWindow::SetUp();
        data_ = test::SampleSetupData();
        data_.SetupInfo.AppName = "反安装测试";
        data_.SetupInfo.AppNameVersion = "反安装测试 " + tag_;
        data_.SetupInfo.DefaultGroup = group_;
        data_.SetupInfo.Options = optUninstallable | optOwnAppFolder | optUninstallIconAlways;
        data_.LicenseText.clear();
        data_.InfoBeforeText.clear();
        data_.InfoAfterText.clear();
        data_.DirRecords = {{"{app}\\数据", 0}, {"{cf}\\" + sharedFolderName_, 0}};
        data_.IconRecords = {{"{group}\\示例", "{app}\\程序.exe", "", "{app}", "", 0}};
        data_.IniRecords.resize(1);
        data_.IniRecords[0].Filename = "{app}\\settings.ini";
        data_.IniRecords[0].Section = "Paths";
        data_.IniRecords[0].Entry = "Home";
        data_.IniRecords[0].Value = "{app}";
        data_.IniRecords[0].Flags = ifUninstDeleteSection;
        data_.RegistryRecords.resize(2);
        data_.RegistryRecords[0].RootKey = kHkeyCurrentUser;
        data_.RegistryRecords[0].SubKey = regKey_;
        data_.RegistryRecords[0].ValueName = "Folder";
        data_.RegistryRecords[0].ValueType = rtString;
        data_.RegistryRecords[0].ValueString = "{app}";
        data_.RegistryRecords[0].Flags = rfUninstDeleteKey;
        // A value in a key that is the user's: the value goes, the key stays.
        data_.RegistryRecords[1].RootKey = kHkeyCurrentUser;
        data_.RegistryRecords[1].SubKey = userKey_;
        data_.RegistryRecords[1].ValueName = "App";
        data_.RegistryRecords[1].ValueType = rtDWord;
        data_.RegistryRecords[1].ValueDWord = 7;
        data_.RegistryRecords[1].Flags = rfUninstDeleteValue;
        data_.UninstallDeleteRecords = {{"{app}\\app.log"}};

        // The uninstaller travels in the setup data, as qvsetup puts it there.
        // A copy of the same version from an earlier build would be kept:
        // every test runs this build's.
        const std::string uninstaller = test::EngineFolder() + "\\" + test::UninstallerName();
        DeleteFileW(Widen(WindowsFolderPath() + "\\" + test::UninstallerName()).c_str());
        data_.FileRecords.clear();
        data_.FileLocationRecords.clear();
        test::AddPayloadFiles(data_, folder_.path(),
                              {{"{win}\\" + test::UninstallerName(), test::ReadFileBytes(uninstaller)},
                               {"{app}\\程序.exe", program_},
                               {"{app}\\数据\\a.dat", test::PatternedContent(5000, 9)},
                               {"{cf}\\" + sharedFolderName_ + "\\共享.dll", shared_}});
        TFileRec& carried = data_.FileRecords[0];
        carried.ReplaceMode = rmKeepNewer;
        carried.FileFlags = ffNoUninstall | ffReplaceAtRestart;
        carried.VersionFlags = vfHasVersion;
        ASSERT_TRUE(ReadFileVersion(uninstaller, carried.FileVersionMS, carried.FileVersionLS));
        data_.FileRecords[3].FileFlags = ffShared;
        test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);

        // The user's key, with a value of the user's in it.
        UniqueHKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(userKey_).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS);
        const wchar_t mine[] = L"mine";
        RegSetValueExW(key.get(), L"Mine", 0, REG_SZ, reinterpret_cast<const BYTE*>(mine), sizeof mine);
    }
    void TearDown() override {
        for (const char* suffix : {"_qv1", "_qv2", "_qv3"})
            test::DeleteRegistryTree(HKEY_LOCAL_MACHINE,
                                     std::string(kUninstallParent) + "\\" + data_.SetupInfo.AppNameVersion + suffix);
        UniqueHKey shared;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(kSharedDlls).c_str(), 0, KEY_SET_VALUE | test::EngineRegistryView(),
                          shared.put()) == ERROR_SUCCESS)
            RegDeleteValueW(shared.get(), Widen(SharedFile()).c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, Widen(vendorKey_).c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, Widen(userKey_).c_str());
        DeleteFileW(Widen(SharedFile()).c_str());
        RemoveDirectoryW(Widen(SharedFolder()).c_str());
        test::SetupExeWindow::TearDown();
    }

    // Everything the installation touches, but the uninstaller in the
    // Windows folder, which stays for every application that uses it, and
    // (unless `withShared`) the shared file, which an unattended uninstall
    // keeps by rule.
    std::string Machine(bool withShared = true) const {
        std::string text = "apps:\n" + test::FolderSnapshot(apps_.path());
        for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS})
            text += "group:\n" + test::FolderSnapshot(ShellFolder(csidl) + "\\" + group_);
        if (withShared) text += "shared:\n" + test::FolderSnapshot(SharedFolder());
        text += test::RegistrySnapshot(HKEY_CURRENT_USER, vendorKey_) +
                test::RegistrySnapshot(HKEY_CURRENT_USER, userKey_);
        for (const char* suffix : {"_qv1", "_qv2"})
            text += test::RegistrySnapshot(HKEY_LOCAL_MACHINE, std::string(kUninstallParent) + "\\" +
                                                                   data_.SetupInfo.AppNameVersion + suffix);
        if (withShared) text += "shared count: " + SharedCount() + "\n";
        return text;
    }
    std::string SharedFolder() const { return test::EngineShellFolder(CSIDL_PROGRAM_FILES_COMMON) + "\\" + sharedFolderName_; }
    std::string SharedFile() const { return SharedFolder() + "\\共享.dll"; }
    std::string SharedCount() const { return test::SharedFileCount(SharedFile()); }

    // An unattended installation; its log is kept for the failure message.
    DWORD Install(const std::string& folder) {
        CloseHandle(std::exchange(process_, nullptr));
        const std::string log = temp_.file("install.log");
        const DWORD code = RunToEnd("/VERYSILENT /SUPPRESSMSGBOXES \"/DIR=" + folder + "\" \"/LOG=" + log + "\"");
        installLog_ = FileText(log);
        return code;
    }
    std::string installLog_;
    // The command line the system's list of programs runs for installation n.
    std::string UninstallString(int n) const {
        return test::ReadRegistryString(HKEY_LOCAL_MACHINE,
                          std::string(kUninstallParent) + "\\" + data_.SetupInfo.AppNameVersion + "_qv" +
                              std::to_string(n),
                          "UninstallString");
    }
    // Starts a command line as it stands (the uninstaller's path quoted in it).
    bool Start(const std::string& commandLine) {
        CloseHandle(std::exchange(process_, nullptr));
        std::wstring line = Widen(commandLine);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!test::StartProcess(nullptr, line, FALSE, 0, nullptr, nullptr, si, pi)) return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        return true;
    }
    DWORD Ended() {
        if (!process_ || WaitForSingleObject(process_, 60000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    DWORD Uninstall(const std::string& commandLine) { return Start(commandLine) ? Ended() : 0xFFFFFFFF; }
    // The box the uninstaller shows next: its text, answered with `button`.
    std::string Answer(int button, const std::string& caption) {
        HWND box = test::WaitForMessageBox(pid_, 20000);
        if (!box) return "<no box>";
        const test::SeenBox seen = test::ReadMessageBox(box);
        EXPECT_EQ(seen.Caption, caption) << seen.Text;
        test::PressButton(box, button);
        for (int i = 0; i < 300 && IsWindow(box); ++i) Sleep(10);
        return seen.Text;
    }
    std::string FileText(const std::string& path) {
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }

    // Each test's own names: shared counts must not add up across tests.
    static inline int testNumber_ = 0;
    const std::string tag_ = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++testNumber_);
    // The application's key below a vendor's key that the machine lacks:
    // the installation makes both, and the uninstall takes both.
    const std::string vendorKey_ = "Software\\QV 示例公司 " + tag_;
    const std::string regKey_ = vendorKey_ + "\\单文件示例";
    const std::string userKey_ = "Software\\QV uninstall user " + tag_;
    const std::string group_ = "QV 反安装组 " + tag_;
    const std::string sharedFolderName_ = "QV shared " + tag_;
    const std::vector<std::uint8_t> program_ = test::PatternedContent(150000, 5);
    const std::vector<std::uint8_t> shared_ = test::PatternedContent(3000, 6);
    test::ScratchFolder apps_{"qv 反安装"};
    const std::string app_ = apps_.file("应用 一");
};

TEST_F(UninstallRun, AnUnattendedUninstallLeavesTheMachineAsBeforeTheInstallation) {
    const std::string before = Machine(false);
    ASSERT_EQ(Install(app_), exit_code::Success) << installLog_;
    const std::string uninstaller = WindowsFolderPath() + "\\" + test::UninstallerName();
    EXPECT_TRUE(FileExists(uninstaller)) << "the setup brought its uninstaller";
    EXPECT_EQ(UninstallString(1), "\"" + uninstaller + "\" /U \"" + app_ + "\\UNINST0.000\" \"" + app_ +
                                      "\\UNINST1.000\"");
    EXPECT_TRUE(FileExists(app_ + "\\settings.ini"));
    EXPECT_EQ(SharedCount(), "1");
    test::WriteFileBytes(app_ + "\\app.log", {'l', 'o', 'g'});  // the application's, listed for deletion
    ASSERT_NE(Machine(false), before);

    const std::string log = apps_.file("反安装 日志.txt");
    EXPECT_EQ(Uninstall(UninstallString(1) + " /VERYSILENT /SUPPRESSMSGBOXES \"/LOG=" + log + "\""),
              exit_code::Success);
    // The log lies in apps_ and is no part of what is compared.
    const std::string text = FileText(log);
    DeleteFileW(Widen(log).c_str());
    EXPECT_EQ(Machine(false), before) << text;
    EXPECT_TRUE(FileExists(uninstaller)) << "other applications use it";
    // Nobody was there to say the shared file may go: it stays, uncounted.
    EXPECT_EQ(test::ReadFileBytes(SharedFile()), shared_);
    EXPECT_EQ(SharedCount(), "none");
    DeleteFileW(Widen(SharedFile()).c_str());
    RemoveDirectoryW(Widen(SharedFolder()).c_str());
    for (const char* line : {"Application: 反安装测试", "uninstall: undoing the entries", "deleted the uninstall log",
                                    "Exit code 0"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

    // A second run on the same log finds none and says so (here in the log).
    EXPECT_EQ(Uninstall(UninstallString(1).substr(0, 0) + "\"" + uninstaller + "\" /U \"" + app_ +
                        "\\UNINST0.000\" \"" + app_ + "\\UNINST1.000\" /VERYSILENT /SUPPRESSMSGBOXES \"/LOG=" + log +
                        "\""),
              exit_code::FatalError);
    EXPECT_NE(FileText(log).find("is not there"), std::string::npos) << FileText(log);
    DeleteFileW(Widen(log).c_str());
}

TEST_F(UninstallRun, ThePersonIsAskedOnceNoKeepsEverythingAndYesRemovesWithAClosingWord) {
    ASSERT_EQ(Install(app_), exit_code::Success) << installLog_;
    const std::string installed = Machine();
    ASSERT_TRUE(Start(UninstallString(1)));
    EXPECT_EQ(Answer(IDNO, "反安装"), "确实要完全删除“反安装测试”及其所有组件吗？");
    EXPECT_EQ(Ended(), exit_code::UserCancelled);
    EXPECT_EQ(Machine(), installed) << "declined: nothing touched";

    // The user put a file into the application folder meanwhile: it stays,
    // and so does its folder; everything of the installation goes.
    test::WriteFileBytes(app_ + "\\我的笔记.txt", {'x'});
    ASSERT_TRUE(Start(UninstallString(1)));
    EXPECT_EQ(Answer(IDYES, "反安装"), "确实要完全删除“反安装测试”及其所有组件吗？");
    EXPECT_NE(Answer(IDYES, "删除被共享的文件").find(SharedFile()), std::string::npos);
    const std::string closing = Answer(IDOK, "反安装");
    EXPECT_EQ(closing, "“反安装测试”已经从计算机中删除。\r\n\r\n下面的文件夹中还有其它文件，因此没有删除：\r\n" + app_);
    EXPECT_EQ(Ended(), exit_code::Success);
    EXPECT_EQ(test::ListFolder(app_), (std::vector<std::string>{"我的笔记.txt"}));
    EXPECT_FALSE(FolderExists(SharedFolder()));
}

TEST_F(UninstallRun, TwoInstallationsShareAFileAndEachUninstallTakesOnlyItsOwn) {
    const std::string second = apps_.file("应用 二");
    ASSERT_EQ(Install(app_), exit_code::Success) << installLog_;
    ASSERT_EQ(Install(second), exit_code::Success) << installLog_;
    EXPECT_EQ(SharedCount(), "2");
    EXPECT_EQ(Uninstall(UninstallString(1) + " /VERYSILENT /SUPPRESSMSGBOXES"), exit_code::Success);
    EXPECT_FALSE(FolderExists(app_));
    EXPECT_EQ(test::ReadFileBytes(second + "\\程序.exe"), program_) << "the other installation is intact";
    EXPECT_TRUE(FileExists(second + "\\settings.ini"));
    EXPECT_EQ(test::ReadRegistryString(HKEY_CURRENT_USER, regKey_, "Folder"), "<no key>")
        << "the key of both installations went with the first: it was recorded for deletion";
    EXPECT_EQ(test::ReadFileBytes(SharedFile()), shared_);
    EXPECT_EQ(SharedCount(), "1");
    EXPECT_NE(UninstallString(2), "<no key>");

    // The last user of the shared file: /SILENT asks no confirmation but
    // still asks whether the shared file goes.
    ASSERT_TRUE(Start(UninstallString(2) + " /SILENT"));
    const std::string question = Answer(IDYES, "删除被共享的文件");
    EXPECT_NE(question.find(SharedFile()), std::string::npos) << question;
    EXPECT_EQ(Ended(), exit_code::Success);
    EXPECT_FALSE(FileExists(SharedFile()));
    EXPECT_EQ(SharedCount(), "none");
    EXPECT_FALSE(FolderExists(second));
}

TEST_F(UninstallRun, ADamagedLogOrAWrongCommandLineTouchesNothing) {
    ASSERT_EQ(Install(app_), exit_code::Success) << installLog_;
    const std::string installed = Machine();
    const std::string logFile = app_ + "\\UNINST1.000";
    std::vector<std::uint8_t> bytes = test::ReadFileBytes(logFile);
    const std::vector<std::uint8_t> good = bytes;
    FILETIME written{};
    {
        WIN32_FILE_ATTRIBUTE_DATA facts{};
        GetFileAttributesExW(Widen(logFile).c_str(), GetFileExInfoStandard, &facts);
        written = facts.ftLastWriteTime;
    }
    bytes[76] = 1;  // a reserved byte of the header
    test::WriteFileBytes(logFile, bytes);
    const std::string damaged = Machine();

    ASSERT_TRUE(Start(UninstallString(1)));
    const std::string refusal = Answer(IDOK, "反安装");
    EXPECT_EQ(refusal, "反安装日志文件已损坏，或者不是反安装程序的日志文件：\r\n" + logFile + "\r\n\r\n没有删除任何东西。");
    EXPECT_EQ(Ended(), exit_code::FatalError);
    EXPECT_EQ(Machine(), damaged);

    // The log cut short by a full disk or a copy that stopped.
    bytes = good;
    bytes.resize(bytes.size() - 3);
    test::WriteFileBytes(logFile, bytes);
    EXPECT_EQ(Uninstall(UninstallString(1) + " /VERYSILENT /SUPPRESSMSGBOXES"), exit_code::FatalError);
    test::WriteFileBytes(logFile, good);
    {
        // The log as the installation left it, time stamp included.
        UniqueHFile file(CreateFileW(Widen(logFile).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        SetFileTime(file.get(), nullptr, nullptr, &written);
    }
    EXPECT_EQ(Machine(), installed);

    const std::string uninstaller = "\"" + WindowsFolderPath() + "\\" + test::UninstallerName() + "\"";
    ASSERT_TRUE(Start(uninstaller + " /U \"" + app_ + "\\UNINST0.000\""));
    const std::string usage = Answer(IDOK, "反安装");
    EXPECT_NE(usage.find("反安装程序的命令行不正确：/U 后面应是占位文件和日志文件的名字。"), std::string::npos) << usage;
    EXPECT_NE(usage.find(test::UninstallerName() + " /U \"占位文件\" \"日志文件\""), std::string::npos) << usage;
    EXPECT_EQ(Ended(), exit_code::FatalError);
    EXPECT_EQ(Uninstall(uninstaller + " /X /SUPPRESSMSGBOXES"), exit_code::FatalError);
    EXPECT_EQ(Uninstall(uninstaller + " /? /SUPPRESSMSGBOXES"), exit_code::Success);
    EXPECT_EQ(Machine(), installed);
}

TEST_F(UninstallRun, AProgramStillRunningIsDeletedAtTheRestart) {
    ASSERT_EQ(Install(app_), exit_code::Success) << installLog_;
    const std::string program = app_ + "\\程序.exe";
    UniqueHFile running(CreateFileW(Widen(program).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(running);
    const std::string log = apps_.file("restart.log");
    EXPECT_EQ(Uninstall(UninstallString(1) + " /VERYSILENT /SUPPRESSMSGBOXES \"/LOG=" + log + "\""),
              exit_code::RestartRequired);
    running.reset();
    const std::string text = FileText(log);
    EXPECT_NE(text.find("goes at the next restart: " + program), std::string::npos) << text;
    EXPECT_TRUE(FileExists(program)) << "until the restart";
    EXPECT_FALSE(FileExists(app_ + "\\UNINST1.000"));
    EXPECT_FALSE(FileExists(app_ + "\\settings.ini"));
    // Nothing restarts here: the pending deletions are taken back.
    UniqueHKey key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_SET_VALUE,
                  key.put());
    RegDeleteValueW(key.get(), L"PendingFileRenameOperations");
}

TEST_F(UninstallRun, ALogChangedByOneByteAfterTheInstallationIsRefusedAndNothingIsTouched) {
    ASSERT_EQ(Install(app_), exit_code::Success) << installLog_;
    const std::string logFile = app_ + "\\UNINST1.000";
    std::vector<std::uint8_t> bytes = test::ReadFileBytes(logFile);
    const std::string key = std::string(kUninstallParent) + "\\" + data_.SetupInfo.AppNameVersion + "_qv1";
    EXPECT_EQ(test::ReadRegistryString(HKEY_LOCAL_MACHINE, key, kUninstallLogHashValue), UninstallLogHash(bytes));

    // One letter of a recorded path: the log still reads well.
    const std::string name = "settings.ini";
    const auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
    ASSERT_NE(at, bytes.end());
    *at = 't';
    test::WriteFileBytes(logFile, bytes);
    const std::string changed = Machine();

    ASSERT_TRUE(Start(UninstallString(1)));
    EXPECT_EQ(Answer(IDOK, "反安装"), "反安装日志文件在安装之后被改动过，与安装时记录的不一致：\r\n" + logFile +
                                           "\r\n\r\n为了安全，没有删除任何东西。");
    EXPECT_EQ(Ended(), exit_code::FatalError);
    const std::string log = apps_.file("changed.log");
    EXPECT_EQ(Uninstall(UninstallString(1) + " /VERYSILENT /SUPPRESSMSGBOXES \"/LOG=" + log + "\""),
              exit_code::FatalError);
    const std::string text = FileText(log);
    DeleteFileW(Widen(log).c_str());
    EXPECT_NE(text.find("it was changed after the installation"), std::string::npos) << text;
    EXPECT_EQ(Machine(), changed);
}

// A log that no key below HKEY_LOCAL_MACHINE vouches for may be anybody's:
// an elevated uninstaller refuses it and says why. A key in the other
// registry view vouches as well as one in its own, unless it starts the
// other machine type's uninstaller.
TEST_F(UninstallRun, AnElevatedUninstallObeysOnlyALogThatAKeyOfEitherViewVouchesFor) {
    ASSERT_EQ(Install(app_), exit_code::Success) << installLog_;
    const std::string key = std::string(kUninstallParent) + "\\" + data_.SetupInfo.AppNameVersion + "_qv1";
    const std::string command = UninstallString(1);
    const std::string hash = test::ReadRegistryString(HKEY_LOCAL_MACHINE, key, kUninstallLogHashValue);
    {
        UniqueHKey own;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(key).c_str(), 0, KEY_SET_VALUE | test::EngineRegistryView(),
                                own.put()),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteValueW(own.get(), Widen(kUninstallLogHashValue).c_str()), ERROR_SUCCESS);
    }
    const std::string unvouched = Machine();
    ASSERT_TRUE(Start(command));
    const std::string refusal = Answer(IDOK, "反安装");
    EXPECT_NE(refusal.find("以管理员权限运行的反安装程序只执行安装时登记过的反安装日志文件"), std::string::npos) << refusal;
    EXPECT_EQ(Ended(), exit_code::FatalError);
    EXPECT_EQ(Machine(), unvouched);

    // A key that starts the other machine type's uninstaller tells an
    // installation of that type, its own uninstaller's to remove.
    const REGSAM otherViewFlag = test::OtherRegistryView();
    {
        const std::string own = test::UninstallerName();
        std::string foreign = command;
        foreign.replace(foreign.find(own), own.size(), own == "UNISTB64.EXE" ? "UNISTB32.EXE" : "UNISTB64.EXE");
        const test::VouchingKey other(data_.SetupInfo.AppNameVersion + "_qv1", foreign, hash, otherViewFlag);
        EXPECT_EQ(Uninstall(command + " /VERYSILENT /SUPPRESSMSGBOXES"), exit_code::FatalError);
        EXPECT_EQ(Machine(), unvouched);
    }
    const test::VouchingKey otherView(data_.SetupInfo.AppNameVersion + "_qv1", command, hash, otherViewFlag);
    const std::string log = apps_.file("vouched.log");
    EXPECT_EQ(Uninstall(command + " /VERYSILENT /SUPPRESSMSGBOXES \"/LOG=" + log + "\""), exit_code::Success);
    const std::string text = FileText(log);
    DeleteFileW(Widen(log).c_str());
    EXPECT_NE(text.find("as its installation saved it (SHA-256 " + hash), std::string::npos) << text;
    EXPECT_EQ(text.find("(32-bit view)") != std::string::npos, otherViewFlag == KEY_WOW64_32KEY) << text;
    EXPECT_FALSE(PathExists(app_ + "\\UNINST1.000"));
}

// The places a hostile log aims at, as far as a test can look without
// reading the whole system: each one there, with its attributes.
std::string PlacesSnapshot(const std::vector<std::string>& places) {
    std::string text;
    for (const std::string& place : places)
        text += place + ": " + std::to_string(GetFileAttributesW(Widen(place).c_str())) + "\n";
    return text;
}

TEST_F(UninstallRun, AHostileLogChangesNoneOfTheSystemsPlacesListsEachRefusalAndStillUndoesTheRest) {
    const auto shell = [](int csidl) { return ShellFolder(csidl); };
    wchar_t buffer[MAX_PATH] = {};
    GetSystemDirectoryW(buffer, MAX_PATH);
    const std::string win = WindowsFolderPath(), sys = Narrow(buffer);
    GetTempPathW(MAX_PATH, buffer);
    const std::string temp = StripBackslash(Narrow(buffer));
    std::vector<std::string> folders = {
        win.substr(0, 3), win, sys, shell(CSIDL_PROGRAM_FILES), shell(CSIDL_PROGRAM_FILES_COMMON),
        shell(CSIDL_PROFILE), shell(CSIDL_DESKTOPDIRECTORY), shell(CSIDL_COMMON_DESKTOPDIRECTORY),
        shell(CSIDL_STARTMENU), shell(CSIDL_COMMON_STARTMENU), shell(CSIDL_PROGRAMS), shell(CSIDL_COMMON_PROGRAMS),
        shell(CSIDL_STARTUP), shell(CSIDL_COMMON_STARTUP), temp};
    folders.erase(std::remove(folders.begin(), folders.end(), std::string()), folders.end());

    // Victims beside the paths that read otherwise: a file of the Windows
    // folder behind "..", an empty folder, a file seen through a link.
    test::ScratchFolder plain("qv guard");
    const std::string app = plain.file("app"), data = plain.file("data"), elsewhere = plain.file("elsewhere");
    const std::string iniVictim = win + "\\qv-guard-" + tag_ + ".ini", emptyVictim = plain.file("empty");
    for (const std::string& folder : {elsewhere, emptyVictim}) CreateDirectoryW(Widen(folder).c_str(), nullptr);
    test::WriteFileBytes(iniVictim, {'[', 'a', ']', '\r', '\n', 'k', '=', '1', '\r', '\n'});
    test::WriteFileBytes(elsewhere + "\\x.dat", {'x'});
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    {
        UniqueHKey key;
        RegCreateKeyExW(HKEY_CURRENT_USER, Widen(run).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    }
    const auto registry = [&] {
        return test::RegistrySnapshot(HKEY_CURRENT_USER, "Software") +
               test::RegistrySnapshot(HKEY_LOCAL_MACHINE, kUninstallParent) +
               test::RegistrySnapshot(HKEY_LOCAL_MACHINE, kSharedDlls) +
               test::RegistrySnapshot(HKEY_LOCAL_MACHINE, run);
    };
    const auto victims = [&] {
        return test::FolderSnapshot(elsewhere) + test::FolderSnapshot(emptyVictim) +
               (FileExists(iniVictim) ? FileText(iniVictim) : "<no " + iniVictim + ">");
    };
    const std::string before = PlacesSnapshot(folders) + registry() + victims();

    std::vector<TChangeEntry> entries;
    const auto add = [&](TChangeKind kind, std::vector<std::string> strings, std::uint32_t flags = 0) {
        entries.push_back(TChangeEntry::Make(kind, std::move(strings), flags));
    };
    // What the installation could have made: it goes.
    add(ekFolder, {app});
    add(ekFile, {app + "\\legit.txt", ""});
    add(ekRegKeyIfEmpty, {vendorKey_}, kHkeyCurrentUser);
    add(ekRegKeyTree, {regKey_}, kHkeyCurrentUser);
    add(ekRegValue, {run, "QV guard " + tag_}, kHkeyCurrentUser);
    add(ekIniKey, {app + "\\legit.ini", "s", "k"});
    const std::size_t legit = entries.size();
    // What it could not have.
    for (const std::string& folder : folders) add(ekFolder, {folder});
    for (const std::string& folder : {win, sys, temp, shell(CSIDL_PROGRAMS)}) add(ekFile, {folder, ""});
    const std::string upToTheDrive = app + "\\..\\..\\..\\..\\..\\..\\..\\..\\" + iniVictim.substr(3);
    add(ekFile, {upToTheDrive, ""});
    add(ekFile, {"\\\\?\\" + iniVictim, ""});
    add(ekFolder, {emptyVictim + "\\..\\empty"});
    add(ekIniSection, {win, "a"});
    add(ekIniKey, {upToTheDrive, "a", "k"});
    add(ekRegKeyTree, {"Software"}, kHkeyCurrentUser);
    add(ekRegKeyTree, {kUninstallParent}, kHkeyLocalMachine);
    add(ekRegKeyTree, {kSharedDlls}, kHkeyLocalMachine);
    add(ekRegKeyTree, {run}, kHkeyLocalMachine);
    add(ekRegKeyIfEmpty, {run}, kHkeyCurrentUser);
    add(ekRegDefaultValue, {run}, kHkeyCurrentUser);
    // A folder it made, replaced since by a link to another folder.
    add(ekFolder, {data});
    add(ekFile, {data + "\\x.dat", ""});
    const std::size_t refused = entries.size() - legit;

    // Done after the snapshot, as the installation did them.
    CreateDirectoryW(Widen(app).c_str(), nullptr);
    test::WriteFileBytes(app + "\\legit.txt", {'l'});
    {
        UniqueHKey key;
        RegCreateKeyExW(HKEY_CURRENT_USER, Widen(regKey_).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
        RegCreateKeyExW(HKEY_CURRENT_USER, Widen(run).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
        const wchar_t program[] = L"C:\\app\\app.exe";
        RegSetValueExW(key.get(), Widen("QV guard " + tag_).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(program),
                       sizeof program);
    }
    test::WriteFileBytes(app + "\\legit.ini", {'[', 's', ']', '\r', '\n', 'k', '=', '1', '\r', '\n'});
    MemoryOutStream out;
    WriteUninstallLog(out, "反安装测试", true, entries);
    test::WriteFileBytes(app + "\\UNINST1.000", out.Bytes());
    const std::string uninstall = "\"" + test::EngineFolder() + "\\" + test::UninstallerName() + "\" /U \"" + app +
                                  "\\UNINST0.000\" \"" + app + "\\UNINST1.000\"";
    // Vouched for, as if an administrator's installation had saved it: the
    // rules still hold.
    std::optional<test::VouchingKey> vouching;
    vouching.emplace("QV hostile " + tag_, uninstall, UninstallLogHash(out.Bytes()), KEY_WOW64_64KEY);
    const bool linked = test::MakeFolderLink(data, elsewhere);
    EXPECT_TRUE(linked) << "this system makes no folder links: the link is not tested";

    const std::string log = apps_.file("hostile.log");
    const DWORD code = Uninstall(uninstall + " /VERYSILENT /SUPPRESSMSGBOXES \"/LOG=" + log + "\"");
    vouching.reset();
    const std::string text = FileText(log);
    DeleteFileW(Widen(log).c_str());
    if (linked) test::RemoveFolderLink(data);
    EXPECT_EQ(code, exit_code::FatalError) << text;
    EXPECT_EQ(test::ReadFileBytes(elsewhere + "\\x.dat"), std::vector<std::uint8_t>{'x'}) << text;
    // The legitimate entries are done (the application folder went when
    // its log did), and nothing else changed.
    EXPECT_FALSE(PathExists(app)) << text;
    const std::string after = PlacesSnapshot(folders) + registry() + victims();
    DeleteFileW(Widen(iniVictim).c_str());
    EXPECT_EQ(after, before) << text;

    // Every refusal is listed, with its reason in the user's words.
    std::size_t listed = 0;
    for (std::size_t at = text.find("remains: "); at != std::string::npos; at = text.find("remains: ", at + 1)) ++listed;
    EXPECT_EQ(listed, refused - (linked ? 0 : 2)) << text;
    for (const char* reason : {"：这是系统的文件夹，没有改动", "：路径中含有 \".\" 或 \"..\"，没有改动",
                               "：路径带有设备前缀", "：这是系统的注册表键，没有改动", "：它现在是链接或联接点，没有改动"})
        EXPECT_NE(text.find(reason), std::string::npos) << reason << "\n" << text;
    EXPECT_NE(text.find("Exit code 1603"), std::string::npos) << text;
}

// Not the uninstaller's, but judged the same way: a library that crashes
// in its DllRegisterServer takes down only the child that registers it,
// and the unattended answer to the retry question rolls everything back.
TEST_F(UninstallRun, ALibraryThatCrashesWhileRegisteringFailsAndTheInstallationIsRolledBack) {
    const std::string before = Machine();
    data_.FileRecords.clear();
    data_.FileLocationRecords.clear();
    // A 32-bit installer registers 32-bit libraries.
    const std::string libraries =
        test::ProgramFolder() + (test::EngineIsI686() ? "\\i686\\" : "\\");
    const auto built = [&](const std::string& name) { return test::ReadFileBytes(libraries + name); };
    test::AddPayloadFiles(data_, folder_.path(),
                          {{"{app}\\程序.exe", program_},
                           {"{app}\\注册.dll", built("qvtest_registers.dll")},
                           {"{app}\\崩溃.dll", built("qvtest_register_crashes.dll")}});
    data_.FileRecords[1].FileFlags = ffSelfRegister;
    data_.FileRecords[2].FileFlags = ffSelfRegister;
    test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
    const test::ScopedEnvVar calls("QV_TEST_REGISTER_LOG", folder_.file("calls.log"));

    EXPECT_EQ(Install(app_), exit_code::FatalError) << installLog_;
    EXPECT_NE(installLog_.find("DLL注册服务异常终止，代码 0xC0000005。"), std::string::npos) << installLog_;
    EXPECT_EQ(FileText(folder_.file("calls.log")), app_ + "\\注册.dll\n") << "the library before it registered";
    EXPECT_EQ(Machine(), before) << installLog_;
    EXPECT_EQ(test::ListFolder(temp_.path(), "qv-*.tmp"), std::vector<std::string>{});
}

// Not the uninstaller's, but judged the same way: an upgrade that fails
// gives back everything the earlier installation had, byte for byte.
TEST_F(UninstallRun, AFailedUpgradeGivesBackEverythingTheEarlierInstallationHad) {
    ASSERT_EQ(Install(app_), exit_code::Success) << installLog_;
    const std::string installed = Machine();

    // The next version: other contents, values and an INI text, and a last
    // file whose data is damaged, so that the upgrade fails at its end.
    const std::string uninstaller = test::EngineFolder() + "\\" + test::UninstallerName();
    const TFileRec carried = data_.FileRecords[0];
    data_.FileRecords.clear();
    data_.FileLocationRecords.clear();
    test::AddPayloadFiles(data_, folder_.path(),
                          {{"{win}\\" + test::UninstallerName(), test::ReadFileBytes(uninstaller)},
                           {"{app}\\程序.exe", test::PatternedContent(120000, 15)},
                           {"{app}\\数据\\a.dat", test::PatternedContent(7000, 19)},
                           {"{cf}\\" + sharedFolderName_ + "\\共享.dll", test::PatternedContent(3500, 16)},
                           {"{app}\\最后.dat", test::PatternedContent(1000, 17)}});
    data_.FileRecords[0] = TFileRec{carried.DestPath, data_.FileRecords[0].FileTime, carried.FileVersionMS,
                                    carried.FileVersionLS, data_.FileRecords[0].OriginalSize,
                                    data_.FileRecords[0].CompressedSize, data_.FileRecords[0].Adler32,
                                    carried.ReplaceMode, carried.FileFlags, carried.VersionFlags};
    data_.FileRecords[3].FileFlags = ffShared;
    data_.FileRecords[4].Adler32 ^= 1;
    data_.IniRecords[0].Value = "{app}\\第二版";
    data_.RegistryRecords[0].ValueString = "第二版";
    data_.RegistryRecords[1].ValueDWord = 8;
    test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);

    EXPECT_EQ(Install(app_), exit_code::FatalError);
    EXPECT_NE(installLog_.find("moved the existing file"), std::string::npos) << installLog_;
    EXPECT_EQ(Machine(), installed) << installLog_;
    EXPECT_EQ(test::ListFolder(temp_.path(), "qv-*.tmp"), std::vector<std::string>{});
}

}  // namespace
}  // namespace qv
