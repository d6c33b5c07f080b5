#include "engine/setup/main_form.h"

#include <shellapi.h>

#include <vector>

#include "core/scope_exit.h"
#include "core/ui/background.h"
#include "engine/common/app_forms.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/win_text.h"
#include "engine/controls/message_loop.h"
#include "engine/common/confirm_exit.h"
#include "engine/setup/run_program.h"
#include "engine/setup/setup_dir_constants.h"
#include "engine/setup/setup_state.h"

namespace qv {

namespace {
// Our own lines of the about box, after the version line.
const char kAboutText[] =
    "设置程序版本 %s\r\n\r\n"
    "QV Setup 安装引擎，由 QV Setup 开发组编写。\r\n\r\n"
    "主页：https://qvsetup.org/\r\n\r\n"
    "电子邮件：setup@qvsetup.org";

HWND OwnerOf(HWND w) { return reinterpret_cast<HWND>(GetWindowLongPtrW(w, GWLP_HWNDPARENT)); }

struct OwnedSearch {
    HWND owner, found;
};
BOOL CALLBACK FindOwned(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<OwnedSearch*>(lp);
    if (OwnerOf(w) != s->owner) return TRUE;
    s->found = w;
    return FALSE;
}

// The first top-level window owned by `owner`.
HWND FirstOwnedWindow(HWND owner) {
    OwnedSearch s{owner, nullptr};
    EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

struct ChildFormsVisibility {
    HWND owner;
    bool show;
};
BOOL CALLBACK SetChildFormVisible(HWND w, LPARAM lp) {
    auto* c = reinterpret_cast<ChildFormsVisibility*>(lp);
    if (OwnerOf(w) != c->owner) return TRUE;
    if (TSetupChildForm* form = TSetupChildForm::FromWindow(w))
        ShowWindow(w, c->show && !form->StayHidden ? SW_SHOW : SW_HIDE);
    return TRUE;
}
}  // namespace

COLORREF ResolveColor(std::int32_t color) {
    // A negative colour names a system colour by its low byte.
    // Any other value is used whole: ScaleColor keeps its fourth byte too.
    if (color < 0) return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color);
}

TMainForm::TMainForm(TSetupStages stages) : stages_(std::move(stages)) {
    TFormParams p;
    p.Caption = "安装 - " + SetupState.SetupInfo.AppName;
    p.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    CreateForm(p);
    // Bounds: the whole screen; the window is shown maximised.
    MoveWindow(Handle(), 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), FALSE);
    SetAppMainWindow(Handle());
    SetupState.MainForm = this;

    HMENU menu = GetSystemMenu(Handle(), FALSE);
    AppendMenuW(menu, MF_SEPARATOR, kAboutSeparatorId, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommandId, Widen("&A关于设置程序...").c_str());

    color_ = ResolveColor(SetupState.SetupInfo.BackgroundColor);
    if (!SetupState.SetupInfo.Has(optPlainBackground)) {
        std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + kBackgroundBands * sizeof(PALETTEENTRY));
        auto* lp = reinterpret_cast<LOGPALETTE*>(buffer.data());
        lp->palVersion = 0x300;
        lp->palNumEntries = kBackgroundBands;
        for (int i = 0; i < kBackgroundBands; ++i) {
            const COLORREF c = BandColor(color_, i);
            lp->palPalEntry[i] = {GetRValue(c), GetGValue(c), GetBValue(c), 0};
        }
        palette_.reset(CreatePalette(lp));
    }
    titleFont_ = CreateUiFont({"Arial", PointsToHeight(29), true, true});
    footerFont_ = CreateUiFont({"Arial", PointsToHeight(8), false, false});
}

TMainForm::~TMainForm() {
    if (SetupState.MainForm == this) SetupState.MainForm = nullptr;
}

void TMainForm::Show() {
    ShowWindow(Handle(), SW_SHOWMAXIMIZED);
    UpdateWindow(Handle());
}

