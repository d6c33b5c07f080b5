#include "engine/setup/wizard_stage.h"

#include "engine/setup/main_form.h"
#include "engine/setup/setup_dir_constants.h"
#include "engine/setup/setup_state.h"
#include "engine/wizard/wizard_form.h"

namespace qv {

namespace {

// {commonprograms} among the shell folders of the state.
constexpr std::size_t kCommonProgramsFolder = 6;

bool CloseBackgroundWindow() {
    TMainForm* main = SetupState.MainForm;
    if (!main) return true;
    main->Close();  // asks the exit question while the wizard is open
    return main->MainClosed;
}

class TWizardStage final : public IWizardStage {
public:
    TWizardStage()
        : run_{SetupState,
               SetupState.SystemDrive,
               SetupState.WinFolder,
               SetupState.ProgFilesFolder,
               SetupState.ShellFolderPaths[kCommonProgramsFolder],
               SetupState.CmdLineDir,
               SetupState.CmdLineGroup,
               SetupState.HasIconsToCreate,
               static_cast<std::uint64_t>(SetupState.TotalFileSize),
               CloseBackgroundWindow,
               SetupState.CmdLineNoIcons,
               CurrentDirConstantValues()},
          form_(run_) {}

    TSetupChildForm& Form() override { return form_; }
    std::string DirEditText() const override { return form_.DirEdit.Text(); }
    std::string GroupEditText() const override { return form_.GroupEdit.Text(); }
    bool NoIconsChecked() const override { return form_.NoIconsCheck.Checked(); }

    void OfferRestart(const std::string& finishedTextTemplate) override {
        form_.FinishedLabel.SetText(form_.ExpandWizardText(finishedTextTemplate));
        form_.YesRadio.SetVisible(true);
        form_.NoRadio.SetVisible(true);
    }
    void OfferReadme() override { form_.ShowReadmeCheck.SetVisible(true); }
    void ShowFinishingPages(bool infoAfterPage) override {
        form_.CurrentPage = infoAfterPage ? pgInfoAfter : pgFinished;
        form_.UpdatePage();
    }
    bool RestartChosen() const override { return form_.YesRadio.Checked(); }
    bool ReadmeChosen() const override { return form_.ShowReadmeCheck.Checked(); }

private:
    TWizardRun run_;
    Owned<TWizardForm> form_;
};

}  // namespace

std::unique_ptr<IWizardStage> CreateWizardStage() { return std::make_unique<TWizardStage>(); }

}  // namespace qv
