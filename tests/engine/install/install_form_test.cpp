// The progress window in this process: its layout, a gauge whose units pass
// 2 GiB, and the close question that turns into a cancel at the next pump.
#include <gtest/gtest.h>

#include <limits>

#include "core/errors.h"
#include "engine/install/install_form.h"
#include "testkit/scripted_boxes.h"

namespace qv {
namespace {

struct FormRun {
    SetupData data;
    std::vector<std::string> filesAtEnd, dirsAtEnd;
    bool restartNeeded = false;
    TInstallRun run{data, {}, "", "", 0, false, false, true, filesAtEnd, dirsAtEnd, restartNeeded};
};

TRect ClientBounds(const TWindow& control) { return control.Bounds(); }

// The progress window with its controls in reach.
class TTestInstallForm : public TInstallForm {
public:
    using TInstallForm::TInstallForm;
    using TInstallForm::CancelButton, TInstallForm::FilenameLabel, TInstallForm::ProgressGauge,
          TInstallForm::StatusLabel;
};

TEST(InstallForm, LayoutTextsAndTheUndoLogsName) {
    FormRun r;
    r.data.SetupInfo.AppName = "示例程序";
    r.data.FileRecords.resize(2);
    r.data.FileRecords[0].CompressedSize = 1500;
    r.data.FileRecords[1].CompressedSize = 2500;
    r.data.IconRecords.resize(2);
    r.data.RegistryRecords.resize(3);  // no INI entries: no 1000 for them
    Owned<TTestInstallForm> form(r.run);
    EXPECT_EQ(form.Text(), "设置");
    const RECT client = form.ClientRect();
    EXPECT_EQ(client.right, 313);
    EXPECT_EQ(client.bottom, 113);
    const struct {
        const TWindow& control;
        TRect expected;
    } controls[] = {
        {form.StatusLabel, {8, 8, 297, 16}},
        {form.FilenameLabel, {8, 24, 297, 16}},
        {form.ProgressGauge, {8, 50, 297, 21}},
        {form.CancelButton, {120, 81, 73, 23}},
    };
    for (const auto& c : controls) {
        const TRect b = ClientBounds(c.control);
        EXPECT_EQ(b.Left, c.expected.Left);
        EXPECT_EQ(b.Top, c.expected.Top);
        EXPECT_EQ(b.Width, c.expected.Width);
        EXPECT_EQ(b.Height, c.expected.Height);
    }
    EXPECT_EQ(form.CancelButton.Text(), "取消");
    EXPECT_EQ(form.ProgressGauge.MaxValue(), 1500 + 2500 + 2 * 1000 + 1000);
    EXPECT_EQ(form.UndoLog.AppName, "示例程序");
    EXPECT_TRUE(form.UndoLog.AdminInstall);

    form.ShowStepText("复制文件 ...");
    EXPECT_EQ(form.StatusLabel.Text(), "复制文件 ...");
    form.ShowFilename("C:\\示例\\a.exe");
    EXPECT_EQ(form.FilenameLabel.Text(), "C:\\示例\\a.exe");
}

TEST(InstallForm, AGaugePast2GiBShowsTheTruePartAndTheCloseQuestionCancelsAtTheNextPump) {
    FormRun r;
    constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();
    r.data.FileRecords.resize(3);
    for (TFileRec& f : r.data.FileRecords) f.CompressedSize = kLargest;
    r.data.IniRecords.resize(1);
    Owned<TTestInstallForm> form(r.run);
    const std::int64_t total = 3 * std::int64_t{kLargest} + 1000;
    EXPECT_GT(form.ProgressGauge.MaxValue(), 0);
    form.SetPosition(total / 2);
    EXPECT_EQ(form.Position(), total / 2);
    const double shown = double(form.ProgressGauge.Progress()) / form.ProgressGauge.MaxValue();
    EXPECT_NEAR(shown, 0.5, 1e-6);
    form.Advance(total);  // never past the end
    EXPECT_EQ(form.ProgressGauge.Progress(), form.ProgressGauge.MaxValue());

    // Closing asks the exit question and never closes while running; No goes on.
    form.Show();
    {
        test::ScriptedBoxes no(IDNO);
        SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
        ASSERT_EQ(no.asked.size(), 1u);
        EXPECT_EQ(no.asked[0].Caption, "退出设置程序");
        EXPECT_TRUE(form.Visible());
        EXPECT_NO_THROW(form.PumpMessagesCheckCancel());
    }
    {
        // Yes, through the Cancel button: the next pump raises the silent abort.
        test::ScriptedBoxes yes(IDYES);
        SendMessageW(form.CancelButton.Handle(), BM_CLICK, 0, 0);
        ASSERT_EQ(yes.asked.size(), 1u);
        EXPECT_TRUE(form.CancelRequested);
        EXPECT_TRUE(form.Visible());
        EXPECT_THROW(form.PumpMessagesCheckCancel(), EAbort);
        // Asked once: a second close does not ask again.
        SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
        EXPECT_EQ(yes.asked.size(), 1u);
    }
}

}  // namespace
}  // namespace qv
