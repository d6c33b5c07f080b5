#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/common/app_forms.h"
#include "engine/common/app_msg_box.h"
#include "testkit/boxes.h"
#include "testkit/scripted_boxes.h"

namespace qv {
namespace {

using test::ScriptedBoxes;

TEST(AppMsgBox, KindsGiveIconAndDefaultCaption) {
    ScriptedBoxes boxes(IDNO);
    EXPECT_EQ(AppMsgBox("错误", "", mbtError, MB_OK), IDNO);
    AppMsgBox("i", "", mbtInformation, MB_OK);
    AppMsgBox("q", "", mbtConfirmation, MB_YESNO | MB_DEFBUTTON2);
    AppMsgBox("c", "", mbtCriticalError, MB_OK);
    AppMsgBox("own", "我的标题", mbtCriticalError, MB_RETRYCANCEL);
    ASSERT_EQ(boxes.asked.size(), 5u);
    EXPECT_EQ(boxes.asked[0].Text, "错误");
    EXPECT_EQ(boxes.asked[0].Caption, "Error");
    EXPECT_EQ(boxes.asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(boxes.asked[0].Kind, mbtError);
    EXPECT_EQ(boxes.asked[1].Caption, "Information");
    EXPECT_EQ(boxes.asked[1].Flags, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(boxes.asked[2].Caption, "Confirm");
    EXPECT_EQ(boxes.asked[2].Flags, static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION));
    EXPECT_EQ(boxes.asked[3].Caption, "Error");
    EXPECT_EQ(boxes.asked[3].Flags, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(boxes.asked[4].Caption, "我的标题");
    EXPECT_EQ(boxes.asked[4].Flags, static_cast<UINT>(MB_RETRYCANCEL | MB_ICONSTOP));
}

TEST(AppMsgBox, FormattedTexts) {
    ScriptedBoxes boxes;
    AppMsgBoxFmt("设置程序不能创建文件夹 \"%s\"", {"C:\\x"}, "", mbtCriticalError, MB_OK);
    AppMsgBoxFmt("代码 %d，%.2d%%，%-4s|%5s|%x", {-5, 7, "ab", "cd", 255}, "", mbtError, MB_OK);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].Text, "设置程序不能创建文件夹 \"C:\\x\"");
    EXPECT_EQ(boxes.asked[1].Text, "代码 -5，07%，ab  |   cd|ff");
    EXPECT_THROW(AppMsgBoxFmt("%d", {"text"}, "", mbtError, MB_OK), EFormatError);
    EXPECT_THROW(AppMsgBoxFmt("%s %s", {"one"}, "", mbtError, MB_OK), EFormatError);
    EXPECT_EQ(boxes.asked.size(), 2u);
}

// Real top-level windows registered as the application's forms. They are
// made once and live until the process ends: under Wine without a window
// manager, hiding or destroying a shown window waits two seconds for a
// withdrawal that never comes.
class FormsAroundTheBox : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        main_ = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr);
        onTop_ = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"on top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                 100, nullptr, nullptr, nullptr, nullptr);
        disabled_ = CreateWindowExW(0, L"STATIC", L"disabled", WS_OVERLAPPEDWINDOW | WS_DISABLED, 20, 20, 200, 100,
                                    nullptr, nullptr, nullptr, nullptr);
        hiddenOnTop_ = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"hidden", WS_OVERLAPPEDWINDOW, 30, 30, 200, 100,
                                       nullptr, nullptr, nullptr, nullptr);
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, main_, nullptr, nullptr,
                                nullptr);
    }
    void SetUp() override {
        RegisterAppForm(main_);
        RegisterAppForm(onTop_, true);
        RegisterAppForm(disabled_);
        RegisterAppForm(hiddenOnTop_, true);
        SetAppMainWindow(main_);
        SetForegroundWindow(main_);
        SetFocus(edit_);
    }
    void TearDown() override {
        for (HWND w : {main_, onTop_, disabled_, hiddenOnTop_}) UnregisterAppForm(w);
    }
    static bool TopMost(HWND w) { return (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

    static inline HWND main_, onTop_, disabled_, hiddenOnTop_, edit_;
};

TEST_F(FormsAroundTheBox, DisabledAndLoweredWhileShownThenRestored) {
    ASSERT_EQ(GetFocus(), edit_);
    ASSERT_TRUE(TopMost(onTop_));
    ScriptedBoxes boxes;
    bool checked = false;
    boxes.duringBox = [&] {
        EXPECT_FALSE(IsWindowEnabled(main_));
        EXPECT_FALSE(IsWindowEnabled(onTop_));
        EXPECT_FALSE(IsWindowEnabled(hiddenOnTop_));
        EXPECT_FALSE(TopMost(onTop_));
        EXPECT_TRUE(TopMost(hiddenOnTop_));  // not visible: left as it is
        SetFocus(nullptr);
        checked = true;
    };
    AppMsgBox("x", "", mbtInformation, MB_OK);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(IsWindowEnabled(main_));
    EXPECT_TRUE(IsWindowEnabled(onTop_));
    EXPECT_TRUE(IsWindowEnabled(hiddenOnTop_));
    EXPECT_FALSE(IsWindowEnabled(disabled_));  // was disabled before: stays so
    EXPECT_TRUE(TopMost(onTop_));
    EXPECT_EQ(GetFocus(), edit_);
}

TEST_F(FormsAroundTheBox, RestoredAlsoWhenTheBoxFails) {
    SetMsgBoxAnswerer([](const MsgBoxQuestion&) -> int { throw std::runtime_error("box failed"); });
    EXPECT_THROW(AppMsgBox("x", "", mbtError, MB_OK), std::runtime_error);
    SetMsgBoxAnswerer({});
    EXPECT_TRUE(IsWindowEnabled(main_));
    EXPECT_TRUE(IsWindowEnabled(onTop_));
    EXPECT_FALSE(IsWindowEnabled(disabled_));
    EXPECT_TRUE(TopMost(onTop_));
    EXPECT_EQ(GetFocus(), edit_);
}

TEST_F(FormsAroundTheBox, TheRealBoxShowsCaptionTextAndIcon) {
    // A second thread plays the user: it reads the box and presses Yes.
    test::SeenBox seen;
    bool enabledDuringBox = true;
    std::thread user([&] {
        HWND box = test::WaitForMessageBox(GetCurrentProcessId(), 20000);
        if (!box) return;
        Sleep(100);
        seen = test::ReadMessageBox(box);
        enabledDuringBox = IsWindowEnabled(main_);
        test::PressButton(box, IDYES);
    });
    const int answer = AppMsgBox("要继续吗？", "", mbtError, MB_YESNO);
    user.join();
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(seen.Caption, "Error");
    EXPECT_EQ(seen.Text, "要继续吗？");
    EXPECT_EQ(seen.Icon, LoadIconW(nullptr, IDI_EXCLAMATION));
    EXPECT_FALSE(enabledDuringBox);
    EXPECT_TRUE(IsWindowEnabled(main_));
    EXPECT_EQ(GetFocus(), edit_);
}

}  // namespace
}  // namespace qv
