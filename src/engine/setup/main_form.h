// TMainForm: the background window. It covers the screen with a gradient
// (or a plain colour) and the application's name, and drives the run: each
// stage ends by sending it the step message, which takes the results of the
// stage that ended and starts the next one (the wizard, the installation,
// the programs to run and the last pages, the end). It also owns the exit
// question, the about box of its system menu and the hiding of the setup's
// windows while the application is minimised.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/controls/child_form.h"
#include "engine/controls/form.h"
#include "engine/controls/gdi.h"
#include "engine/setup/run_outcome.h"
#include "engine/setup/setup_stages.h"

namespace qv {

// System menu items of the about box.
constexpr UINT kAboutSeparatorId = 9998;
constexpr UINT kAboutCommandId = 9999;

class TMainForm : public TForm {
public:
    // FormCreate: the window covers the screen (hidden until Show).
    explicit TMainForm(TSetupStages stages = DefaultSetupStages());
    ~TMainForm() override;

    // Shows the window maximised; its first activation starts the wizard.
    void Show();

    // 0 before the wizard, 1 wizard, 2 installing, 3 last pages, 4 closing.
    std::uint8_t StepNumber = 0;
    bool MainClosed = false;
    bool LastIconic = false;
    bool RunningPrograms = false;
    HPALETTE BackgroundPalette() const { return palette_.get(); }

    // How the run went so far: completed once the installation has
    // completed (whatever happens after); cancelled when the user closed the
    // window before that; or what the install window reported.
    TRunOutcome Outcome() const;

    IWizardStage* Wizard() const { return wizard_.get(); }
    IInstallStage* InstallForm() const { return installForm_.get(); }

    // Paints the background into dc for a client area of w x h pixels.
    void PaintBackground(HDC dc, int w, int h);
    // Shows or hides every setup child form of this window (the stay-hidden ones stay hidden).
    void SetChildFormsVisible(bool show);
    // The about box of the system menu.
    void ShowAboutBox();

    bool WantsDialogKeys() const override { return false; }

protected:
    bool CloseQuery() override;    // FormCloseQuery
    void DoClose() override;       // FormClose
    void FormActivate() override;  // the first activation starts the wizard
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Step();
    void FinishStep();
    void StartStep();
    void RunPrograms();
    void RestoreApplication();
    void FormKeyDown();
    void EndRunAfterInstall(TRunOutcome outcome);

    TSetupStages stages_;
    std::unique_ptr<IWizardStage> wizard_;
    std::unique_ptr<IInstallStage> installForm_;
    Palette palette_;
    COLORREF color_ = 0;
    Font titleFont_;
    Font footerFont_;
    bool activatedOnce_ = false;
    int closedAtStep_ = -1;
    bool installCompleted_ = false;
    // Set when the install window reported a failure or a cancel.
    TRunOutcome installOutcome_ = TRunOutcome::Completed;
};

// The background colour as RGB: a system colour is replaced by its current value.
COLORREF ResolveColor(std::int32_t color);

}  // namespace qv

namespace qv {

// The run between start-up and the end: creates the background window with
// these stages, shows it and runs the message loop until it closes.
TRunOutcome RunMainWindow(TSetupStages stages = DefaultSetupStages());

}  // namespace qv
