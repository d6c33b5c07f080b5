// The wizard window in this process: where every control stands, what the
// first showing proposes for each combination of options and command line,
// the focus of each page, the closing protocol with the background window,
// the group page's controls and the picture. The whole run through the
// wizard is tested on the real Setup.exe (tests/engine/setup).
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "core/text/path_strings.h"
#include "engine/common/app_forms.h"
#include "engine/common/path_tests.h"
#include "engine/wizard/wizard_form.h"
#include "testkit/scratch.h"
#include "ui_test_support.h"
#include "wizard_boxes.h"

namespace qv {
namespace {

// The wizard with its controls in reach, and its first showing run without
// showing the window (a window that is never shown costs nothing to close
// under Wine).
class TTestWizard : public TWizardForm {
public:
    using TWizardForm::TWizardForm;
    void RunFirstShow() { FirstShow(); }

    using TWizardForm::Bevel, TWizardForm::BackButton, TWizardForm::CancelButton, TWizardForm::ClickLabel,
          TWizardForm::DirEdit, TWizardForm::DirList, TWizardForm::DiskSpaceLabel, TWizardForm::FinishedLabel,
          TWizardForm::GroupEdit, TWizardForm::GroupList, TWizardForm::IconsLabel, TWizardForm::InfoAfterMemo,
          TWizardForm::InfoBeforeClickLabel, TWizardForm::InfoBeforeMemo, TWizardForm::LicenseIcon,
          TWizardForm::LicenseLabel1, TWizardForm::LicenseLabel2, TWizardForm::LicenseMemo,
          TWizardForm::NextButton, TWizardForm::NoIconsCheck, TWizardForm::NoRadio, TWizardForm::Notebook1,
          TWizardForm::Notebook2, TWizardForm::PicturePaintBox, TWizardForm::ReadyLabel,
          TWizardForm::SelectFolderLabel, TWizardForm::ShowReadmeCheck, TWizardForm::WelcomeBox,
          TWizardForm::YesRadio;
};

class WizardForm : public ::testing::Test {
protected:
    WizardForm() {
        data_.SetupInfo.AppName = "示例";
        data_.SetupInfo.AppNameVersion = "示例 2.0";
        data_.SetupInfo.DefaultFolderName = "示例程序";
        data_.SetupInfo.DefaultGroup = "示例组";
        run_.SystemDrive = "C:";
        run_.WinFolder = "C:\\windows";
        run_.ProgFilesFolder = programFiles_.path();
        run_.TotalFileSize = 1048577;
    }
    std::unique_ptr<TTestWizard> Wizard(std::uint32_t options) {
        data_.SetupInfo.Options = options;
        auto wizard = MakeOwned<TTestWizard>(run_);
        wizard->RunFirstShow();
        return wizard;
    }

