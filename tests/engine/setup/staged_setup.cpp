// Setup.exe's whole run with stand-in stages, for the tests of its exit
// codes and of whole installations: the wizard goes straight on to
// installing into the folder of /DIR= (with icons in the group of /GROUP=
// when it is given), and the installation ends as the
// variable QV_TEST_INSTALL says: "complete", "cancel" or "fail" (as a
// sequence does after its rollback), or "real": the real install window.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/controls/child_form.h"
#include "engine/setup/install_stage.h"
#include "engine/setup/main_form.h"
#include "engine/setup/run_setup.h"
#include "engine/setup/setup_state.h"

namespace qv {
namespace {

void PostStep() { PostMessageW(SetupState.MainForm->Handle(), WM_SETUPSTEP, 0, 0); }

class TStandInForm : public TSetupChildForm {
public:
    explicit TStandInForm(const std::string& caption) {
        TFormParams p;
        p.Caption = caption;
        p.ClientWidth = 200;
        p.ClientHeight = 60;
        CreateForm(p);
    }
};

struct StraightOnWizard : IWizardStage {
    TStandInForm form{"wizard"};
    StraightOnWizard() { PostStep(); }
    TSetupChildForm& Form() override { return form; }
    std::string DirEditText() const override {
        return SetupState.CmdLineDir.empty() ? "C:\\QV Test" : SetupState.CmdLineDir;
    }
    std::string GroupEditText() const override {
        return SetupState.CmdLineGroup.empty() ? "QV Test" : SetupState.CmdLineGroup;
    }
    // Icons only when /GROUP= names their group.
    bool NoIconsChecked() const override { return SetupState.CmdLineGroup.empty(); }
    void OfferRestart(const std::string&) override {}
    void OfferReadme() override {}
    void ShowFinishingPages(bool) override { PostStep(); }  // Finish at once
    bool RestartChosen() const override { return false; }
    bool ReadmeChosen() const override { return false; }
};

struct ScriptedInstall : IInstallStage {
    TStandInForm form{"install"};
    TSetupChildForm& Form() override { return form; }
    TInstallResult RunInstallSteps() override {
        const char* how = std::getenv("QV_TEST_INSTALL");
        const std::string result = how ? how : "";
        if (result == "cancel") return TInstallResult::Cancelled;
        if (result == "fail") return TInstallResult::FailedRolledBack;
        PostStep();
        return TInstallResult::Completed;
    }
};

}  // namespace
}  // namespace qv

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    qv::TSetupStages stages;
    stages.CreateWizard = [] { return std::make_unique<qv::StraightOnWizard>(); };
    const char* how = std::getenv("QV_TEST_INSTALL");
    if (how && std::string(how) == "real") stages.CreateInstallForm = qv::CreateInstallStage;
    else stages.CreateInstallForm = [] { return std::make_unique<qv::ScriptedInstall>(); };
    return static_cast<int>(qv::RunSetup(std::move(stages)));
}
