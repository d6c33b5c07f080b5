#include "engine/uninstall/uninstall_form.h"

#include <algorithm>
#include <limits>

#include "engine/common/format_text.h"
#include "engine/controls/message_loop.h"

namespace qv {

TUninstallForm::TUninstallForm(const std::string& appName, std::size_t steps) {
    TFormParams p;
    p.Caption = "反安装";
    p.ClientWidth = 313;
    p.ClientHeight = 81;
    p.CenterOnScreen = true;
    p.FontSpec = {"宋体", -12, false, false};
    CreateForm(p);

    StatusLabel.Create(*this, {8, 8, 297, 16}, FormatText("正在删除“%s”，请稍候...", {appName}),
                       TLabel::Options{false, false});
    ItemLabel.Create(*this, {8, 24, 297, 16});
    ProgressGauge.Create(*this, {8, 50, 297, 21});
    ProgressGauge.SetFont({"MS Sans Serif", -11, true, false});
    ProgressGauge.SetMinValue(0);
    ProgressGauge.SetMaxValue(static_cast<std::int32_t>(
        std::clamp<std::size_t>(steps, 1, std::numeric_limits<std::int32_t>::max())));
    ProgressGauge.SetProgress(0);
}

void TUninstallForm::Step(const std::string& item) {
    ItemLabel.SetText(item);
    ItemLabel.Repaint();
    ProgressGauge.SetProgress(ProgressGauge.Progress() + 1);
    ProgressGauge.Repaint();
    ProcessMessages();
}

}  // namespace qv