void TMainForm::PaintBackground(HDC dc, int w, int h) {
    PaletteIn pal(dc, palette_.get());
    if (palette_) RealizePalette(dc);
    if (SetupState.SetupInfo.Has(optPlainBackground)) {
        Brush brush(CreateSolidBrush(color_));
        RECT r{0, 0, w, h};
        FillRect(dc, &r, brush.get());
    } else {
        for (int i = 0; i < kBackgroundBands; ++i) {
            const BandSpan rows = BandRows(h, i);
            // Palette-relative, so that the bands use the realised palette.
            Brush brush(CreateSolidBrush(0x02000000 | BandColor(color_, i)));
            RECT r{0, rows.Top, w, rows.Bottom};
            FillRect(dc, &r, brush.get());
        }
    }
    SetBkMode(dc, TRANSPARENT);
    {
        SelectIn font(dc, titleFont_.get());
        SetTextAlign(dc, TA_LEFT | TA_TOP);
        const std::wstring name = Widen(SetupState.SetupInfo.AppName);
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutW(dc, 12, 12, name.c_str(), static_cast<int>(name.size()));
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutW(dc, 8, 8, name.c_str(), static_cast<int>(name.size()));
    }
    {
        SelectIn font(dc, footerFont_.get());
        SetTextAlign(dc, TA_RIGHT | TA_BOTTOM);
        const std::wstring footer = Widen(SetupState.SetupInfo.AppFooterText);
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutW(dc, w - 5, h - 5, footer.c_str(), static_cast<int>(footer.size()));
        SetTextColor(dc, RGB(255, 255, 255));
        TextOutW(dc, w - 6, h - 6, footer.c_str(), static_cast<int>(footer.size()));
    }
}

void TMainForm::SetChildFormsVisible(bool show) {
    ChildFormsVisibility ctx{Handle(), show};
    EnumWindows(SetChildFormVisible, reinterpret_cast<LPARAM>(&ctx));
}

void TMainForm::ShowAboutBox() {
    AppMsgBoxFmt(kAboutText, {"1.0"}, "关于设置程序", mbtInformation, MB_OK);
}

bool TMainForm::CloseQuery() {
    if (RunningPrograms) return false;
    if (StepNumber == 2 && installForm_) {
        // The install window asks its own question.
        installForm_->Form().Close();
        return false;
    }
    if (StepNumber >= 3) return true;
    return ConfirmExitSetup();
}

TRunOutcome TMainForm::Outcome() const {
    if (installOutcome_ != TRunOutcome::Completed) return installOutcome_;
    // The last pages come only after a completed installation.
    const bool leftBeforeInstalling = MainClosed && closedAtStep_ < 3 && !installCompleted_;
    return leftBeforeInstalling ? TRunOutcome::UserCancelled : TRunOutcome::Completed;
}

void TMainForm::DoClose() {
    MainClosed = true;
    closedAtStep_ = StepNumber;
    // Closing the background window ends the message loop and the run.
    Hide();
    PostQuitMessage(0);
}

void TMainForm::RestoreApplication() {
    if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
}

void TMainForm::RunPrograms() {
    RunningPrograms = true;
    const ScopeExit clear([this] { RunningPrograms = false; });
    RunRunRecords(SetupState.RunRecords);
}

void TMainForm::FinishStep() {
    switch (StepNumber) {
        case 1:
            if (wizard_) {
                SetupState.ChosenAppDir = wizard_->DirEditText();
                SetupState.ChosenGroup = wizard_->GroupEditText();
                SetupState.ChosenNoIcons = wizard_->NoIconsChecked();
            }
            break;
        case 2:
            installCompleted_ = true;
            installForm_.reset();
            if (!SetupState.RunRecords.empty()) {
                // Whatever the programs do, the installation has completed
                // and the last pages follow.
                RunPrograms();
                SetForegroundWindow(Handle());
            }
            break;
        case 3:
            if (SetupState.RestartNeeded) {
                SetupState.RestartChosen = wizard_ && wizard_->RestartChosen();
            } else if (!SetupState.ReadmeFileName.empty() && wizard_ && wizard_->ReadmeChosen()) {
                const auto result = reinterpret_cast<INT_PTR>(
                    ShellExecuteW(Handle(), nullptr, Widen(SetupState.ReadmeFileName).c_str(), nullptr, nullptr, SW_SHOW));
                if (result <= 32) AppMsgBox("打开Readme说明文件时出错。", "", mbtCriticalError, MB_OK);
            }
            break;
        default:
            break;
    }
}

