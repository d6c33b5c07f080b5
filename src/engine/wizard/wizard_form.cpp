#include "engine/wizard/wizard_form.h"

#include "core/scope_exit.h"
#include "core/text/path_strings.h"
#include "engine/common/win_text.h"

namespace qv {

namespace {

constexpr int kClientWidth = 409;
constexpr int kClientHeight = 289;
constexpr int kButtonWidth = 75;
constexpr COLORREF kTeal = RGB(0, 128, 128);

HICON ApplicationIcon() {
    // The program's own icon, the first in its resources; Windows' generic
    // one for a build without it.
    if (HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON")) return icon;
    return LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace

TWizardForm::TWizardForm(TWizardRun& run) : run_(run) {
    const TSetupHeaderRec& info = run.Data.SetupInfo;
    textValues_ = {info.AppName, info.AppNameVersion, RequiredSpaceText(run.TotalFileSize)};

    TFormParams p;
    p.ClientWidth = kClientWidth;
    p.ClientHeight = kClientHeight;
    p.FontSpec = {"宋体", -12, false, false};
    CreateForm(p);
    // Without the resource the picture box shows its frame and the teal area.
    wizardBitmap_.reset(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), L"WIZARDIMAGE", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    CreateControls();
    if (!run.Data.LicenseText.empty()) LicenseMemo.SetLines(run.Data.LicenseText);
    if (!run.Data.InfoBeforeText.empty()) InfoBeforeMemo.SetLines(run.Data.InfoBeforeText);
    if (!run.Data.InfoAfterText.empty()) InfoAfterMemo.SetLines(run.Data.InfoAfterText);
    CentreOnOwner();
    SetFixedTexts();
}

void TWizardForm::CreateControls() {
    Notebook1.Create(*this, {0, 0, 409, 257}, 4);
    TPage& picturePage = Notebook1.Page(0);
    PicturePaintBox.Create(picturePage, {8, 8, 119, 233});
    PicturePaintBox.OnPaint = [this](HDC dc, const RECT& r) { PaintPicture(dc, r); };
    Notebook2.Create(picturePage, {128, 0, 281, 225}, 5);
    ClickLabel.Create(picturePage, {136, 228, 265, 13}, "");
    Bevel.Create(picturePage, {8, 248, 393, 8}, TBevel::bsTopLine);

    WelcomeBox.Create(Notebook2.Page(0), {8, 8, 265, 209});
    WelcomeBox.OnPaint = [this](HDC dc, const RECT& r) {
        RECT box = r;
        SetBkMode(dc, TRANSPARENT);
        const std::wstring text = Widen(welcomeText_);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_WORDBREAK | DT_NOPREFIX);
    };

    TPage& folderPage = Notebook2.Page(1);
    SelectFolderLabel.Create(folderPage, {8, 8, 265, 29}, "");
    DirEdit.Create(folderPage, {16, 40, 249, 20});
    DirList.Create(folderPage, {16, 64, 249, 105});
    DirList.SetItemHeight(15);
    DirList.OnChange = [this] { DirListChange(); };
    DriveList.Create(folderPage, {16, 176, 249, 22});
    DriveList.SetDirList(&DirList);
    DiskSpaceLabel.Create(folderPage, {8, 206, 265, 13}, "");

    TPage& groupPage = Notebook2.Page(2);
    IconsLabel.Create(groupPage, {8, 8, 265, 40}, "");
    GroupEdit.Create(groupPage, {16, 55, 249, 20}, "", 63);
    GroupEdit.OnChange = [this] { GroupEditChange(); };
    GroupList.Create(groupPage, {16, 80, 249, 113}, {true, false, 12});
    GroupList.OnClick = [this] { GroupListClick(); };
    NoIconsCheck.Create(groupPage, {8, 200, 265, 17}, "");
    NoIconsCheck.OnClick = [this] { NoIconsCheckClick(); };

    ReadyLabel.Create(Notebook2.Page(3), {8, 8, 265, 209}, "");

    TPage& finishedPage = Notebook2.Page(4);
    FinishedLabel.Create(finishedPage, {8, 8, 265, 64}, "");
    ShowReadmeCheck.Create(finishedPage, {8, 75, 257, 17}, "");
    ShowReadmeCheck.SetChecked(true);
    ShowReadmeCheck.SetVisible(false);
    YesRadio.Create(finishedPage, {8, 76, 265, 17}, "", true);
    YesRadio.SetChecked(true);
    YesRadio.SetVisible(false);
    NoRadio.Create(finishedPage, {8, 100, 265, 17}, "", false);
    NoRadio.SetVisible(false);

    const auto paintIcon = [this](HDC dc, const RECT&) { PaintIcon(dc); };
    TPage& licensePage = Notebook1.Page(1);
    LicenseIcon.Create(licensePage, {8, 8, 32, 32});
    LicenseIcon.OnPaint = paintIcon;
    LicenseLabel1.Create(licensePage, {56, 8, 345, 30}, "");
    LicenseMemo.Create(licensePage, {8, 48, 393, 153}, true, false);
    LicenseLabel2.Create(licensePage, {8, 208, 393, 39}, "");

    TPage& beforePage = Notebook1.Page(2);
    ReadmeBeforeIcon.Create(beforePage, {8, 8, 32, 32});
    ReadmeBeforeIcon.OnPaint = paintIcon;
    InfoBeforeLabel.Create(beforePage, {56, 8, 345, 30}, "");
    InfoBeforeMemo.Create(beforePage, {8, 48, 393, 177}, true, false);
    InfoBeforeClickLabel.Create(beforePage, {8, 232, 393, 16}, "");

    TPage& afterPage = Notebook1.Page(3);
    ReadmeAfterIcon.Create(afterPage, {8, 8, 32, 32});
    ReadmeAfterIcon.OnPaint = paintIcon;
    InfoAfterLabel.Create(afterPage, {56, 8, 345, 30}, "");
    InfoAfterMemo.Create(afterPage, {8, 48, 393, 177}, true, false);
    InfoAfterClickLabel.Create(afterPage, {8, 232, 393, 16}, "");

    // Back and Next touch, 10 pixels part Next from Cancel, 8 remain at the right.
    const int width = static_cast<int>(ClientRect().right);
    BackButton.Create(*this, {width - 243, 257, kButtonWidth, 23}, kBackCaption);
    BackButton.OnClick = [this] { BackButtonClick(); };
    NextButton.Create(*this, {width - 168, 257, kButtonWidth, 23}, "", true);
    NextButton.OnClick = [this] { NextButtonClick(); };
    CancelButton.Create(*this, {width - 83, 257, kButtonWidth, 23}, "取消");
    CancelButton.OnClick = [this] { CancelButtonClick(); };
    SetDefaultButton(&NextButton);
    SetCancelButton(&CancelButton);
}

void TWizardForm::SetFixedTexts() {
    const SetupData& data = run_.Data;
    LicenseLabel1.SetText(ExpandWizardText("请仔细阅读下面的许可协议。您可以使用滚动条或按PgDn键浏览此协议。"));
    LicenseLabel2.SetText(ExpandWizardText(
        "您接受前面所列的所有许可协议吗？如果您选择<否>，设置程序将结束。想继续安装 [name], 您必须接受此协议。"));
    for (TLabel* label : {&InfoBeforeLabel, &InfoAfterLabel})
        label->SetText("在执行<下一步>之前，请仔细阅读下面的重要信息");
    for (TLabel* label : {&InfoBeforeClickLabel, &InfoAfterClickLabel})
        label->SetText("如果你准备继续设置程序，请按<下一步>。");
    DiskSpaceLabel.SetText(ExpandWizardText("程序运行所需最小磁盘空间 [mb] MB。"));
    NoIconsCheck.SetText("不能建立图标");
    const bool groupPageSkipped = !run_.HasIconsToCreate || data.SetupInfo.Has(optNoGroupPage);
    ReadyLabel.SetText(ExpandWizardText(ReadyTextTemplate(data.SetupInfo.Has(optNoFolderPage), groupPageSkipped)));
    FinishedLabel.SetText(ExpandWizardText(FinishedTextTemplate(run_.HasIconsToCreate)));
    ShowReadmeCheck.SetText("是，我想看一下Readme说明文件。");
    YesRadio.SetText("是, 马上重新启动系统");
    NoRadio.SetText("不, 等一会再启动系统");
    SelectFolderLabel.SetText(ExpandWizardText("设置程序将把 [name] 安装至下面的文件夹中。单击<下一步>，安装至此文件夹。"));
    IconsLabel.SetText(
        "设置程序会把程序图标添加到列在下面的程序文件夹中。您可键入一个新的文件夹名称，或从现有的文件夹列表中选取。");
    welcomeText_ = ExpandWizardText(kWelcomeTextTemplate);
    // The painted text is the box's window text as well, for screen readers.
    WelcomeBox.SetText(welcomeText_);
}

std::string TWizardForm::ExpandWizardText(const std::string& text) const {
    return qv::ExpandWizardText(text, textValues_);
}

WizardPageFacts TWizardForm::PageFacts() const {
    const SetupData& data = run_.Data;
    WizardPageFacts f;
    f.HasLicense = !data.LicenseText.empty();
    f.HasInfoBefore = !data.InfoBeforeText.empty();
    f.HasInfoAfter = !data.InfoAfterText.empty();
    f.NoFolderPage = data.SetupInfo.Has(optNoFolderPage);
    f.OwnAppFolder = data.SetupInfo.Has(optOwnAppFolder);
    f.NoGroupPage = data.SetupInfo.Has(optNoGroupPage);
    f.HasIconsToCreate = run_.HasIconsToCreate;
    return f;
}

bool TWizardForm::PageIsEmpty(TWizardPageId page) const { return qv::PageIsEmpty(page, PageFacts()); }

void TWizardForm::UpdatePage() {
    const WizardPageLayout layout = PageLayout(CurrentPage);
    if (layout.InnerPage != kInnerPageUnchanged) Notebook2.SetPageIndex(layout.InnerPage);
    Notebook1.SetPageIndex(layout.OuterPage);

    const WizardPageButtons buttons = PageButtons(CurrentPage, !run_.Data.InfoAfterText.empty());
    BackButton.SetVisible(buttons.BackVisible);
    CancelButton.SetVisible(buttons.CancelVisible);
    BackButton.SetText(kBackCaption);
    NextButton.SetText(buttons.NextCaption);
    CancelButton.SetText(buttons.CancelCaption);
    SetText(layout.Caption);
    ClickLabel.SetText(buttons.ClickHint ? kClickHint : "");

    TWindow* focus = &NextButton;
    switch (CurrentPage) {
        case pgLicense: focus = &LicenseMemo; break;
        case pgInfoBefore: focus = &InfoBeforeMemo; break;
        case pgSelectFolder: focus = &DirEdit; break;
        case pgSelectGroup: focus = NoIconsCheck.Checked() ? static_cast<TWindow*>(&NoIconsCheck) : &GroupEdit; break;
        case pgInfoAfter: focus = &InfoAfterMemo; break;
        case pgFinished:
            if (ShowReadmeCheck.Visible()) focus = &ShowReadmeCheck;
            else if (YesRadio.Visible() && YesRadio.Checked()) focus = &YesRadio;
            else if (NoRadio.Visible() && NoRadio.Checked()) focus = &NoRadio;
            break;
        default: break;
    }
    SetActiveControl(focus);
}

TWizardChoices TWizardForm::Choices() const {
    return {DirEdit.Text(), GroupEdit.Text(), NoIconsCheck.Checked(), YesRadio.Checked(), ShowReadmeCheck.Checked()};
}

void TWizardForm::OfferRestart(const std::string& finishedTextTemplate) {
    FinishedLabel.SetText(ExpandWizardText(finishedTextTemplate));
    YesRadio.SetVisible(true);
    NoRadio.SetVisible(true);
}

void TWizardForm::OfferReadme() { ShowReadmeCheck.SetVisible(true); }

void TWizardForm::ShowFinishingPages(bool infoAfterPage) {
    CurrentPage = infoAfterPage ? pgInfoAfter : pgFinished;
    UpdatePage();
}

void TWizardForm::NextButtonClick() {
    if (CurrentPage == pgSelectFolder && !ValidateFolder()) return;
    if (CurrentPage == pgSelectGroup && !ValidateGroup()) return;
    if (CurrentPage == pgReady && !CheckUninstallLog()) return;
    if (CurrentPage == pgReady || CurrentPage == pgFinished) {
        StayHidden = true;
        InClose = true;
        const ScopeExit clear([this] { InClose = false; });
        Close();
        // Posted, so that the background window carries on once this click is done.
        PostMessageW(GetWindow(Handle(), GW_OWNER), WM_SETUPSTEP, 0, 0);
        return;
    }
    CurrentPage = NextShownPage(CurrentPage, PageFacts());
    UpdatePage();
}

void TWizardForm::BackButtonClick() {
    if (CurrentPage == pgWelcome) return;
    CurrentPage = PreviousShownPage(CurrentPage, PageFacts());
    UpdatePage();
}

void TWizardForm::CancelButtonClick() { Close(); }

bool TWizardForm::CloseQuery() {
    if (InClose) return true;
    InClose = true;
    const ScopeExit clear([this] { InClose = false; });
    return run_.CloseBackground && run_.CloseBackground();
}

void TWizardForm::PaintPicture(HDC dc, const RECT& client) {
    RECT r = client;
    DrawBevelEdge(dc, r, 5);
    InflateRect(&r, -1, -1);
    Brush teal(CreateSolidBrush(kTeal));
    FillRect(dc, &r, teal.get());
    if (!wizardBitmap_) return;
    BITMAP bm{};
    GetObjectW(wizardBitmap_.get(), sizeof bm, &bm);
    MemoryDC source(dc);
    SelectIn picture(source.get(), wizardBitmap_.get());
    BitBlt(dc, (r.left + r.right) / 2 - bm.bmWidth / 2, (r.top + r.bottom) / 2 - bm.bmHeight / 2, bm.bmWidth,
           bm.bmHeight, source.get(), 0, 0, SRCCOPY);
}

void TWizardForm::PaintIcon(HDC dc) { DrawIconEx(dc, 0, 0, ApplicationIcon(), 32, 32, 0, nullptr, DI_NORMAL); }

}  // namespace qv
