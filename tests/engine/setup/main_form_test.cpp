// The background window in this process: its painting, menu, close rules,
// steps and programs, with stand-ins for the wizard and the install window.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "core/ui/background.h"
#include "engine/common/app_forms.h"
#include "engine/common/win_text.h"
#include "engine/setup/main_form.h"
#include "engine/setup/run_program.h"
#include "engine/setup/setup_state.h"
#include "testkit/scratch.h"
#include "testkit/scripted_boxes.h"
#include "../controls/ui_test_support.h"

namespace qv {
namespace {

const char kExitQuestion[] =
    "设置没有完成。您若现在退出设置程序，程序将不被安装。\r\n\r\n您可稍后运行设置程序，完成安装。\r\n\r\n"
    "单击<是>，退出设置程序。单击<否>，继续设置程序。";

class TStandIn : public TSetupChildForm {
public:
    explicit TStandIn(const std::string& caption) {
        TFormParams p;
        p.Caption = caption;
        p.ClientWidth = 200;
        p.ClientHeight = 80;
        p.Left = 100;
        p.Top = 100;
        CreateForm(p);
    }
    ~TStandIn() override { DestroyHandle(); }
    bool CloseQuery() override {
        ++closeQueries;
        return false;  // as the install window: never closes on request
    }
    int closeQueries = 0;
};

// The wizard as the background window sees it.
struct FakeWizard : IWizardStage {
    TStandIn form{"wizard"};
    std::string dir = "D:\\Apps\\示例", group = "示例程序";
    bool noIcons = true, restartChosen = false, readmeChosen = false;
    std::string restartTemplate;
    bool readmeOffered = false;
    int finishingShown = 0;
    bool infoAfter = false;