void TMainForm::StartStep() {
    switch (StepNumber) {
        case 1:
            RestoreApplication();
            if (stages_.CreateWizard) {
                wizard_ = stages_.CreateWizard();
                wizard_->Form().Show();
            }
            break;
        case 2:
            RestoreApplication();
            Repaint();
            if (stages_.CreateInstallForm) {
                installForm_ = stages_.CreateInstallForm();
                installForm_->Form().Show();
                const TInstallResult result = installForm_->RunInstallSteps();
                if (result != TInstallResult::Completed) EndRunAfterInstall(OutcomeOfInstall(result));
            }
            break;
        case 3:
            RestoreApplication();
            Repaint();
            if (SetupState.RestartNeeded) {
                if (wizard_) wizard_->OfferRestart("为完成[name]的安装, 设置程序将重新启动您的计算机，现在想重新启动吗？");
            } else {
                for (const TFileRec& file : SetupState.FileRecords) {
                    if (!(file.FileFlags & ffReadme)) continue;
                    if (wizard_) wizard_->OfferReadme();
                    SetupState.ReadmeFileName = ExpandDirConstants(file.DestPath);
                    break;
                }
            }
            if (wizard_) {
                wizard_->ShowFinishingPages(!SetupState.InfoAfterText.empty());
                wizard_->Form().StayHidden = false;
                wizard_->Form().Show();
            }
            break;
        case 4:
            Close();
            break;
        default:
            break;
    }
}

void TMainForm::EndRunAfterInstall(TRunOutcome outcome) {
    // The installation has been rolled back: the program ends without
    // another question.
    installOutcome_ = outcome;
    installForm_.reset();
    MainClosed = true;
    Hide();
    PostQuitMessage(0);
}

void TMainForm::Step() {
    FinishStep();
    ++StepNumber;
    StartStep();
}

void TMainForm::FormActivate() {
    if (activatedOnce_) return;
    // Marked before the step runs: a dialog of the first step that hands
    // the activation back must not start the wizard a second time.
    activatedOnce_ = true;
    StepNumber = 0;
    SendMessageW(Handle(), WM_SETUPSTEP, 0, 0);
}

void TMainForm::FormKeyDown() {
    if (HWND owned = FirstOwnedWindow(Handle())) BringWindowToTop(owned);
}

LRESULT TMainForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SETUPSTEP:
            Step();
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFFF) == kAboutCommandId && !RunningPrograms) {
                ShowAboutBox();
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            return 0;  // painting covers everything
        case WM_PAINT: {
            PaintDC dc(Handle());
            const RECT rc = ClientRect();
            PaintBackground(dc.get(), rc.right, rc.bottom);
            return 0;
        }
        case WM_SIZE:
            Invalidate();
            if ((wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) && LastIconic) {
                LastIconic = false;
                SetChildFormsVisible(true);
            }
            break;
        case WM_WINDOWPOSCHANGED: {
            const bool iconic = IsIconic(Handle()) != FALSE;
            if (iconic != LastIconic) {
                LastIconic = iconic;
                SetChildFormsVisible(!iconic && IsWindowVisible(Handle()));
            }
            break;  // never consumed
        }
        case WM_ACTIVATEAPP:
            if (wParam && palette_) Invalidate();
            break;
        case WM_GETDLGCODE:
            return TForm::WndProc(msg, wParam, lParam) | DLGC_WANTTAB;
        case WM_KEYDOWN:
            FormKeyDown();
            return 0;  // the key is swallowed
        case QM_GETPALETTE:
            return reinterpret_cast<LRESULT>(palette_.get());
        case WM_QUERYNEWPALETTE:
            if (palette_) {
                WindowDC dc(Handle());
                PaletteIn sel(dc.get(), palette_.get());
                if (RealizePalette(dc.get())) Invalidate();
                return TRUE;
            }
            break;
        case WM_PALETTECHANGED:
            if (palette_ && reinterpret_cast<HWND>(wParam) != Handle()) {
                WindowDC dc(Handle());
                PaletteIn sel(dc.get(), palette_.get());
                RealizePalette(dc.get());
                Invalidate();
                return 0;
            }
            break;
        case WM_DESTROY:
            if (AppMainWindow() == Handle()) SetAppMainWindow(nullptr);
            break;
        default:
            break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace qv

namespace qv {

TRunOutcome RunMainWindow(TSetupStages stages) {
    Owned<TMainForm> form(std::move(stages));
    form.Show();
    RunMessageLoop();
    return form.Outcome();
}

}  // namespace qv
