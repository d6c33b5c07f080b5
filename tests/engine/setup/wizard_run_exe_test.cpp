// The real Setup.exe from its first page to its end, driven from outside
// the way a user drives it: every page's texts and buttons read from the
// windows, the checks of the folder and group pages with their messages,
// the pages that are passed over, cancelling and failing at several points,
// a second installation into the same folder and a restart declined.
// Each run of Setup.exe covers several checks: every window that Wine
// closes costs time.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "core/text/cp936.h"
#include "core/ui/wizard_text.h"
#include "engine/common/path_tests.h"
#include "engine/common/win_handles.h"
#include "engine/common/exit_codes.h"
#include "engine/instfunc/delete_folder_tree.h"
#include "engine/journal/journal_folders.h"
#include "setup_exe_fixture.h"
#include "testkit/pending_renames.h"
#include "testkit/wizard_driver.h"

namespace qv {
namespace {

using P = test::WizardPlaces;

using test::ShellFolder;

// A drive letter that names no drive here.
char MissingDrive() {
    const DWORD drives = GetLogicalDrives();
    for (char c = 'Q'; c <= 'Y'; ++c)
        if (!(drives & (1u << (c - 'A')))) return c;
    return 0;
}

class WizardRun : public test::SetupExeWindow {
protected:
    void SetUp() override {
        test::SetupExeWindow::SetUp();
        data_ = test::SampleSetupData();
        data_.SetupInfo.AppName = "向导测试";
        // The uninstall keys of this run alone, removed again at the end.
        data_.SetupInfo.AppNameVersion = "向导测试 " + tag_;
        data_.SetupInfo.DefaultFolderName = "向导测试";
        data_.SetupInfo.DefaultGroup = "向导测试组";
        data_.SetupInfo.Options = optUninstallable | optOwnAppFolder | optAllowNoIcons;
        data_.LicenseText = "许可协议\r\n第二行";
        data_.InfoBeforeText = "安装之前\r\n请读";
        data_.InfoAfterText = "安装之后\r\n再读";
        data_.FileRecords.clear();
        data_.FileLocationRecords.clear();
        data_.IconRecords = {{"{group}\\示例", "{app}\\程序.exe", "", "{app}", "", 0}};
        data_.IniRecords.resize(1);
        data_.IniRecords[0].Filename = "{app}\\settings.ini";
        data_.IniRecords[0].Section = "Paths";
        data_.IniRecords[0].Entry = "Home";
        data_.IniRecords[0].Value = "{app}";
        data_.RegistryRecords.resize(1);
        data_.RegistryRecords[0].RootKey = kHkeyCurrentUser;
        data_.RegistryRecords[0].SubKey = regKey_;
        data_.RegistryRecords[0].ValueName = "Folder";
        data_.RegistryRecords[0].ValueType = rtString;
        data_.RegistryRecords[0].ValueString = "{app}";
        data_.RegistryRecords[0].Flags = rfUninstDeleteKey;
        app_ = apps_.file("向导 程序");
    }
    // Writes the setup data with these payload files.
    void WritePayload(const std::vector<test::PayloadFile>& files) {
        data_.FileRecords.clear();
        data_.FileLocationRecords.clear();
        test::AddPayloadFiles(data_, folder_.path(), files);
        test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
    }
    void WriteStandardPayload() {
        WritePayload({{"{app}\\程序.exe", program_}, {"{app}\\readme.txt", readme_}});
        data_.FileRecords[1].FileFlags = ffReadme;
        test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
    }
    void TearDown() override {
        for (const char* name : {"_qv1", "_qv2"})
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, Widen(std::string(kUninstallParent) + "\\" +
                                                     data_.SetupInfo.AppNameVersion + name).c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, Widen(regKey_).c_str());
        for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS})
            for (const std::string& group : {group_, existingGroup_}) {
                const std::string folder = ShellFolder(csidl) + "\\" + group;
                DeleteFileW(Widen(folder + "\\示例.lnk").c_str());
                RemoveDirectoryW(Widen(folder).c_str());
            }
        test::SetupExeWindow::TearDown();
    }

    test::WizardDriver WaitForWizard() {
        HWND w = test::WaitForWindow(pid_, "欢迎", 30000);
        EXPECT_NE(w, nullptr) << "no wizard";
        return test::WizardDriver(w);
    }
    // Presses Next on a page whose check shows a message box; the box's
    // text, answered with `answer`, and the page is still there.
    std::string NextShowsBox(const test::WizardDriver& wizard, int answer = IDOK) {
        const std::string page = wizard.Caption();
        wizard.Press(P::Next);
        HWND box = test::WaitForMessageBox(pid_, 10000);
        if (!box) return "<no box>";
        const std::string text = test::ReadMessageBox(box).Text;
        test::PressButton(box, answer);
        // Gone for good: the check goes on only once its box is destroyed.
        for (int i = 0; i < 300 && IsWindow(box); ++i) Sleep(10);
        EXPECT_TRUE(wizard.WaitForCaption(page, 3000)) << text;
        return text;
    }
    // Goes Next until the page with `caption`.
    void NextTo(const test::WizardDriver& wizard, const std::string& caption) {
        wizard.Press(P::Next);
        ASSERT_TRUE(wizard.WaitForCaption(caption)) << "now at " << wizard.Caption();
    }
    DWORD ExitCode() {
        if (WaitForSingleObject(process_, 30000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    std::string Expanded(const std::string& text) const {
        std::uint64_t total = 0;
        for (const TFileRec& f : data_.FileRecords) total += static_cast<std::uint32_t>(f.OriginalSize);
        return ExpandWizardText(text, {data_.SetupInfo.AppName, data_.SetupInfo.AppNameVersion, RequiredSpaceText(total)});
    }

    static constexpr const char* kUninstallParent = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::string tag_ = std::to_string(GetCurrentProcessId());
    const std::string regKey_ = "Software\\QV Setup wizard " + tag_;
    const std::string group_ = "QV 向导组 " + tag_;
    const std::string existingGroup_ = "QV Existing Group " + tag_;
    const std::vector<std::uint8_t> program_ = test::PatternedContent(200000, 3);
    const std::vector<std::uint8_t> readme_ = test::PatternedContent(100, 4);
    test::ScratchFolder apps_{"qv 向导"};
    std::string app_;
};

TEST_F(WizardRun, EveryPageInTurnWithItsChecksThenAWholeInstallation) {
    WriteStandardPayload();
    // A group that exists already is offered on the group page.
    const std::string existing = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + existingGroup_;
    ASSERT_TRUE(CreateDirectoryW(Widen(existing).c_str(), nullptr));
    ASSERT_TRUE(Launch("\"/DIR=" + app_ + "\" \"/GROUP=" + group_ + "\""));
    const test::WizardDriver wizard = WaitForWizard();
    ASSERT_NE(wizard.Window(), nullptr);

    // Welcome: the expanded text, Next and Cancel only, centred over the screen.
    RECT client;
    GetClientRect(wizard.Window(), &client);
    EXPECT_EQ(client.right, 409);
    EXPECT_EQ(client.bottom, 289);
    RECT outer;
    GetWindowRect(wizard.Window(), &outer);
    EXPECT_NEAR((outer.left + outer.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
    EXPECT_EQ(wizard.TextAt(P::Welcome), Expanded(kWelcomeTextTemplate));
    EXPECT_EQ(wizard.ButtonCaption(P::Next), "下一步(&N) >");
    EXPECT_EQ(wizard.ButtonCaption(P::Cancel), "取消");
    EXPECT_EQ(wizard.ButtonCaption(P::Back), "<hidden>");
    EXPECT_EQ(wizard.TextAt(P::ClickHint), "");

    // The licence: Yes / No; No asks the exit question, and staying keeps the page.
    NextTo(wizard, "许可协议");
    EXPECT_EQ(wizard.TextAt(P::Memo), data_.LicenseText);
    EXPECT_EQ(wizard.ButtonCaption(P::Next), "是(&Y)");
    EXPECT_EQ(wizard.ButtonCaption(P::Cancel), "否(&N)");
    EXPECT_EQ(wizard.ButtonCaption(P::Back), "< 上一步(&B)");
    wizard.Press(P::Cancel);
    HWND question = test::WaitForMessageBox(pid_, 10000);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(test::ReadMessageBox(question).Caption, "退出设置程序");
    test::PressButton(question, IDNO);
    for (int i = 0; i < 100 && test::FindMessageBox(pid_); ++i) Sleep(30);
    EXPECT_TRUE(wizard.WaitForCaption("许可协议"));

    NextTo(wizard, "信息");
    EXPECT_EQ(wizard.TextAt(P::Memo), data_.InfoBeforeText);

    // The folder page proposes /DIR= and checks what is typed, in order.
    NextTo(wizard, "选择目标文件夹");
    HWND dirEdit = wizard.At(P::DirEdit);
    EXPECT_EQ(test::TextOf(dirEdit), app_);
    EXPECT_EQ(wizard.TextAt(P::DiskSpace), Expanded("程序运行所需最小磁盘空间 [mb] MB。"));
    EXPECT_EQ(wizard.TextAt(P::ClickHint), "按<下一步>继续, 或按<取消>退出设置程序。");
    const char missing = MissingDrive();
    ASSERT_NE(missing, 0);
    const struct {
        std::string typed, message;
    } refused[] = {
        {"\\\\SERVER\\SHARE\\APP",
         "设置程序不能以通用命名标准(UNC)安装。如果您试图将软件安装到网络，必须首先映射一个网络驱动器。"},
        {"C:APP", "您必须输入完整路径名，包括盘符；例如：\r\nC:\\APP"},
        {"C:\\A|B", "文件夹名中不能包括下面列出的所有字符：\r\n\r\n/ : * ? \" < > |"},
        {"C:\\한국어", "文件夹名中不能包括简体中文字符集以外的字符：\r\n\r\n한 국 어"},
        {std::string(1, missing) + ":\\APP", "您选择的盘符不存在，请重新选择。"},
    };
    for (const auto& c : refused) {
        test::TypeText(dirEdit, c.typed);
        EXPECT_EQ(NextShowsBox(wizard), c.message) << c.typed;
    }
    // An existing folder is a question; No stays, with the backslash gone.
    test::TypeText(dirEdit, "  " + apps_.path() + "\\ ");
    EXPECT_EQ(NextShowsBox(wizard, IDNO), "文件夹 " + apps_.path() + " 已经存在。\r\n\r\n您还想继续安装吗？");
    EXPECT_EQ(test::TextOf(dirEdit), apps_.path());
    test::TypeText(dirEdit, app_ + "\\");
    NextTo(wizard, "选择程序组文件夹");
    EXPECT_EQ(test::TextOf(dirEdit), app_);

    // The group page: /GROUP=, the existing groups, the list and the edit
    // box following each other, and the check box that turns both off.
    HWND groupEdit = wizard.At(P::GroupEdit);
    HWND groupList = wizard.At(P::GroupList);
    EXPECT_EQ(test::TextOf(groupEdit), group_);
    const LRESULT count = SendMessageW(groupList, LB_GETCOUNT, 0, 0);
    int listed = -1;
    for (int i = 0; i < count; ++i) {
        wchar_t item[256] = {};
        SendMessageW(groupList, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        if (Narrow(item) == existingGroup_) listed = i;
    }
    ASSERT_GE(listed, 0) << "the existing group is listed";
    std::string lower = existingGroup_;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    test::TypeText(groupEdit, lower);
    EXPECT_EQ(SendMessageW(groupList, LB_GETCURSEL, 0, 0), listed) << "typing selects the item, ignoring case";
    EXPECT_EQ(test::TextOf(groupEdit), lower) << "and the selection does not write back";
    SendMessageW(groupList, LB_SETCURSEL, 0, 0);
    SendMessageW(GetParent(groupList), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(groupList), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(groupList));
    wchar_t first[256] = {};
    SendMessageW(groupList, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(test::TextOf(groupEdit), Narrow(first)) << "clicking an item copies it";
    HWND noIcons = wizard.At(P::NoIcons);
    EXPECT_EQ(test::TextOf(noIcons), "不能建立图标");
    SendMessageW(noIcons, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(groupEdit));
    EXPECT_FALSE(IsWindowEnabled(groupList));
    EXPECT_EQ(SendMessageW(groupList, LB_GETCURSEL, 0, 0), LB_ERR);
    SendMessageW(noIcons, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(groupEdit));
    test::TypeText(groupEdit, "  \\\\ ");
    EXPECT_EQ(NextShowsBox(wizard), "您必须输入一个程序组名。");
    test::TypeText(groupEdit, "A|B");
    EXPECT_EQ(NextShowsBox(wizard), "程序组名中不能包括下面字符：\r\n\r\n/ : * ? \" < > | ,");
    test::TypeText(groupEdit, "한국어");
    EXPECT_EQ(NextShowsBox(wizard), "程序组名中不能包括简体中文字符集以外的字符：\r\n\r\n한 국 어");
    test::TypeText(groupEdit, "\\\\" + group_ + "\\");
    NextTo(wizard, "准备安装");
    EXPECT_EQ(test::TextOf(groupEdit), group_);

    // Ready; Back returns to the group page as it was.
    EXPECT_EQ(wizard.TextAt(P::Ready), Expanded(ReadyTextTemplate(false, false)));
    EXPECT_EQ(wizard.ButtonCaption(P::Next), "安装(&I)");
    wizard.Press(P::Back);
    ASSERT_TRUE(wizard.WaitForCaption("选择程序组文件夹"));
    EXPECT_EQ(test::TextOf(groupEdit), group_);
    NextTo(wizard, "准备安装");

    // Install, then the information after installing: no Back, no Cancel.
    wizard.Press(P::Next);
    ASSERT_TRUE(wizard.WaitForCaption("信息", 60000)) << "now at " << wizard.Caption();
    EXPECT_EQ(wizard.TextAt(P::Memo), data_.InfoAfterText);
    EXPECT_EQ(wizard.ButtonCaption(P::Back), "<hidden>");
    EXPECT_EQ(wizard.ButtonCaption(P::Cancel), "<hidden>");
    NextTo(wizard, "设置完成");
    EXPECT_EQ(wizard.TextAt(P::Finished), Expanded(FinishedTextTemplate(true)));
    EXPECT_EQ(wizard.ButtonCaption(P::Next), "完成(&F)");
    EXPECT_EQ(wizard.ButtonCaption(P::Cancel), "<hidden>");
    HWND readme = wizard.At(P::ShowReadme);
    EXPECT_EQ(test::TextOf(readme), "是，我想看一下Readme说明文件。");
    EXPECT_TRUE(test::Checked(readme));
    wizard.Press(P::Back);
    ASSERT_TRUE(wizard.WaitForCaption("信息"));
    NextTo(wizard, "设置完成");
    // No readme this time (it would open an editor); Finish ends the run.
    SendMessageW(readme, BM_CLICK, 0, 0);
    EXPECT_FALSE(test::Checked(readme));
    wizard.Press(P::Next);
    EXPECT_EQ(ExitCode(), exit_code::Success);

    // What the choices made: the files in the folder typed, the link in the
    // group typed, the INI and registry values naming the folder.
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), program_);
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\readme.txt"), readme_);
    EXPECT_TRUE(FileExists(ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group_ + "\\示例.lnk") ||
                FileExists(ShellFolder(CSIDL_PROGRAMS) + "\\" + group_ + "\\示例.lnk"));
    const std::vector<std::uint8_t> ini = test::ReadFileBytes(app_ + "\\settings.ini");
    EXPECT_EQ(cp936::ToUtf8(std::string(ini.begin(), ini.end())), "[Paths]\r\nHome=" + app_ + "\r\n");
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, Widen(regKey_).c_str(), L"Folder", RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(Narrow(value), app_);
    EXPECT_TRUE(FileExists(app_ + "\\UNINST1.000"));
    EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());
}

TEST_F(WizardRun, NothingToAskGoesFromWelcomeToReadyAndCancellingThereGives1602) {
    data_.LicenseText.clear();
    data_.InfoBeforeText.clear();
    data_.InfoAfterText.clear();
    data_.IconRecords.clear();
    data_.SetupInfo.Options = optUninstallable | optOwnAppFolder | optNoFolderPage;
    WriteStandardPayload();
    // /DIR= does not count without a folder page.
    ASSERT_TRUE(Launch("\"/DIR=" + app_ + "\""));
    const test::WizardDriver wizard = WaitForWizard();
    ASSERT_NE(wizard.Window(), nullptr);
    NextTo(wizard, "准备安装");
    const std::string ready = wizard.TextAt(P::Ready);
    EXPECT_EQ(ready, Expanded(ReadyTextTemplate(true, true)));
    EXPECT_EQ(ready.substr(ready.size() - std::string("按<安装>继续设置程序。").size()), "按<安装>继续设置程序。");
    wizard.Press(P::Back);
    ASSERT_TRUE(wizard.WaitForCaption("欢迎"));
    wizard.Press(P::Cancel);
    HWND question = test::WaitForMessageBox(pid_, 10000);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(test::ReadMessageBox(question).Caption, "退出设置程序");
    test::PressButton(question, IDYES);
    EXPECT_EQ(ExitCode(), exit_code::UserCancelled);
    EXPECT_FALSE(FolderExists(app_));
    EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());
}

TEST_F(WizardRun, CancelDuringTheCopyRollsBackWith1602) {
    data_.LicenseText.clear();
    data_.InfoBeforeText.clear();
    // Enough data that the copy is still going when Cancel is pressed.
    WritePayload({{"{app}\\程序.exe", program_}, {"{app}\\big.dat", test::PatternedContent(96 << 20, 5)}});
    ASSERT_TRUE(Launch("\"/DIR=" + app_ + "\" \"/GROUP=" + group_ + "\""));
    const test::WizardDriver wizard = WaitForWizard();
    ASSERT_NE(wizard.Window(), nullptr);
    NextTo(wizard, "选择目标文件夹");
    NextTo(wizard, "选择程序组文件夹");
    NextTo(wizard, "准备安装");
    wizard.Press(P::Next);
    HWND progress = test::WaitForWindow(pid_, "设置", 30000);
    ASSERT_NE(progress, nullptr);
    PostMessageW(progress, WM_CLOSE, 0, 0);
    HWND question = test::WaitForMessageBox(pid_, 30000);
    ASSERT_NE(question, nullptr) << "the copy ended before Cancel was seen";
    EXPECT_EQ(test::ReadMessageBox(question).Caption, "退出设置程序");
    test::PressButton(question, IDYES);
    EXPECT_EQ(ExitCode(), exit_code::UserCancelled);
    EXPECT_FALSE(FolderExists(app_)) << "the rollback removes the files and the folder";
    UniqueHKey key;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, Widen(regKey_).c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
}

TEST_F(WizardRun, AFailureDuringTheInstallationRollsBackWith1603) {
    data_.LicenseText.clear();
    data_.InfoBeforeText.clear();
    data_.IconRecords.clear();
    // A folder of the setup data that cannot be made: a file stands where
    // its parent would be. The application folder is made first.
    const std::string inTheWay = apps_.file("挡路的文件");
    test::WriteFileBytes(inTheWay, readme_);
    data_.DirRecords = {{"{app}\\..\\挡路的文件\\数据", 0}};
    WriteStandardPayload();
    ASSERT_TRUE(Launch("\"/DIR=" + app_ + "\""));
    const test::WizardDriver wizard = WaitForWizard();
    ASSERT_NE(wizard.Window(), nullptr);
    NextTo(wizard, "选择目标文件夹");
    NextTo(wizard, "准备安装");
    wizard.Press(P::Next);
    std::vector<std::string> texts;
    for (int box = 0; box < 2; ++box) {
        HWND shown = test::WaitForMessageBox(pid_, 30000);
        ASSERT_NE(shown, nullptr) << box;
        texts.push_back(test::ReadMessageBox(shown).Text);
        test::PressButton(shown, IDOK);
        for (int i = 0; i < 100 && test::FindMessageBox(pid_) == shown; ++i) Sleep(30);
    }
    EXPECT_EQ(texts[0], "设置程序不能创建文件夹 \"" + inTheWay + "\"");
    EXPECT_EQ(texts[1], "安装无法完成.\r\n\r\n请先修改这些错误，然后重新运行设置程序。");
    EXPECT_EQ(ExitCode(), exit_code::FatalError) << texts[0];
    EXPECT_FALSE(FolderExists(app_)) << "the application folder made first is taken back";
}

TEST_F(WizardRun, ASecondInstallationIntoTheSameFolderWithARestartDeclinedGives3010) {
    data_.LicenseText.clear();
    data_.InfoBeforeText.clear();
    data_.InfoAfterText.clear();
    data_.IconRecords.clear();
    data_.SetupInfo.Options |= optRestartAfter;
    WriteStandardPayload();
    for (int run = 1; run <= 2; ++run) {
        if (run == 2) CloseHandle(std::exchange(process_, nullptr));
        ASSERT_TRUE(Launch("\"/DIR=" + app_ + "\""));
        const test::WizardDriver wizard = WaitForWizard();
        ASSERT_NE(wizard.Window(), nullptr);
        NextTo(wizard, "选择目标文件夹");
        if (run == 1) {
            NextTo(wizard, "准备安装");
        } else {
            // The folder of the first installation: the question, then on.
            wizard.Press(P::Next);
            HWND box = test::WaitForMessageBox(pid_, 10000);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(test::ReadMessageBox(box).Caption, "文件夹已存在");
            test::PressButton(box, IDYES);
            ASSERT_TRUE(wizard.WaitForCaption("准备安装"));
        }
        wizard.Press(P::Next);
        ASSERT_TRUE(wizard.WaitForCaption("设置完成", 60000)) << "now at " << wizard.Caption();
        // The restart question instead of the readme offer.
        EXPECT_EQ(wizard.TextAt(P::Finished),
                  Expanded("为完成[name]的安装, 设置程序将重新启动您的计算机，现在想重新启动吗？"));
        HWND yes = wizard.At(P::YesRadio), no = wizard.At(P::NoRadio);
        EXPECT_EQ(test::TextOf(yes), "是, 马上重新启动系统");
        EXPECT_TRUE(test::Checked(yes));
        EXPECT_EQ(test::TextOf(no), "不, 等一会再启动系统");
        EXPECT_EQ(wizard.ButtonCaption(P::Back), "<hidden>");
        SendMessageW(no, BM_CLICK, 0, 0);
        EXPECT_TRUE(test::Checked(no));
        wizard.Press(P::Next);
        EXPECT_EQ(ExitCode(), exit_code::RestartRequired) << run;
    }
    EXPECT_TRUE(FileExists(app_ + "\\UNINST1.000"));
    EXPECT_TRUE(FileExists(app_ + "\\UNINST1.001")) << "the second installation has a log of its own";
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), program_);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Unattended runs: no window at all, every question answered by the table,
// the log of what happened, and exit codes that a deployment tool relies on.
class UnattendedRun : public WizardRun {
protected:
    DWORD RunQuietly(const std::string& more) {
        CloseHandle(std::exchange(process_, nullptr));
        return RunToEnd("/VERYSILENT /SUPPRESSMSGBOXES \"/DIR=" + app_ + "\" \"/GROUP=" + group_ + "\" " + more);
    }
    std::string LogText(const std::string& path) {
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(UnattendedRun, AWholeInstallationWithoutAWindowAndItsLog) {
    WriteStandardPayload();
    const std::string log = apps_.file("安装 日志.txt");
    EXPECT_EQ(RunQuietly("\"/LOG=" + log + "\""), exit_code::Success);
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), program_);
    EXPECT_TRUE(FileExists(ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + group_ + "\\示例.lnk") ||
                FileExists(ShellFolder(CSIDL_PROGRAMS) + "\\" + group_ + "\\示例.lnk"));
    EXPECT_TRUE(FileExists(app_ + "\\settings.ini"));
    EXPECT_TRUE(FileExists(app_ + "\\UNINST1.000"));
    const std::string text = LogText(log);
    for (const std::string& line : {std::string("Command line: "), "Folder: " + app_, "Program group: " + group_,
                                    std::string("Installation completed"), std::string("Exit code 0")})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

    // The same again: the folder exists, the table goes on; a log that cannot
    // be written is no reason to fail.
    EXPECT_EQ(RunQuietly("\"/LOG=" + apps_.file("no such folder\\x.log") + "\""), exit_code::Success);
    EXPECT_TRUE(FileExists(app_ + "\\UNINST1.001"));
}

TEST_F(UnattendedRun, AFolderTheUninstallLogCannotNameFailsBeforeAnythingChanges) {
    WriteStandardPayload();
    app_ = apps_.file("한국어");
    const std::string log = apps_.file("korean.log");
    EXPECT_EQ(RunQuietly("\"/LOG=" + log + "\""), exit_code::FatalError);
    EXPECT_FALSE(FolderExists(app_));
    UniqueHKey key;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, Widen(regKey_).c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS);
    const std::string text = LogText(log);
    for (const char* line : {"文件夹名中不能包括简体中文字符集以外的字符：", "한 국 어",
                             "The choices were refused: nothing was installed", "Exit code 1603"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(UnattendedRun, AMissingDiskFailsAndARestartIsNeverMade) {
    data_.SetupInfo.Options |= optRestartAfter;
    data_.IconRecords.clear();
    // A folder made to be removed when setup ends: the rollback removes it
    // in time for the application folder around it to go too.
    data_.DirRecords = {{"{app}\\缓存", dfRemoveAtEnd}};
    // Two data files; the second is missing, and nobody can insert it.
    data_.FileRecords.clear();
    data_.FileLocationRecords.clear();
    test::AddPayloadFiles(data_, folder_.path(),
                          {{"{app}\\a.dat", test::PatternedContent(30000, 1)}, {"{app}\\b.dat", program_}}, 40000);
    test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
    const std::string setup2 = folder_.file("SETUP.2"), kept = folder_.file("SETUP.2.kept");
    ASSERT_TRUE(MoveFileW(Widen(setup2).c_str(), Widen(kept).c_str()));
    const std::string log = apps_.file("disk.log");
    EXPECT_EQ(RunQuietly("\"/LOG=" + log + "\""), exit_code::FatalError);
    EXPECT_FALSE(FolderExists(app_)) << "rolled back";
    EXPECT_NE(LogText(log).find("Exit code 1603"), std::string::npos) << LogText(log);
    // With the disk there, the restart the setup data asks for is left to the administrator.
    ASSERT_TRUE(MoveFileW(Widen(kept).c_str(), Widen(setup2).c_str()));
    EXPECT_EQ(RunQuietly("/NORESTART"), exit_code::RestartRequired);
    EXPECT_TRUE(FileExists(app_ + "\\b.dat"));
}

TEST_F(UnattendedRun, ANewerFileOnTheMachineIsKeptAndTheLogSaysByWhichRowAndWhichAnswer) {
    // The setup brings lib.dll 1.0.0.0; the machine has 2.0.3.4.
    WritePayload({{"{app}\\程序.exe", program_}, {"{app}\\lib.dll", test::PatternedContent(5000, 7)}});
    data_.FileRecords[1].VersionFlags = vfHasVersion;
    data_.FileRecords[1].FileVersionMS = 0x00010000;
    data_.FileRecords[1].FileVersionLS = 0;
    test::WriteSetupDataFile(folder_.file("SETUP.0"), data_);
    const std::string lib = app_ + "\\lib.dll";
    const std::vector<std::uint8_t> newer = test::ReadFileBytes(test::ProgramFolder() + "\\qvtest_version_2_0_3_4.dll");
    ASSERT_FALSE(newer.empty());
    ASSERT_TRUE(CreateDirectoryW(Widen(app_).c_str(), nullptr));
    test::WriteFileBytes(lib, newer);

    const std::string log = apps_.file("newer.log");
    EXPECT_EQ(RunQuietly("\"/LOG=" + log + "\""), exit_code::Success);
    EXPECT_EQ(test::ReadFileBytes(lib), newer) << "the newer file stays byte for byte";
    EXPECT_EQ(test::ReadFileBytes(app_ + "\\程序.exe"), program_);
    const std::string text = LogText(log);
    for (const std::string& line :
         {"kept \"" + lib +
              "\" (existing-file table, row 2): existing file is newer (version 2.0.3.4 > 1.0.0.0), and the unattended "
              "table answered Yes to keeping it (its rule: keep the newer existing file)",
          std::string("Exit code 0")})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(UnattendedRun, AFileHeldOpenFailsTheRunWith1603AndEverythingGoesBack) {
    WriteStandardPayload();
    // readme.txt, the second file, is there already and somebody holds it
    // open without sharing: it cannot be replaced, and the table answers
    // the retry question with Abort.
    const std::string readme = app_ + "\\readme.txt";
    const std::vector<std::uint8_t> before = test::PatternedContent(300, 9);
    ASSERT_TRUE(CreateDirectoryW(Widen(app_).c_str(), nullptr));
    test::WriteFileBytes(readme, before);
    UniqueHFile holder(CreateFileW(Widen(readme).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);

    const std::string log = apps_.file("held.log");
    EXPECT_EQ(RunQuietly("\"/LOG=" + log + "\""), exit_code::FatalError);
    holder.reset();
    // The folder as it was: the first file, the uninstall files and every
    // temporary file gone, the held file untouched.
    EXPECT_EQ(test::ListFolder(app_), std::vector<std::string>{"readme.txt"});
    EXPECT_EQ(test::ReadFileBytes(readme), before);
    const std::string uninstallKey = std::string(kUninstallParent) + "\\" + data_.SetupInfo.AppNameVersion + "_qv1";
    UniqueHKey key;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(uninstallKey).c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS)
        << "the uninstall key is taken back";
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, Widen(regKey_).c_str(), 0, KEY_READ, key.put()), ERROR_SUCCESS)
        << "the steps after the files never ran";
    EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*").empty());

    const std::string text = LogText(log);
    for (const std::string& line :
         {"cannot delete the existing file \"" + readme + "\": Windows error 32 ",
          "error with \"" + readme + "\": \"错误：试图删除文件时出错。\"",
          std::string("Unattended answer: a retry question: fail the installation"), std::string("answer: Abort"),
          std::string("installation failed: the unattended table answered Abort; rolling back its recorded changes"),
          std::string("rolling back from the journal"), "remove the new file \"" + app_ + "\\程序.exe\": done",
          std::string("rollback finished: every entry undone or passed over"), std::string("Exit code 1603")})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(UnattendedRun, AFileReplacedWhileInUseGoesWithTheTemporaryFolderAtTheNextRestart) {
    WriteStandardPayload();
    // readme.txt is there already and in use the way a running program is:
    // it can be moved, not deleted. It is moved aside into the run folder
    // beside the journal for a rollback, and is still in use when the run ends.
    const std::string readme = app_ + "\\readme.txt";
    ASSERT_TRUE(CreateDirectoryW(Widen(app_).c_str(), nullptr));
    test::WriteFileBytes(readme, test::PatternedContent(300, 9));
    UniqueHFile holder(CreateFileW(Widen(readme).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);

    const std::string log = apps_.file("in use.log");
    EXPECT_EQ(RunQuietly("\"/LOG=" + log + "\""), exit_code::Success);
    const std::vector<test::PendingRename> pending = test::ListPendingRenames();
    const std::string journals = JournalRoot(true);
    test::ForgetPendingRenamesUnder(journals);
    holder.reset();
    EXPECT_EQ(test::ReadFileBytes(readme), readme_);
    EXPECT_TRUE(test::ListFolder(temp_.path(), "qv-*.tmp").empty());
    // The moved file, then its run folder, each to be deleted.
    std::vector<std::string> deletions;
    for (const test::PendingRename& rename : pending)
        if (rename.Source.rfind(journals + "\\qv-", 0) == 0 && rename.Target.empty()) deletions.push_back(rename.Source);
    ASSERT_EQ(deletions.size(), 2u);
    const std::string tmp = deletions[1];
    EXPECT_EQ(deletions[0].rfind(tmp + "\\qv-", 0), 0u) << deletions[0];
    EXPECT_FALSE(FileExists(tmp + "\\journal")) << "the journal goes at once";
    DeleteFolderTree(tmp);
    const std::string text = LogText(log);
    for (const std::string& line : {"deleted at the next restart: file \"" + deletions[0] + "\"",
                                    "deleted at the next restart: folder \"" + tmp + "\"", std::string("Exit code 0")})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(UnattendedRun, ASecondSetupOfTheSameApplicationEndsWith1618) {
    WriteStandardPayload();
    ASSERT_TRUE(Launch(""));
    ASSERT_TRUE(test::WaitForWindow(pid_, "欢迎", 30000));
    HANDLE first = std::exchange(process_, nullptr);
    EXPECT_EQ(RunToEnd("/VERYSILENT /SUPPRESSMSGBOXES"), exit_code::AnotherSetupRunning);
    TerminateProcess(first, 0);
    WaitForSingleObject(first, 10000);
    CloseHandle(first);
    // The help needs no setup data and no window with the table answering.
    EXPECT_EQ(RunQuietly("/?"), exit_code::Success);
}

}  // namespace
}  // namespace qv
