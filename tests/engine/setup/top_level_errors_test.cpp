#include <gtest/gtest.h>

#include "core/errors.h"
#include "engine/setup/top_level_errors.h"
#include "testkit/scripted_boxes.h"

namespace qv {
namespace {

TEST(TopLevelErrors, AFullStopWhenTheLastByteIsAboveTheFullStop) {
    EXPECT_EQ(TopLevelErrorText("File not found"), "File not found.");
    EXPECT_EQ(TopLevelErrorText("I/O error 32"), "I/O error 32.");
    EXPECT_EQ(TopLevelErrorText("a/"), "a/.");     // "/" is 0x2F
    EXPECT_EQ(TopLevelErrorText("完成。"), "完成。.");  // the last byte of "。" is above 0x2E
    EXPECT_EQ(TopLevelErrorText("done."), "done.");
    EXPECT_EQ(TopLevelErrorText("done!"), "done!");
    EXPECT_EQ(TopLevelErrorText("trailing "), "trailing ");
    EXPECT_EQ(TopLevelErrorText("文件夹 \"C:\\x\""), "文件夹 \"C:\\x\"");
    EXPECT_EQ(TopLevelErrorText("a-"), "a-");  // "-" is 0x2D
    EXPECT_EQ(TopLevelErrorText(""), "");
}

TEST(TopLevelErrors, ShownWithoutCaptionWithTheStopIcon) {
    test::ScriptedBoxes boxes;
    ShowTopLevelError("Disk full");
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text, "Disk full.");
    EXPECT_EQ(boxes.asked[0].Caption, "");  // the system's own caption
    EXPECT_FALSE(boxes.asked[0].Kind.has_value());
    EXPECT_EQ(boxes.asked[0].Flags, static_cast<UINT>(MB_ICONSTOP));
}

TEST(TopLevelErrors, GuardShowsAllButTheSilentAbort) {
    test::ScriptedBoxes boxes;
    EXPECT_TRUE(RunGuarded([] {}));
    EXPECT_FALSE(RunGuarded([] { throw EAbort(); }));
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_FALSE(RunGuarded([] { throw EInOutError(101); }));
    EXPECT_FALSE(RunGuarded([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(RunGuarded([] { FailStart("程序不能在Win32 上运行."); }));
    ASSERT_EQ(boxes.asked.size(), 3u);
    EXPECT_EQ(boxes.asked[0].Text, "Disk full.");
    EXPECT_EQ(boxes.asked[1].Text, "Out of memory.");
    EXPECT_EQ(boxes.asked[2].Text, "程序不能在Win32 上运行.");  // FailStart's own box, nothing after it
    EXPECT_EQ(boxes.asked[2].Kind, mbtCriticalError);
}

}  // namespace
}  // namespace qv
