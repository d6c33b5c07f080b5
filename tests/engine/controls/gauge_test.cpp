// The gauge and the bevel, checked on the pixels they paint.
#include <gtest/gtest.h>

#include "engine/controls/bevel.h"
#include "engine/controls/gauge.h"
#include "ui_test_support.h"

namespace qv {
namespace {

using test::PixelCanvas;

const COLORREF kNavy = RGB(0, 0, 128);
const COLORREF kWhite = RGB(255, 255, 255);

class GaugeTest : public ::testing::Test {
protected:
    void SetUp() override {
        gauge.Create(host, {8, 50, 297, 21});
        gauge.SetFont({"MS Sans Serif", -11, true, false});
        host.Show();
    }
    // Paints the gauge into a fresh canvas of its size.
    std::unique_ptr<PixelCanvas> Paint() {
        const RECT rc = gauge.ClientRect();
        auto canvas = std::make_unique<PixelCanvas>(rc.right, rc.bottom);
        gauge.PaintTo(canvas->dc());
        return canvas;
    }
    test::THostForm host;
    TNewGauge gauge;
};

TEST_F(GaugeTest, HalfFullFills147Of293PixelsAndWritesInBothColours) {
    gauge.SetProgress(50);
    gauge.SetShowText(false);
    auto plain = Paint();
    // Inner area: x 2..294, y 2..18. 293 * 50 / 100 = 146.5 rounds to 147.
    for (int y = 2; y < 19; ++y) {
        EXPECT_EQ(plain->CountInRow(y, kNavy, 2, 295), 147) << "row " << y;
        EXPECT_EQ(plain->CountInRow(y, kWhite, 2, 295), 146) << "row " << y;
    }
    EXPECT_EQ(plain->Pixel(2 + 146, 10), kNavy);
    EXPECT_EQ(plain->Pixel(2 + 147, 10), kWhite);
    // The sunken frame: shadow outside, dark shadow inside, at the top left.
    EXPECT_EQ(plain->Pixel(0, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(plain->Pixel(1, 1), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(plain->Pixel(296, 20), GetSysColor(COLOR_3DHILIGHT));

    gauge.SetShowText(true);
    auto text = Paint();
    // "50 %" straddles the middle: light letters on the navy part, dark
    // ones on the white part (smoothed edges may blend the two colours).
    int lightOnFilled = 0, darkOnEmpty = 0;
    for (int y = 2; y < 19; ++y) {
        lightOnFilled += 147 - text->CountInRow(y, kNavy, 2, 149);
        darkOnEmpty += 146 - text->CountInRow(y, kWhite, 149, 295);
    }
    EXPECT_GT(lightOnFilled, 10);
    EXPECT_GT(darkOnEmpty, 10);
    // The text is centred on the whole inner area, not on one part.
    int firstText = -1, lastText = -1;
    for (int x = 2; x < 295; ++x) {
        bool ink = false;
        for (int y = 2; y < 19; ++y) {
            const COLORREF plainColour = x < 149 ? kNavy : kWhite;
            if (text->Pixel(x, y) != plainColour) ink = true;
        }
        if (ink && firstText < 0) firstText = x;
        if (ink) lastText = x;
    }
    ASSERT_GT(firstText, 0);
    EXPECT_NEAR((firstText + lastText) / 2.0, 148.5, 3.0);
    // Far from the text the parts keep their plain colours.
    EXPECT_EQ(text->Pixel(5, 10), kNavy);
    EXPECT_EQ(text->Pixel(290, 10), kWhite);
}

TEST_F(GaugeTest, TheWindowTextIsThePercentageShown) {
    EXPECT_EQ(gauge.Text(), "0 %");
    gauge.SetProgress(37);
    EXPECT_EQ(gauge.Text(), "37 %");
    gauge.SetShowText(false);
    EXPECT_EQ(gauge.Text(), "");
}

TEST_F(GaugeTest, ProgressIsClampedAndAnEmptyRangeShowsAnEmptyBar) {
    gauge.SetShowText(false);
    gauge.SetProgress(150);
    EXPECT_EQ(gauge.Progress(), 100);
    EXPECT_EQ(Paint()->CountInRow(10, kNavy, 2, 295), 293);
    gauge.SetProgress(-20);
    EXPECT_EQ(gauge.Progress(), 0);
    EXPECT_EQ(Paint()->CountInRow(10, kNavy, 2, 295), 0);

    // MaxValue equal to MinValue is accepted: "0 %" and nothing filled.
    gauge.SetProgress(40);
    gauge.SetMaxValue(0);
    EXPECT_EQ(gauge.MaxValue(), 0);
    EXPECT_EQ(gauge.Progress(), 0);
    gauge.SetProgress(5);
    EXPECT_EQ(gauge.Progress(), 0);
    auto empty = Paint();
    for (int y = 2; y < 19; ++y) EXPECT_EQ(empty->CountInRow(y, kWhite, 2, 295), 293);
    EXPECT_EQ(GaugePercentText({0, 0, 0}), "0 %");
}

TEST_F(GaugeTest, OutOfRangeLimitsRaiseAndKeepTheOldValues) {
    gauge.SetProgress(30);
    try {
        gauge.SetMaxValue(-1);
        FAIL() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Value must be between 1 and 2147483647");
    }
    try {
        gauge.SetMinValue(101);
        FAIL() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Value must be between -2147483647 and 99");
    }
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 30);
    // Raising MinValue pulls Progress up; lowering MaxValue pulls it down.
    gauge.SetMinValue(40);
    EXPECT_EQ(gauge.Progress(), 40);
    gauge.SetMaxValue(40);
    EXPECT_EQ(gauge.Progress(), 40);
    EXPECT_EQ(gauge.MaxValue(), 40);
}

TEST_F(GaugeTest, RepaintsOnlyWhenAValueChanges) {
    gauge.SetProgress(10);
    UpdateWindow(gauge.Handle());
    RECT r;
    gauge.SetProgress(10);
    gauge.SetForeColor(kNavy);
    gauge.SetShowText(true);
    gauge.SetProgress(500);  // clamped to 100: a change
    EXPECT_TRUE(GetUpdateRect(gauge.Handle(), &r, FALSE));
    UpdateWindow(gauge.Handle());
    gauge.SetProgress(100);  // the same stored value
    gauge.SetMaxValue(100);
    gauge.SetBackgroundColor(kWhite);
    EXPECT_FALSE(GetUpdateRect(gauge.Handle(), &r, FALSE));
}

TEST_F(GaugeTest, AGaugeFourPixelsHighDrawsOnlyItsFrame) {
    gauge.SetBounds({8, 50, 60, 4});
    gauge.SetProgress(100);
    auto canvas = Paint();
    EXPECT_EQ(canvas->Count(kNavy), 0);
    // Five pixels high leaves one inner row, which is filled.
    gauge.SetBounds({8, 50, 60, 5});
    gauge.SetShowText(false);
    auto five = Paint();
    EXPECT_EQ(five->CountInRow(2, kNavy), 56);
}

TEST(Bevel, SixStylesDrawTheirEdges) {
    const RECT box{0, 0, 10, 10};
    struct Expect {
        int style;
        COLORREF topLeft;
        COLORREF inner;  // at (1, 1); red where the style draws one pixel only
    };
    const COLORREF red = RGB(255, 0, 0);
    const Expect cases[] = {
        {0, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DHILIGHT)},
        {1, GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DDKSHADOW)},
        {2, GetSysColor(COLOR_3DHILIGHT), GetSysColor(COLOR_3DLIGHT)},
        {3, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DSHADOW)},
        {4, GetSysColor(COLOR_3DHILIGHT), red},
        {5, GetSysColor(COLOR_3DSHADOW), red},
        {128 + 5, GetSysColor(COLOR_3DSHADOW), red},  // taken modulo 128
    };
    for (const auto& c : cases) {
        PixelCanvas canvas(10, 10, red);
        DrawBevelEdge(canvas.dc(), box, c.style);
        EXPECT_EQ(canvas.Pixel(0, 0), c.topLeft) << "style " << c.style;
        EXPECT_EQ(canvas.Pixel(1, 1), c.inner) << "style " << c.style;
        EXPECT_EQ(canvas.Pixel(5, 5), red) << "style " << c.style;
    }
}

}  // namespace
}  // namespace qv
