#include <gtest/gtest.h>

#include "engine/common/app_msg_box.h"
#include "engine/wizard/validate_group.h"
#include "wizard_boxes.h"

namespace qv {
namespace {

using test::AnsweredBoxes;

const char kEmptyText[] = "您必须输入一个程序组名。";
const char kOldGroupChars[] = "程序组名中不能包括下面字符：\r\n\r\n\\ / : * ? \" < > | ,";
const char kNewGroupChars[] = "程序组名中不能包括下面字符：\r\n\r\n/ : * ? \" < > | ,";
const char kKoreanGroupChars[] = "程序组名中不能包括简体中文字符集以外的字符：\r\n\r\n한 국 어 게 임";

struct GroupCase {
    const char* typed;
    bool oldShell;
    bool passed;
    const char* text;
    const char* message;  // nullptr: no box
};

class GroupRules : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupRules, CleansThenChecks) {
    const GroupCase& c = GetParam();
    const ScopedWindowsVersion version(c.oldShell ? test::OldShell() : test::NewShell());
    AnsweredBoxes boxes;
    const PageCheck check = ValidateGroup(c.typed, false);
    EXPECT_EQ(check.Passed, c.passed);
    EXPECT_EQ(check.Text, c.text);
    if (c.message == nullptr) {
        EXPECT_TRUE(boxes.asked.empty());
    } else {
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].Text, c.message);
        EXPECT_EQ(boxes.asked[0].Caption, MsgBoxKindCaption(mbtError));
        EXPECT_EQ(boxes.asked[0].Kind, mbtError);
        EXPECT_EQ(test::Buttons(boxes.asked[0]), static_cast<UINT>(MB_OK));
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothShells, GroupRules,
    ::testing::Values(
        // Backslash runs shrink, one leading and one trailing go; a sub-folder
        // is fine from Windows 4 on and not below.
        GroupCase{"\\\\Accessories\\\\\\Tools\\", false, true, "Accessories\\Tools", nullptr},
        GroupCase{"\\\\Accessories\\\\\\Tools\\", true, false, "Accessories\\Tools", kOldGroupChars},
        GroupCase{" \\附件\\ ", true, true, "附件", nullptr},
        GroupCase{"\t  我的 程序  \r\n", false, true, "我的 程序", nullptr},
        // Nothing left is no group.
        GroupCase{"\\\\\\", false, false, "", kEmptyText},
        GroupCase{"   ", true, false, "", kEmptyText},
        GroupCase{"", false, false, "", kEmptyText},
        GroupCase{" \\ ", false, false, "", kEmptyText},
        // A comma is refused everywhere, as is any other listed character.
        GroupCase{"Tools, Games", false, false, "Tools, Games", kNewGroupChars},
        GroupCase{"A|B", true, false, "A|B", kOldGroupChars},
        GroupCase{"A\\B:C\\", false, false, "A\\B:C", kNewGroupChars},
        GroupCase{"Games (new) [2]", true, true, "Games (new) [2]", nullptr},
        // Outside code page 936, which the uninstall log holds.
        GroupCase{" \\한국어 게임\\", false, false, "한국어 게임", kKoreanGroupChars}));

TEST(GroupNoIcons, AnyTextPassesUntouchedWithoutABox) {
    const ScopedWindowsVersion version(test::OldShell());
    AnsweredBoxes boxes;
    for (const char* typed : {"", "  A|B\\\\ ", "\\\\\\"}) {
        const PageCheck check = ValidateGroup(typed, true);
        EXPECT_TRUE(check.Passed) << typed;
        EXPECT_EQ(check.Text, typed);
    }
    EXPECT_TRUE(boxes.asked.empty());
}

}  // namespace
}  // namespace qv
