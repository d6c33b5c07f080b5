// TInstallForm: the small progress window of the installation, a view of
// its install sequence (install_sequence.h). It shows the step and the file
// in progress and one gauge over the whole installation, and lets the user
// cancel between pieces of work; the sequence rolls every recorded change
// back when a step fails or the user cancels.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/controls/child_form.h"
#include "engine/controls/gauge.h"
#include "engine/controls/path_label.h"
#include "engine/controls/std_controls.h"
#include "engine/install/install_context.h"
#include "engine/install/install_result.h"
#include "engine/install/install_sequence.h"
#include "engine/undo/undo_changes.h"

namespace qv {

// The gauge's units: compressed bytes of the files, 1000 per icon, 1000
// for the INI step and 1000 for the registry step.
std::int64_t InstallGaugeMaximum(const SetupData& data);

class TInstallForm : public TSetupChildForm, public IInstallProgress {
public:
    // FormCreate: the window (hidden until shown), centred on the background
    // window, the gauge's maximum, the undo log with the application's name.
    explicit TInstallForm(TInstallRun& run);

    // Runs the whole sequence. On success the window posts the step message
    // to its owner (the background window) and may close; on a failure or a
    // cancel everything recorded is rolled back before it returns.
    TInstallResult RunInstallSteps();

    bool Finished = false;
    bool CancelRequested = false;

private:
    // What the window shows; declared before the undo log that is its.
    TInstallSequence sequence_;

public:
    TUndoChanges& UndoLog = sequence_.UndoLog;

    // IInstallProgress.
    void ShowStepText(const std::string& text) override;
    void ShowFilename(const std::string& path) override;
    std::int64_t Position() const override { return position_; }
    void SetPosition(std::int64_t position) override;
    void PumpMessagesCheckCancel() override;

protected:
    bool CloseQuery() override;  // FormCloseQuery

    // The controls, the form's own: the run sees only the sequence's result.
    TLabel StatusLabel;
    TNewPathLabel FilenameLabel;
    TNewGauge ProgressGauge;
    TButton CancelButton;

private:
    std::int64_t maximum_ = 0;
    std::int64_t position_ = 0;
    // Units per step of the gauge, so that its 32-bit range holds any sum.
    std::int64_t unitsPerStep_ = 1;
    // The thousandths of the way the gauge shows now.
    std::int64_t drawnPermille_ = 0;
};

}  // namespace qv
