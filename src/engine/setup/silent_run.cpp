#include "engine/setup/silent_run.h"

#include "engine/common/install_log.h"
#include "engine/controls/child_form.h"
#include "engine/setup/run_program.h"
#include "engine/setup/setup_dir_constants.h"
#include "engine/setup/setup_state.h"
#include "engine/setup/wizard_stage.h"
#include "engine/wizard/validate_folder.h"
#include "engine/wizard/uninstall_log_texts.h"
#include "engine/wizard/validate_group.h"

namespace qv {

namespace {

// The choices of the wizard's folder and group pages, checked as Next
// checks them; false when a check refused (its message has been given).
bool ChooseAsTheWizardWould() {
    const TWizardRun run = WizardRunOfSetupState();
    const TSetupHeaderRec& info = SetupState.SetupInfo;
    std::string folder = ProposedAppFolder(run);
    // Only a folder that the user could have typed is checked.
    if (info.Has(optOwnAppFolder) && !info.Has(optNoFolderPage)) {
        const PageCheck check = ValidateFolder(folder, run.TotalFileSize);
        if (!check.Passed) return false;
        folder = check.Text;
    }
    SetupState.ChosenAppDir = folder;
    SetupState.ChosenNoIcons = SetupState.CmdLineNoIcons;
    std::string group = ProposedGroup(run);
    if (SetupState.HasIconsToCreate && !info.Has(optNoGroupPage)) {
        const PageCheck check = ValidateGroup(group, SetupState.ChosenNoIcons);
        if (!check.Passed) return false;
        group = check.Text;
    }
    SetupState.ChosenGroup = group;
    LogLine("Folder: " + SetupState.ChosenAppDir);
    LogLine(SetupState.ChosenNoIcons ? std::string("No icons") : "Program group: " + SetupState.ChosenGroup);
    return true;
}

}  // namespace

TRunOutcome RunSilently(const TSetupStages& stages) {
    // Nothing has changed on the machine before the choices stand.
    if (!ChooseAsTheWizardWould() ||
        !CheckUninstallLogTexts(SetupState, CurrentDirConstantValues(), SetupState.ChosenNoIcons)) {
        LogLine("The choices were refused: nothing was installed");
        return TRunOutcome::FailedRolledBack;
    }
    if (!stages.CreateInstallForm) return TRunOutcome::Completed;
    TInstallResult result;
    if (SetupState.VerySilent && stages.InstallWithoutWindow) {
        result = stages.InstallWithoutWindow();
    } else {
        const std::unique_ptr<IInstallStage> install = stages.CreateInstallForm();
        if (!SetupState.VerySilent) install->Form().Show();
        result = install->RunInstallSteps();
    }
    if (result != TInstallResult::Completed) return OutcomeOfInstall(result);
    LogLine("Installation completed");
    RunRunRecords(SetupState.RunRecords);
    return TRunOutcome::Completed;
}

}  // namespace qv
