// The texts of the icons step that need no shell: titles made fit for file
// names and quoted fields, and the Program Manager's item command.
#include <gtest/gtest.h>

#include <string>

#include "core/errors.h"
#include "engine/install/icon_item_command.h"
#include "engine/install/icon_title.h"

namespace qv {
namespace {

TEST(IconTitles, QuotesTurnFullWidthInTurnAndOtherCharactersOnlyInFileNames) {
    EXPECT_EQ(QuotedFieldTitle("反安装\"示例\""), "反安装“示例”");
    EXPECT_EQ(QuotedFieldTitle("\"a\" \"b"), "“a” “b");
    EXPECT_EQ(QuotedFieldTitle("a\\b/c:d*e?f<g>h|i"), "a\\b/c:d*e?f<g>h|i");
    EXPECT_EQ(QuotedFieldTitle("a\r\nb\tc"), "a  b c");
    EXPECT_EQ(FileNameTitle("反安装\"a\\b/c:d*e?f<g>h|i\""), "反安装“a＼b／c：d＊e？f＜g＞h｜i”");
    EXPECT_EQ(FileNameTitle("Plain 名字 (1), [x] {app}."), "Plain 名字 (1), [x] {app}.");
}

const std::string kGroup = "[CreateGroup(\"示例 程序\")]";

TEST(ItemCommand, FieldsAreJoinedAsTheProgramManagerReadsThem) {
    EXPECT_EQ(AddItemCommand(kGroup, "C:\\Program Files\\示例\\a.exe", "/x \"y\"", "说明", "C:\\示例\\a.ico", -2, "C:\\W"),
              kGroup + "[AddItem(\"C:\\Program Files\\示例\\a.exe\" /x \"y\",\"说明\",\"C:\\示例\\a.ico\",-2,,,\"C:\\W\")]");
    // No icon file: five commas stand before the working folder.
    EXPECT_EQ(AddItemCommand(kGroup, "C:\\A\\a.exe", "", "A", "", 7, "C:\\A"),
              kGroup + "[AddItem(C:\\A\\a.exe,\"A\",,,,,\"C:\\A\")]");
    EXPECT_EQ(AddItemCommand(kGroup, " C:\\A\\a.exe ", "", "A", "", 0, ""), kGroup + "[AddItem(C:\\A\\a.exe,\"A\",,)]");
    EXPECT_EQ(AddItemCommand("", "\"C:\\A B\\a.exe\"", "-p", "A", "i.ico", 0, ""),
              "[AddItem(\"C:\\A B\\a.exe\" -p,\"A\",\"i.ico\",0)]");
    EXPECT_EQ(CreateGroupCommand("G"), "[CreateGroup(\"G\")]");
    EXPECT_EQ(ShowGroupCommand("G"), "[ShowGroup(\"G\",5)]");
    EXPECT_EQ(ReplaceItemCommand("I"), "[ReplaceItem(\"I\")]");
}

TEST(ItemCommand, ACommandMustFitWithItsZeroInTheProgramManagersBuffer) {
    const std::string head = "[AddItem(a.exe ", tail = ",\"I\",,)]";
    // Measured as the Program Manager holds it: a Chinese character is two bytes.
    const std::size_t room = kItemCommandLimit - 1 - head.size() - tail.size();
    const std::string fits(room - 2, 'p');
    EXPECT_EQ(AddItemCommand("", "a.exe", fits + "中", "I", "", 0, "").size(), head.size() + tail.size() + room + 1);
    try {
        AddItemCommand("", "a.exe", fits + "中x", "I", "", 0, "");
        FAIL() << "a command past the buffer went through";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "不能创建程序项 \"I\"：其命令长 2049 字节，超过了程序管理器的上限 2048 字节");
    }
}

}  // namespace
}  // namespace qv
