// The stages that the background window runs one after the other: the
// wizard and the install window. Each arrives with its own window; the
// background window knows them only through these interfaces, so that a
// stage plugs in without changing how the steps are driven.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/install/install_result.h"

namespace qv {

class TSetupChildForm;

// The wizard, as the background window reads and prepares it.
class IWizardStage {
public:
    virtual ~IWizardStage() = default;
    virtual TSetupChildForm& Form() = 0;

    // Read when the wizard has ended with Install.
    virtual std::string DirEditText() const = 0;
    virtual std::string GroupEditText() const = 0;
    virtual bool NoIconsChecked() const = 0;

    // Preparing the last pages after a successful installation.
    // Windows must restart: the finished page asks, with this text
    // ("[name]" and the like still to expand) and the Yes/No buttons.
    virtual void OfferRestart(const std::string& finishedTextTemplate) = 0;
    // A readme file was installed: the finished page offers to show it.
    virtual void OfferReadme() = 0;
    // Shows the information-after page when there is one, else the finished page.
    virtual void ShowFinishingPages(bool infoAfterPage) = 0;

    // Read when the wizard has ended with Finish.
    virtual bool RestartChosen() const = 0;  // the Yes button of the restart question
    virtual bool ReadmeChosen() const = 0;   // the check box of the readme offer
};

// The install window with its install sequence.
class IInstallStage {
public:
    virtual ~IInstallStage() = default;
    virtual TSetupChildForm& Form() = 0;
    // Runs the whole sequence; on success the window posts the step message
    // to the background window. On failure or cancel the changes are rolled
    // back before it returns, and the background window ends the run.
    virtual TInstallResult RunInstallSteps() = 0;
};

struct TSetupStages {
    std::function<std::unique_ptr<IWizardStage>()> CreateWizard;
    std::function<std::unique_ptr<IInstallStage>()> CreateInstallForm;
    // A run that shows nothing installs without the install window; empty:
    // it uses CreateInstallForm's stage, unshown.
    std::function<TInstallResult()> InstallWithoutWindow{};
};

// The stages that Setup.exe runs; a stage not built yet is empty, and its
// step then does nothing.
TSetupStages DefaultSetupStages();

}  // namespace qv