    TSetupChildForm& Form() override { return form; }
    std::string DirEditText() const override { return dir; }
    std::string GroupEditText() const override { return group; }
    bool NoIconsChecked() const override { return noIcons; }
    void OfferRestart(const std::string& t) override { restartTemplate = t; }
    void OfferReadme() override { readmeOffered = true; }
    void ShowFinishingPages(bool infoAfterPage) override {
        ++finishingShown;
        infoAfter = infoAfterPage;
    }
    bool RestartChosen() const override { return restartChosen; }
    bool ReadmeChosen() const override { return readmeChosen; }
};

struct FakeInstall : IInstallStage {
    TStandIn form{"install"};
    std::function<TInstallResult()> run;
    TSetupChildForm& Form() override { return form; }
    TInstallResult RunInstallSteps() override { return run ? run() : TInstallResult::Completed; }
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        SetupState.SetupInfo.AppName = "QV 示例程序";
        SetupState.SetupInfo.AppFooterText = "QV Setup";
        SetupState.SetupInfo.BackgroundColor = 0x00FF0000;  // pure blue
    }
    void TearDown() override {
        // Drain a WM_QUIT that a closed window posted.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        ResetSetupState();
    }
    // Stages that record what the background window asks of them.
    TSetupStages Stages() {
        TSetupStages s;
        s.CreateWizard = [this] {
            auto w = std::make_unique<FakeWizard>();
            wizard = w.get();
            ++wizardsCreated;
            return w;
        };
        s.CreateInstallForm = [this] {
            auto i = std::make_unique<FakeInstall>();
            install = i.get();
            i->run = [this] {
                installRan = true;
                if (whileInstalling) whileInstalling();
                if (installResult == TInstallResult::Completed)
                    PostMessageW(SetupState.MainForm->Handle(), WM_SETUPSTEP, 0, 0);
                return installResult;
            };
            return i;
        };
        return s;
    }
    static bool QuitPosted() {
        MSG msg;
        return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
    }
    FakeWizard* wizard = nullptr;
    FakeInstall* install = nullptr;
    int wizardsCreated = 0;
    bool installRan = false;
    TInstallResult installResult = TInstallResult::Completed;
    std::function<void()> whileInstalling;  // runs inside the install sequence
};

TEST_F(MainFormTest, GradientPaletteAndBands) {
    TMainForm form;
    ASSERT_NE(form.BackgroundPalette(), nullptr);
    PALETTEENTRY entries[64];
    ASSERT_EQ(GetPaletteEntries(form.BackgroundPalette(), 0, 64, entries), 64u);
    EXPECT_EQ(entries[0].peBlue, 255);
    EXPECT_EQ(entries[1].peBlue, 251);   // 251/255 of full blue
    EXPECT_EQ(entries[62].peBlue, 7);    // 7/255
    for (const auto& e : entries) {
        EXPECT_EQ(e.peRed, 0);
        EXPECT_EQ(e.peGreen, 0);
        EXPECT_EQ(e.peFlags, 0);
    }

    test::PixelCanvas canvas(640, 480);
    form.PaintBackground(canvas.dc(), 640, 480);
    for (int band : {0, 1, 2, 30, 61, 62}) {
        const BandSpan rows = BandRows(480, band);
        const COLORREF expected = RGB(0, 0, 255 - 4 * band);  // 255 x (255 - 4i) / 255
        EXPECT_EQ(canvas.Pixel(320, rows.Top), expected) << "band " << band;
        EXPECT_EQ(canvas.Pixel(320, rows.Bottom - 1), expected) << "band " << band;
    }
    // The band boundaries: MulDiv(480, i, 63), band 62 reaching the bottom.
    EXPECT_EQ(BandRows(480, 1).Top, 8);
    EXPECT_EQ(canvas.Pixel(320, 7), RGB(0, 0, 255));
    EXPECT_EQ(canvas.Pixel(320, 8), RGB(0, 0, 251));
    EXPECT_EQ(canvas.Pixel(320, 479), RGB(0, 0, 7));
}

TEST_F(MainFormTest, TitleAndFooterArePaintedTwiceInBlackAndWhite) {
    TMainForm form;
    test::PixelCanvas canvas(640, 480);
    form.PaintBackground(canvas.dc(), 640, 480);
    auto count = [&](int x0, int y0, int x1, int y1, COLORREF c) {
        int n = 0;
        for (int y = y0; y < y1; ++y) n += canvas.CountInRow(y, c, x0, x1);
        return n;
    };
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    EXPECT_GT(count(0, 0, 400, 70, white), 50);
    EXPECT_GT(count(0, 0, 400, 70, black), 50);
    // The shadow is offset by 4 pixels: the title's first column is white, at x = 8.
    EXPECT_EQ(count(0, 0, 8, 70, white), 0);
    EXPECT_GT(count(540, 450, 640, 480, white), 5);
    EXPECT_GT(count(540, 450, 640, 480, black), 5);
    EXPECT_EQ(count(635, 450, 640, 480, white), 0);  // right-aligned at width - 6

    // No name: the caption ends in "安装 - " and nothing is written.
    SetupState.SetupInfo.AppName.clear();
    SetupState.SetupInfo.AppFooterText.clear();
    TMainForm nameless;
    EXPECT_EQ(nameless.Text(), "安装 - ");
    test::PixelCanvas empty(640, 480);
    nameless.PaintBackground(empty.dc(), 640, 480);
    EXPECT_EQ(empty.Count(white), 0);
    EXPECT_EQ(empty.Count(black), 0);
}

TEST_F(MainFormTest, PlainBackgroundIsOneColourWithoutPalette) {
    SetupState.SetupInfo.Options = optPlainBackground;
    SetupState.SetupInfo.BackgroundColor = static_cast<std::int32_t>(0x80000000u | COLOR_BTNFACE);  // a system colour
    SetupState.SetupInfo.AppName.clear();
    SetupState.SetupInfo.AppFooterText.clear();
    TMainForm form;
    EXPECT_EQ(form.BackgroundPalette(), nullptr);
    test::PixelCanvas canvas(320, 240);
    form.PaintBackground(canvas.dc(), 320, 240);
    EXPECT_EQ(canvas.Count(GetSysColor(COLOR_BTNFACE)), 320 * 240);
}

TEST_F(MainFormTest, CoversTheScreenWithCaptionAndAboutItem) {
    TMainForm form;
    EXPECT_EQ(form.Text(), "安装 - QV 示例程序");
    EXPECT_EQ(AppMainWindow(), form.Handle());
    EXPECT_EQ(SetupState.MainForm, &form);
    const TRect r = form.Bounds();
    EXPECT_EQ(r.Left, 0);
    EXPECT_EQ(r.Top, 0);
    EXPECT_EQ(r.Width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.Height, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(SendMessageW(form.Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB);

    HMENU menu = GetSystemMenu(form.Handle(), FALSE);
    const int n = GetMenuItemCount(menu);
    ASSERT_GE(n, 2);
    EXPECT_EQ(GetMenuItemID(menu, n - 1), kAboutCommandId);
    wchar_t text[64] = {};
    GetMenuStringW(menu, n - 1, text, 64, MF_BYPOSITION);
    EXPECT_EQ(Narrow(text), "&A关于设置程序...");
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE;
    GetMenuItemInfoW(menu, n - 2, TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);
    EXPECT_EQ(info.wID, kAboutSeparatorId);

    test::ScriptedBoxes boxes;
    SendMessageW(form.Handle(), WM_SYSCOMMAND, kAboutCommandId, 0);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text.rfind("设置程序版本 1.0\r\n\r\n", 0), 0u);
    EXPECT_EQ(std::count(boxes.asked[0].Text.begin(), boxes.asked[0].Text.end(), '\n'), 6);
    EXPECT_EQ(boxes.asked[0].Caption, "关于设置程序");
    EXPECT_EQ(boxes.asked[0].Kind, mbtInformation);
    EXPECT_EQ(boxes.asked[0].Flags & 0xF, static_cast<UINT>(MB_OK));
    // Not while programs are being started.
    form.RunningPrograms = true;
    SendMessageW(form.Handle(), WM_SYSCOMMAND, kAboutCommandId, 0);
    EXPECT_EQ(boxes.asked.size(), 1u);
}

TEST_F(MainFormTest, CloseRulesAtEachStep) {
    TMainForm form(Stages());
    {
        // Before and during the wizard: the exit question decides.
        test::ScriptedBoxes no(IDNO);
        SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
        ASSERT_EQ(no.asked.size(), 1u);
        EXPECT_EQ(no.asked[0].Text, kExitQuestion);
        EXPECT_EQ(no.asked[0].Caption, "退出设置程序");
        EXPECT_EQ(no.asked[0].Kind, mbtConfirmation);
        EXPECT_EQ(no.asked[0].Flags & (MB_TYPEMASK | MB_DEFMASK), static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
        EXPECT_FALSE(form.MainClosed);
        EXPECT_FALSE(QuitPosted());
    }
    {
        // While programs are started: refused without a question.
        test::ScriptedBoxes yes(IDYES);
        form.RunningPrograms = true;
        SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
        form.RunningPrograms = false;
        EXPECT_TRUE(yes.asked.empty());
        EXPECT_FALSE(form.MainClosed);
    }
    {
        // Installing: the install window is asked instead.
        test::ScriptedBoxes yes(IDYES);
        form.StepNumber = 1;
        whileInstalling = [&] {
            ASSERT_EQ(form.StepNumber, 2);
            SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
            EXPECT_TRUE(yes.asked.empty());
            EXPECT_EQ(install->form.closeQueries, 1);
            EXPECT_FALSE(form.MainClosed);
        };
        SendMessageW(form.Handle(), WM_SETUPSTEP, 0, 0);
        whileInstalling = nullptr;
        ASSERT_TRUE(installRan);
        test::Pump(50);  // the install window's step message: on to the last pages
    }
    {
        // On the last pages: closes at once.
        test::ScriptedBoxes none;
        form.StepNumber = 3;
        SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(none.asked.empty());
        EXPECT_TRUE(form.MainClosed);
        EXPECT_EQ(form.Outcome(), TRunOutcome::Completed);
        EXPECT_TRUE(QuitPosted());
    }
}

TEST_F(MainFormTest, YesToTheExitQuestionEndsTheLoop) {
    TMainForm form;
    test::ScriptedBoxes yes(IDYES);
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(form.MainClosed);
    EXPECT_EQ(form.Outcome(), TRunOutcome::UserCancelled);
    EXPECT_FALSE(form.Visible());
    EXPECT_TRUE(QuitPosted());
}

TEST_F(MainFormTest, StepsRunTheStagesInOrder) {
    SetupState.FileRecords.resize(2);
    SetupState.FileRecords[1].FileFlags = ffReadme;
    SetupState.FileRecords[1].DestPath = "C:\\示例\\readme.txt";
    SetupState.InfoAfterText = "after";
    TMainForm form(Stages());
    form.Show();
    test::Pump(100);
    // The first activation opened the wizard; later ones do nothing.
    ASSERT_EQ(wizardsCreated, 1);
    EXPECT_EQ(form.StepNumber, 1);
    EXPECT_TRUE(wizard->form.Visible());
    SendMessageW(form.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(wizardsCreated, 1);

    // Install: the wizard's choices are taken, the install window runs.
    wizard->form.StayHidden = true;
    wizard->form.Hide();
    SendMessageW(form.Handle(), WM_SETUPSTEP, 0, 0);
    EXPECT_EQ(SetupState.ChosenAppDir, "D:\\Apps\\示例");
    EXPECT_EQ(SetupState.ChosenGroup, "示例程序");
    EXPECT_TRUE(SetupState.ChosenNoIcons);
    EXPECT_TRUE(installRan);
    EXPECT_EQ(form.StepNumber, 2);
    // The install window's message: freed, then the last pages.
    test::Pump(100);
    EXPECT_EQ(form.InstallForm(), nullptr);
    EXPECT_EQ(form.StepNumber, 3);
    EXPECT_TRUE(wizard->readmeOffered);
    EXPECT_EQ(SetupState.ReadmeFileName, "C:\\示例\\readme.txt");
    EXPECT_TRUE(wizard->restartTemplate.empty());
    EXPECT_EQ(wizard->finishingShown, 1);
    EXPECT_TRUE(wizard->infoAfter);
    EXPECT_FALSE(wizard->form.StayHidden);
    EXPECT_TRUE(wizard->form.Visible());

    // Finish with the readme chosen: it cannot be opened, which is said.
    wizard->readmeChosen = true;
    test::ScriptedBoxes boxes;
    SendMessageW(form.Handle(), WM_SETUPSTEP, 0, 0);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, "打开Readme说明文件时出错。");
    EXPECT_EQ(boxes.asked[0].Kind, mbtCriticalError);
    // Step 4 closes the window without a question.
    EXPECT_EQ(form.StepNumber, 4);
    EXPECT_TRUE(form.MainClosed);
    EXPECT_EQ(form.Outcome(), TRunOutcome::Completed);
}

TEST_F(MainFormTest, RestartQuestionReplacesTheReadmeOffer) {
    SetupState.FileRecords.resize(1);
    SetupState.FileRecords[0].FileFlags = ffReadme;
    SetupState.FileRecords[0].DestPath = "C:\\readme.txt";
    SetupState.RestartNeeded = true;
    TMainForm form(Stages());
    form.Show();
    test::Pump(100);
    ASSERT_NE(wizard, nullptr);
    SendMessageW(form.Handle(), WM_SETUPSTEP, 0, 0);
    test::Pump(100);
    ASSERT_EQ(form.StepNumber, 3);
    EXPECT_EQ(wizard->restartTemplate, "为完成[name]的安装, 设置程序将重新启动您的计算机，现在想重新启动吗？");
    EXPECT_FALSE(wizard->readmeOffered);
    EXPECT_TRUE(SetupState.ReadmeFileName.empty());
    EXPECT_FALSE(wizard->infoAfter);
    wizard->restartChosen = true;
    wizard->readmeChosen = true;
    test::ScriptedBoxes boxes;
    SendMessageW(form.Handle(), WM_SETUPSTEP, 0, 0);
    EXPECT_TRUE(SetupState.RestartChosen);
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(MainFormTest, MinimisingHidesTheChildFormsAndRestoringKeepsStayHidden) {
    TMainForm form(Stages());
    form.Show();
    test::Pump(100);
    ASSERT_NE(wizard, nullptr);
    TStandIn progress("progress");
    EXPECT_EQ(GetWindow(progress.Handle(), GW_OWNER), form.Handle());
    progress.Show();
    wizard->form.StayHidden = true;
    wizard->form.Hide();

    ShowWindow(form.Handle(), SW_MINIMIZE);
    test::Pump(100);
    EXPECT_TRUE(form.LastIconic);
    EXPECT_FALSE(progress.Visible());
    EXPECT_FALSE(wizard->form.Visible());

    ShowWindow(form.Handle(), SW_RESTORE);
    test::Pump(100);
    EXPECT_FALSE(form.LastIconic);
    EXPECT_TRUE(progress.Visible());
    EXPECT_FALSE(wizard->form.Visible());

    // Without StayHidden the wizard comes back as well.
    wizard->form.StayHidden = false;
    ShowWindow(form.Handle(), SW_MINIMIZE);
    test::Pump(100);
    ShowWindow(form.Handle(), SW_RESTORE);
    test::Pump(100);
    EXPECT_TRUE(wizard->form.Visible());
    EXPECT_TRUE(progress.Visible());
}

TEST_F(MainFormTest, AnErrorOfOneProgramIsShownAndTheNextStillRuns) {
    test::ScratchFolder scratch("qv run 展开");
    const std::string marker = scratch.file("marker.exe"), out = scratch.file("out.txt");
    ASSERT_TRUE(CopyFileW(Widen(test::ProgramFolder() + "\\run_marker.exe").c_str(), Widen(marker).c_str(), FALSE));
    SetupState.RunRecords.resize(2);
    SetupState.RunRecords[0].Filename = "{group}\\x.exe";  // no group was chosen: the expansion fails
    SetupState.RunRecords[1].Filename = marker;
    SetupState.RunRecords[1].Parameters = "\"" + out + "\"";
    TMainForm form(Stages());
    form.Show();
    test::Pump(100);
    wizard->group.clear();
    test::ScriptedBoxes boxes;
    SendMessageW(form.Handle(), WM_SETUPSTEP, 0, 0);
    test::Pump(200);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    EXPECT_NE(boxes.asked[0].Text.find("C100"), std::string::npos) << boxes.asked[0].Text;
    EXPECT_FALSE(test::ReadFileBytes(out).empty()) << "the program after the failed record ran";
    EXPECT_FALSE(form.RunningPrograms);
    EXPECT_FALSE(form.MainClosed);
    // The installation itself completed: the last pages follow, and the run
    // stays completed however the window is closed now.
    EXPECT_EQ(form.StepNumber, 3);
    EXPECT_EQ(wizard->finishingShown, 1);
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form.Outcome(), TRunOutcome::Completed);
}

TEST_F(MainFormTest, AnInstallationCancelledOrFailedEndsTheRunWithoutAQuestion) {
    for (const auto& [result, outcome] : {std::pair{TInstallResult::Cancelled, TRunOutcome::UserCancelled},
                                          std::pair{TInstallResult::FailedRolledBack, TRunOutcome::FailedRolledBack}}) {
        installResult = result;
        TMainForm form(Stages());
        form.Show();
        test::Pump(100);
        ASSERT_NE(wizard, nullptr);
        test::ScriptedBoxes none;
        SendMessageW(form.Handle(), WM_SETUPSTEP, 0, 0);
        EXPECT_TRUE(installRan);
        EXPECT_EQ(form.InstallForm(), nullptr);
        EXPECT_TRUE(form.MainClosed);
        EXPECT_FALSE(form.Visible());
        EXPECT_TRUE(QuitPosted());
        EXPECT_TRUE(none.asked.empty());
        EXPECT_EQ(form.Outcome(), outcome);
        test::Pump(50);
        EXPECT_EQ(form.StepNumber, 2);  // no last pages
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
}

TEST(RunOutcome, ExitCodes) {
    // Only a completed installation can need or start a restart.
    EXPECT_EQ(ExitCodeOf(FinalOutcome(TRunOutcome::Completed, false, false)), 0u);
    EXPECT_EQ(ExitCodeOf(FinalOutcome(TRunOutcome::Completed, false, true)), 3010u);
    EXPECT_EQ(ExitCodeOf(FinalOutcome(TRunOutcome::Completed, true, true)), 1641u);
    EXPECT_EQ(ExitCodeOf(FinalOutcome(TRunOutcome::UserCancelled, false, true)), 1602u);
    EXPECT_EQ(ExitCodeOf(FinalOutcome(TRunOutcome::FailedRolledBack, false, true)), 1603u);
}

TEST(RunProgram, CommandLines) {
    EXPECT_EQ(RunProgramCommandLine("C:\\APP\\X.EXE", ""), "C:\\APP\\X.EXE ");
    EXPECT_EQ(RunProgramCommandLine("C:\\My App\\x.exe", "/s"), "\"C:\\My App\\x.exe\" /s");
    EXPECT_EQ(RunProgramCommandLine("\"C:\\My App\\x.exe\"", ""), "\"C:\\My App\\x.exe\" ");
}

TEST_F(MainFormTest, ProgramsRunAfterInstallingAndAMissingOneIsReported) {
    test::ScratchFolder scratch("qv run 程序");
    const std::string folder = scratch.path() + "\\with space";
    CreateDirectoryW(Widen(folder).c_str(), nullptr);
    const std::string marker = folder + "\\run marker.exe";
    ASSERT_TRUE(CopyFileW(Widen(test::ProgramFolder() + "\\run_marker.exe").c_str(), Widen(marker).c_str(), FALSE));
    const std::string missing = scratch.path() + "\\missing.exe";
    const std::string out1 = scratch.file("out1.txt"), out2 = scratch.file("out2.txt");
    SetupState.RunRecords.resize(3);
    SetupState.RunRecords[0].Filename = missing;
    SetupState.RunRecords[1].Filename = marker;
    SetupState.RunRecords[1].Parameters = "\"" + out1 + "\" a b";
    SetupState.RunRecords[2].Filename = marker;
    SetupState.RunRecords[2].Parameters = "\"" + out2 + "\"";
    SetupState.RunRecords[2].Flags = rnNoWait;

    TMainForm form(Stages());
    form.Show();
    test::Pump(100);
    ASSERT_EQ(form.StepNumber, 1);  // the wizard is open
    test::ScriptedBoxes boxes;
    bool runningWhileWaiting = false;
    boxes.duringBox = [&] { runningWhileWaiting = form.RunningPrograms; };
    SendMessageW(form.Handle(), WM_SETUPSTEP, 0, 0);  // starts installing
    test::Pump(200);
    ASSERT_EQ(form.StepNumber, 3);
    EXPECT_FALSE(form.RunningPrograms);
    EXPECT_TRUE(runningWhileWaiting);

    ASSERT_EQ(boxes.asked.size(), 1u);
    // The path holds spaces: it is quoted, and a blank follows even without parameters.
    const std::string head = "不能运行文件：\r\n\"" + missing + "\" \r\n\r\n错误 #2: ";
    EXPECT_EQ(boxes.asked[0].Text.rfind(head, 0), 0u) << boxes.asked[0].Text;
    EXPECT_GT(boxes.asked[0].Text.size(), head.size());  // the system's wording follows
    EXPECT_EQ(boxes.asked[0].Caption, "Error");          // no caption of its own
    EXPECT_EQ(boxes.asked[0].Kind, mbtCriticalError);
    // The next program ran (and was waited for), with its name quoted.
    const auto written = test::ReadFileBytes(out1);
    EXPECT_EQ(std::string(written.begin(), written.end()), "\"" + marker + "\" \"" + out1 + "\" a b");
    // The one not waited for finishes on its own.
    for (int i = 0; i < 100 && GetFileAttributesW(Widen(out2).c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    EXPECT_NE(GetFileAttributesW(Widen(out2).c_str()), INVALID_FILE_ATTRIBUTES);
    Sleep(200);  // let it close the file before the folder goes
}

}  // namespace
}  // namespace qv