    SetupData data_;
    TWizardRun run_{data_, {}, {}, {}, {}, {}, {}, false, 0, {}};
    test::ScratchFolder programFiles_{"qv 程序文件"};
};

TEST_F(WizardForm, EveryControlAtItsPlaceWithItsFixedText) {
    data_.LicenseText = "协议";
    auto w = Wizard(optOwnAppFolder);
    RECT client = w->ClientRect();
    EXPECT_EQ(client.right, 409);
    EXPECT_EQ(client.bottom, 289);
    const struct {
        TWindow* control;
        TRect place;
    } places[] = {
        {&w->Notebook1, {0, 0, 409, 257}},      {&w->PicturePaintBox, {8, 8, 119, 233}},
        {&w->ClickLabel, {136, 228, 265, 13}},  {&w->Bevel, {8, 248, 393, 8}},
        {&w->Notebook2, {128, 0, 281, 225}},    {&w->WelcomeBox, {8, 8, 265, 209}},
        {&w->SelectFolderLabel, {8, 8, 265, 29}}, {&w->DirEdit, {16, 40, 249, 20}},
        {&w->DirList, {16, 64, 249, 105}},      {&w->DiskSpaceLabel, {8, 206, 265, 13}},
        {&w->IconsLabel, {8, 8, 265, 40}},      {&w->GroupEdit, {16, 55, 249, 20}},
        {&w->GroupList, {16, 80, 249, 113}},    {&w->NoIconsCheck, {8, 200, 265, 17}},
        {&w->ReadyLabel, {8, 8, 265, 209}},     {&w->FinishedLabel, {8, 8, 265, 64}},
        {&w->ShowReadmeCheck, {8, 75, 257, 17}}, {&w->YesRadio, {8, 76, 265, 17}},
        {&w->NoRadio, {8, 100, 265, 17}},       {&w->LicenseIcon, {8, 8, 32, 32}},
        {&w->LicenseLabel1, {56, 8, 345, 30}},  {&w->LicenseMemo, {8, 48, 393, 153}},
        {&w->LicenseLabel2, {8, 208, 393, 39}}, {&w->InfoBeforeMemo, {8, 48, 393, 177}},
        {&w->InfoBeforeClickLabel, {8, 232, 393, 16}}, {&w->InfoAfterMemo, {8, 48, 393, 177}},
        {&w->BackButton, {166, 257, 75, 23}},   {&w->NextButton, {241, 257, 75, 23}},
        {&w->CancelButton, {326, 257, 75, 23}},
    };
    for (const auto& p : places) {
        const TRect r = p.control->Bounds();
        EXPECT_EQ(r.Left, p.place.Left) << p.control->Text();
        EXPECT_EQ(r.Top, p.place.Top) << p.control->Text();
        EXPECT_EQ(r.Width, p.place.Width) << p.control->Text();
        EXPECT_EQ(r.Height, p.place.Height) << p.control->Text();
    }
    EXPECT_EQ(w->GroupList.ItemHeight(), 12);
    EXPECT_EQ(w->DirList.ItemHeight(), 15);
    EXPECT_EQ(SendMessageW(w->GroupEdit.Handle(), EM_GETLIMITTEXT, 0, 0), 63);
    // The form's face and size, inherited by every control.
    LOGFONTW font{};
    GetObjectW(w->ChildFont(), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, L"宋体");
    EXPECT_EQ(font.lfHeight, -12);

    // Placeholders expanded, the space rounded up (1 MB and a byte).
    EXPECT_EQ(w->DiskSpaceLabel.Text(), "程序运行所需最小磁盘空间 1.1 MB。");
    EXPECT_EQ(w->LicenseLabel2.Text(),
              "您接受前面所列的所有许可协议吗？如果您选择<否>，设置程序将结束。想继续安装 示例, 您必须接受此协议。");
    EXPECT_EQ(w->SelectFolderLabel.Text(), "设置程序将把 示例 安装至下面的文件夹中。单击<下一步>，安装至此文件夹。");
    EXPECT_EQ(w->FinishedLabel.Text(), "设置程序已经完成 示例 的安装。\r\n\r\n按<完成>退出设置程序。");
    EXPECT_EQ(w->WelcomeBox.Text().rfind("欢迎安装\"示例\"程序。设置程序将安装\"示例 2.0\"到 您的计算机中。", 0), 0u);
    EXPECT_EQ(w->LicenseMemo.Text(), "协议");
    EXPECT_TRUE(w->ShowReadmeCheck.Checked());
    EXPECT_FALSE(w->ShowReadmeCheck.Visible());
    EXPECT_TRUE(w->YesRadio.Checked());
    EXPECT_FALSE(w->NoRadio.Checked());
    EXPECT_FALSE(w->NoIconsCheck.Visible()) << "only with optAllowNoIcons";
}

TEST_F(WizardForm, TheFirstShowingProposesFolderAndGroup) {
    // The default folder on the system drive's root, its letter in upper
    // case although the drive box shows it in lower case.
    EXPECT_EQ(Wizard(optOwnAppFolder)->DirEdit.Text(), "C:\\示例程序");
    // Under Program Files: the list moves there and proposes a sub-folder.
    auto inProgramFiles = Wizard(optOwnAppFolder | optFolderInProgFiles);
    EXPECT_EQ(inProgramFiles->DirEdit.Text(), AppendBackslash(programFiles_.path()) + "示例程序");
    EXPECT_EQ(inProgramFiles->DirList.FolderPath(), programFiles_.path());
    // A Program Files that cannot be reached still names the folder.
    run_.ProgFilesFolder = "C:\\QV no such folder 81c2";
    EXPECT_EQ(Wizard(optOwnAppFolder | optFolderInProgFiles)->DirEdit.Text(), "C:\\QV no such folder 81c2\\示例程序");
    run_.ProgFilesFolder = programFiles_.path();
    // /DIR= as typed, unless the folder page is off; the list shows the
    // folder above it, a drive's root for a folder right under it.
    run_.CmdLineDir = programFiles_.path() + "\\Sub";
    auto fromCommandLine = Wizard(optOwnAppFolder | optFolderInProgFiles);
    EXPECT_EQ(fromCommandLine->DirEdit.Text(), programFiles_.path() + "\\Sub");
    EXPECT_EQ(fromCommandLine->DirList.FolderPath(), programFiles_.path());
    run_.CmdLineDir = "C:\\QV new app 5e1d";
    auto underTheRoot = Wizard(optOwnAppFolder | optFolderInProgFiles);
    EXPECT_EQ(underTheRoot->DirList.FolderPath(), "C:\\") << "not the drive's current folder";
    EXPECT_EQ(underTheRoot->DirEdit.Text(), "C:\\QV new app 5e1d");
    EXPECT_EQ(Wizard(optOwnAppFolder | optNoFolderPage)->DirEdit.Text(), "C:\\示例程序");
    // Without a folder of its own the application goes into Windows' folder.
    EXPECT_EQ(Wizard(0)->DirEdit.Text(), "C:\\windows");

    // /GROUP= unless the group page is off.
    EXPECT_EQ(Wizard(0)->GroupEdit.Text(), "示例组");
    run_.CmdLineGroup = "命令行组";
    EXPECT_EQ(Wizard(0)->GroupEdit.Text(), "命令行组");
    EXPECT_EQ(Wizard(optNoGroupPage)->GroupEdit.Text(), "示例组");
    EXPECT_TRUE(Wizard(optAllowNoIcons)->NoIconsCheck.Visible());
}

TEST_F(WizardForm, PagesButtonsFocusAndTheWayOut) {
    data_.LicenseText = "协议";
    data_.InfoAfterText = "之后";
    run_.HasIconsToCreate = true;
    test::THostForm background(600, 400, "background");
    SetAppMainWindow(background.Handle());
    int closeAsked = 0;
    bool backgroundCloses = false;
    run_.CloseBackground = [&] {
        ++closeAsked;
        return backgroundCloses;
    };
    data_.SetupInfo.Options = optOwnAppFolder | optAllowNoIcons;
    Owned<TTestWizard> w(run_);
    background.Show();
    w.Show();
    test::Pump(100);
    EXPECT_EQ(w.Text(), "欢迎");
    EXPECT_EQ(GetFocus(), w.NextButton.Handle());
    EXPECT_EQ(GetWindow(w.Handle(), GW_OWNER), background.Handle());

    // The focus of each page, kept when the wizard is activated again.
    w.NextButtonClick();
    EXPECT_EQ(w.Text(), "许可协议");
    EXPECT_EQ(GetFocus(), w.LicenseMemo.Handle());
    w.NextButtonClick();
    EXPECT_EQ(w.CurrentPage, pgSelectFolder);
    EXPECT_EQ(GetFocus(), w.DirEdit.Handle());
    SetActiveWindow(background.Handle());
    SetActiveWindow(w.Handle());
    EXPECT_EQ(GetFocus(), w.DirEdit.Handle());
    w.CurrentPage = pgSelectGroup;
    w.UpdatePage();
    EXPECT_EQ(GetFocus(), w.GroupEdit.Handle());
    w.NoIconsCheck.SetChecked(true);
    w.NoIconsCheckClick();
    w.UpdatePage();
    EXPECT_EQ(GetFocus(), w.NoIconsCheck.Handle());
    EXPECT_FALSE(w.GroupEdit.Enabled());
    EXPECT_EQ(w.GroupEdit.Color(), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(w.GroupList.Color(), GetSysColor(COLOR_BTNFACE));
    w.NoIconsCheck.SetChecked(false);
    w.NoIconsCheckClick();
    EXPECT_EQ(w.GroupEdit.Color(), GetSysColor(COLOR_WINDOW));
    EXPECT_TRUE(w.GroupList.Enabled());

    // Cancel asks the background window; while it stays, so does the wizard.
    w.CancelButtonClick();
    EXPECT_EQ(closeAsked, 1);
    EXPECT_TRUE(w.Visible());
    EXPECT_FALSE(w.InClose);

    // Install: hidden for good, and the step message goes to the background window.
    w.CurrentPage = pgReady;
    w.UpdatePage();
    w.NextButtonClick();
    EXPECT_FALSE(w.Visible());
    EXPECT_TRUE(w.StayHidden);
    EXPECT_EQ(closeAsked, 1) << "no question on the way to installing";
    MSG step{};
    EXPECT_TRUE(PeekMessageW(&step, background.Handle(), WM_SETUPSTEP, WM_SETUPSTEP, PM_REMOVE));

    // The last pages as the background window prepares them: a restart asked,
    // the focus on the chosen answer, and nothing of the earlier pages reset.
    w.OfferRestart("为完成[name]的安装, 设置程序将重新启动您的计算机，现在想重新启动吗？");
    w.ShowFinishingPages(false);
    w.StayHidden = false;
    w.Show();
    test::Pump(100);
    EXPECT_EQ(w.Text(), "设置完成");
    EXPECT_EQ(w.FinishedLabel.Text(), "为完成示例的安装, 设置程序将重新启动您的计算机，现在想重新启动吗？");
    EXPECT_EQ(GetFocus(), w.YesRadio.Handle());
    EXPECT_TRUE(w.Choices().RestartNow);
    EXPECT_TRUE(w.BackButton.Visible()) << "back to the information after installing";
    EXPECT_FALSE(w.CancelButton.Visible());
    w.BackButtonClick();
    EXPECT_EQ(w.CurrentPage, pgInfoAfter);
    EXPECT_EQ(GetFocus(), w.InfoAfterMemo.Handle());
    w.NextButtonClick();
    EXPECT_EQ(w.CurrentPage, pgFinished);
    // Closing the finished page is the background window's decision.
    backgroundCloses = true;
    SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(closeAsked, 2);
    EXPECT_FALSE(w.Visible());
    SetAppMainWindow(nullptr);
}

TEST_F(WizardForm, ValidationKeepsThePageAndShowsTheCleanedText) {
    run_.HasIconsToCreate = true;
    auto w = Wizard(optOwnAppFolder);
    test::AnsweredBoxes boxes;
    w->CurrentPage = pgSelectFolder;
    w->DirEdit.SetText("  C:APP  ");
    w->NextButtonClick();
    EXPECT_EQ(w->CurrentPage, pgSelectFolder);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(w->DirEdit.Text(), "C:APP");
    const std::string fresh = programFiles_.path() + "\\新文件夹\\";
    w->DirEdit.SetText(fresh);
    w->NextButtonClick();
    EXPECT_EQ(w->CurrentPage, pgSelectGroup);
    EXPECT_EQ(w->DirEdit.Text(), StripBackslash(fresh));

    w->GroupEdit.SetText(" \\\\附件\\\\\\工具\\ ");
    w->NextButtonClick();
    EXPECT_EQ(w->CurrentPage, pgReady);
    EXPECT_EQ(w->GroupEdit.Text(), "附件\\工具");
    EXPECT_EQ(boxes.asked.size(), 1u);
    // With no icons the group is neither checked nor rewritten.
    w->CurrentPage = pgSelectGroup;
    w->NoIconsCheck.SetChecked(true);
    w->GroupEdit.SetText("  ");
    w->NextButtonClick();
    EXPECT_EQ(w->CurrentPage, pgReady);
    EXPECT_EQ(w->GroupEdit.Text(), "  ");

    // Install looks at what the uninstall log will hold: a link on a desktop
    // that it cannot name keeps the ready page, and nothing is installed.
    data_.SetupInfo.Options |= optUninstallable;
    data_.IconRecords = {{"{userdesktop}\\示例", "{app}\\示例.exe", "", "{app}", "", 0}};
    run_.Folders.ShellFolders[0] = "C:\\users\\한국어\\Desktop";
    w->NoIconsCheck.SetChecked(false);
    w->NextButtonClick();
    EXPECT_EQ(w->CurrentPage, pgReady);
    EXPECT_FALSE(w->StayHidden);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_NE(boxes.asked[1].Text.find("C:\\users\\한국어\\Desktop\\示例"), std::string::npos);
}

TEST_F(WizardForm, GroupEditAndListFollowEachOtherWithoutLooping) {
    auto w = Wizard(0);
    for (const char* g : {"Games", "附件", "Startup"}) w->GroupList.AddItem(g);
    w->GroupEdit.SetText("games");
    EXPECT_EQ(w->GroupList.Item(w->GroupList.ItemIndex()), "Games");
    EXPECT_EQ(w->GroupEdit.Text(), "games") << "the selection is not written back";
    w->GroupEdit.SetText("没有这个组");
    EXPECT_EQ(w->GroupList.ItemIndex(), -1);
    w->GroupList.SetItemIndex(1);
    w->GroupList.OnClick();
    EXPECT_EQ(w->GroupEdit.Text(), w->GroupList.Item(1));
    EXPECT_EQ(w->GroupList.ItemIndex(), 1);
}

TEST_F(WizardForm, ThePictureIsFramedTealWithTheBitmapInTheMiddle) {
    auto w = Wizard(0);
    // A box larger than the bitmap (117 x 231), so that the teal shows around it.
    test::PixelCanvas canvas(141, 251);
    w->PicturePaintBox.OnPaint(canvas.dc(), RECT{0, 0, 141, 251});
    const COLORREF teal = RGB(0, 128, 128);
    EXPECT_NE(canvas.Pixel(0, 0), teal) << "the frame";
    EXPECT_EQ(canvas.Pixel(1, 1), teal);
    EXPECT_EQ(canvas.Pixel(139, 249), teal);
    EXPECT_EQ(canvas.Count(RGB(255, 0, 0)), 0) << "nothing left unpainted";
    // The bitmap's corner lands at the centre minus half its size.
    Bitmap picture(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), L"WIZARDIMAGE", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    ASSERT_TRUE(picture);
    MemoryDC source(nullptr);
    SelectIn selected(source.get(), picture.get());
    const int left = 141 / 2 - 117 / 2, top = 251 / 2 - 231 / 2;
    EXPECT_EQ(canvas.Pixel(left, top), GetPixel(source.get(), 0, 0) & 0xFFFFFF);
    EXPECT_EQ(canvas.Pixel(left + 116, top + 230), GetPixel(source.get(), 116, 230) & 0xFFFFFF);
    EXPECT_EQ(canvas.Pixel(left - 1, top), teal);
    // The picture is stored run-length encoded: the system decodes it to
    // the drawing, the gradient's two ends, the box's label and the disk.
    EXPECT_EQ(canvas.Pixel(left, top), RGB(0, 64, 160));
    EXPECT_EQ(canvas.Pixel(left + 58, top + 90), RGB(200, 40, 40));
    EXPECT_EQ(canvas.Pixel(left + 30, top + 195), RGB(245, 245, 245));
    EXPECT_EQ(canvas.Pixel(left + 116, top + 230), RGB(40, 164, 240));
}

}  // namespace
}  // namespace qv
