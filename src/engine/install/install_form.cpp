#include "engine/install/install_form.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "core/errors.h"
#include "engine/common/app_forms.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/confirm_exit.h"
#include "engine/common/fault_injection.h"
#include "engine/common/install_log.h"
#include "engine/common/log_text.h"
#include "engine/common/unattended.h"
#include "engine/controls/app_errors.h"
#include "engine/controls/message_loop.h"
#include "engine/install/create_folder_path.h"
#include "engine/install/file_install.h"
#include "engine/install/ini_entries.h"
#include "engine/install/program_icons.h"
#include "engine/install/registry_entries.h"
#include "engine/install/remove_at_end_folders.h"
#include "engine/install/uninstall_key.h"
#include "engine/install/uninstall_log_file.h"
#include "engine/setupdata/new_disk_form.h"

namespace qv {

namespace {

constexpr int kClientWidth = 313;
constexpr int kClientHeight = 113;

}  // namespace

std::int64_t InstallGaugeMaximum(const SetupData& data) {
    std::int64_t sum = 0;
    for (const TFileRec& file : data.FileRecords) sum += std::max<std::int32_t>(file.CompressedSize, 0);
    sum += 1000 * static_cast<std::int64_t>(data.IconRecords.size());
    if (!data.IniRecords.empty()) sum += 1000;
    if (!data.RegistryRecords.empty()) sum += 1000;
    return sum;
}

TInstallForm::TInstallForm(TInstallRun& run) : sequence_(run, *this, CancelRequested) {
    TFormParams p;
    p.Caption = "设置";
    p.ClientWidth = kClientWidth;
    p.ClientHeight = kClientHeight;
    p.FontSpec = {"宋体", -12, false, false};
    CreateForm(p);
    // The outer size is known only now.
    CentreOnOwner();

    StatusLabel.Create(*this, {8, 8, 297, 16}, "");
    FilenameLabel.Create(*this, {8, 24, 297, 16});
    ProgressGauge.Create(*this, {8, 50, 297, 21});
    ProgressGauge.SetFont({"MS Sans Serif", -11, true, false});
    CancelButton.Create(*this, {120, 81, 73, 23}, "取消");
    CancelButton.OnClick = [this] { Close(); };
    SetCancelButton(&CancelButton);

    // The gauge is 32 bits wide; a sum past that is shown in larger steps,
    // so that the percentage stays true.
    maximum_ = InstallGaugeMaximum(run.Data);
    constexpr std::int64_t kGaugeRange = std::numeric_limits<std::int32_t>::max();
    unitsPerStep_ = maximum_ / kGaugeRange + 1;
    ProgressGauge.SetMinValue(0);
    ProgressGauge.SetMaxValue(static_cast<std::int32_t>(maximum_ / unitsPerStep_));
    ProgressGauge.SetProgress(0);

}

void TInstallForm::ShowStepText(const std::string& text) {
    StatusLabel.SetText(text);
    StatusLabel.Repaint();
}

void TInstallForm::ShowFilename(const std::string& path) {
    FilenameLabel.SetText(path);
    FilenameLabel.Repaint();
}

void TInstallForm::SetPosition(std::int64_t position) {
    position_ = std::clamp<std::int64_t>(position, 0, maximum_);
    ProgressGauge.SetProgress(static_cast<std::int32_t>(position_ / unitsPerStep_));
    // Only the gauge, and only when it looks different: its bar is a few
    // hundred pixels wide and its text a whole percentage, so a thousandth
    // of the way is finer than anything it can show.
    const std::int64_t drawn = maximum_ > 0 ? position_ * 1000 / maximum_ : 0;
    if (drawn == drawnPermille_) return;
    drawnPermille_ = drawn;
    ProgressGauge.Repaint();
}

void TInstallForm::PumpMessagesCheckCancel() { PumpInstallMessages(CancelRequested); }

bool TInstallForm::CloseQuery() {
    if (Finished) return true;
    // Never closes while running: Yes makes the running step stop at its
    // next pump, and the sequence rolls back.
    if (!CancelRequested && ConfirmExitSetup()) CancelRequested = true;
    return false;
}

TInstallResult TInstallForm::RunInstallSteps() {
    const TInstallResult result = sequence_.Run();
    if (result != TInstallResult::Completed) return result;
    Finished = true;
    Close();
    if (HWND owner = GetWindow(Handle(), GW_OWNER)) PostMessageW(owner, WM_SETUPSTEP, 0, 0);
    return result;
}

}  // namespace qv
