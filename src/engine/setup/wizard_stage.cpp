#include "engine/setup/wizard_stage.h"

#include <utility>

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
    TWizardStage() : run_(WizardRunOfSetupState(CloseBackgroundWindow)), form_(run_) {}

    TSetupChildForm& Form() override { return form_; }
    std::string DirEditText() const override { return form_.Choices().AppDir; }
    std::string GroupEditText() const override { return form_.Choices().Group; }
    bool NoIconsChecked() const override { return form_.Choices().NoIcons; }

    void OfferRestart(const std::string& finishedTextTemplate) override { form_.OfferRestart(finishedTextTemplate); }
    void OfferReadme() override { form_.OfferReadme(); }
    void ShowFinishingPages(bool infoAfterPage) override { form_.ShowFinishingPages(infoAfterPage); }
    bool RestartChosen() const override { return form_.Choices().RestartNow; }
    bool ReadmeChosen() const override { return form_.Choices().ShowReadme; }

private:
    TWizardRun run_;
    Owned<TWizardForm> form_;
};

}  // namespace

TWizardRun WizardRunOfSetupState(std::function<bool()> closeBackground) {
    return {SetupState,
            SetupState.SystemDrive,
            SetupState.WinFolder,
            SetupState.ProgFilesFolder,
            SetupState.ShellFolderPaths[kCommonProgramsFolder],
            SetupState.CmdLineDir,
            SetupState.CmdLineGroup,
            SetupState.HasIconsToCreate,
            static_cast<std::uint64_t>(SetupState.TotalFileSize),
            std::move(closeBackground),
            SetupState.CmdLineNoIcons,
            CurrentDirConstantValues()};
}

std::unique_ptr<IWizardStage> CreateWizardStage() { return std::make_unique<TWizardStage>(); }

}  // namespace qv
