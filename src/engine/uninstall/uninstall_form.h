// TUninstallForm: the small progress window of the uninstaller, in the look
// of the setup's progress window: what is being removed, the entry just
// handled and a gauge over the entries. It has no Cancel: an application
// half removed works no more than one half installed, and the log that
// could finish the job is gone at the end. It does not close until the run
// has finished.
#pragma once

#include <cstddef>
#include <string>

#include "engine/controls/form.h"
#include "engine/controls/gauge.h"
#include "engine/controls/path_label.h"
#include "engine/controls/std_controls.h"

namespace qv {

class TUninstallForm : public TForm {
public:
    TUninstallForm(const std::string& appName, std::size_t steps);

    // After each step: the item just handled, one step further, and the
    // messages that have come meanwhile (so that the window paints).
    void Step(const std::string& item);
    void Finish() { finished_ = true; }

    TLabel StatusLabel;
    TNewPathLabel ItemLabel;
    TNewGauge ProgressGauge;

protected:
    bool CloseQuery() override { return finished_; }

private:
    bool finished_ = false;
};

}  // namespace qv
