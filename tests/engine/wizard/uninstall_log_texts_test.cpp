// What the installation will record in its uninstall log, checked before
// it begins: a user's own folder or a choice with characters that code
// page 936 cannot hold is refused with a message instead of failing the
// installation at its end.
#include <gtest/gtest.h>

#include "engine/common/app_msg_box.h"
#include "engine/wizard/uninstall_log_texts.h"
#include "wizard_boxes.h"

namespace qv {
namespace {

using test::AnsweredBoxes;

// A user folder named in Korean, as an account name may make it.
const char kKoreanDesktop[] = "C:\\users\\한국어\\Desktop";

class LogTexts : public ::testing::Test {
protected:
    LogTexts() {
        data_.SetupInfo.Options = optUninstallable;
        folders_.App = "C:\\示例";
        folders_.Win = "C:\\windows";
        folders_.Group = "示例组";
        folders_.ShellFolders[0] = kKoreanDesktop;
        folders_.ShellFolders[6] = "C:\\ProgramData\\Programs";
        data_.FileRecords.resize(2);
        data_.FileRecords[0].DestPath = "{app}\\程序.exe";
        data_.FileRecords[1].DestPath = "{userdesktop}\\说明.txt";
        data_.FileRecords[1].FileFlags = ffNoUninstall;
        data_.IconRecords = {{"{group}\\示例", "{app}\\程序.exe", "", "{app}", "", 0}};
        data_.RegistryRecords.resize(2);
        data_.RegistryRecords[0].SubKey = "Software\\{userdesktop}";  // never removed: not recorded
        data_.RegistryRecords[1].SubKey = "Software\\示例";
        data_.RegistryRecords[1].ValueName = "Path";
        data_.RegistryRecords[1].Flags = rfUninstDeleteValue;
    }
    SetupData data_;
    DirConstantValues folders_;
};

TEST_F(LogTexts, OnlyWhatTheLogRecordsAndNothingWithoutALog) {
    EXPECT_EQ(UninstallLogTexts(data_, folders_, false),
              (std::vector<std::string>{"C:\\示例", "C:\\示例\\程序.exe", "C:\\ProgramData\\Programs\\示例组",
                                        "C:\\ProgramData\\Programs\\示例组\\示例", "Software\\示例", "Path"}));
    EXPECT_EQ(UninstallLogTexts(data_, folders_, true).size(), 4u) << "no group without icons";
    data_.SetupInfo.Options = 0;
    EXPECT_TRUE(UninstallLogTexts(data_, folders_, false).empty());
}

TEST_F(LogTexts, AUserFolderOutsideCp936IsRefusedNamingThePath) {
    {
        AnsweredBoxes boxes;
        EXPECT_TRUE(CheckUninstallLogTexts(data_, folders_, false));
        EXPECT_TRUE(boxes.asked.empty());
    }
    // A link on the desktop goes into the log.
    data_.IconRecords.push_back({"{userdesktop}\\示例", "{app}\\程序.exe", "", "{app}", "", 0});
    AnsweredBoxes boxes;
    EXPECT_FALSE(CheckUninstallLogTexts(data_, folders_, false));
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Text,
              "下面的位置含有简体中文字符集以外的字符（한 국 어），无法记入反安装信息，设置程序不能安装：\r\n\r\n" +
                  std::string(kKoreanDesktop) + "\\示例");
    EXPECT_EQ(boxes.asked[0].Kind, mbtError);
    EXPECT_EQ(test::Buttons(boxes.asked[0]), static_cast<UINT>(MB_OK));
}

TEST(CharsOutsideCp936, EachOnceInOrder) {
    EXPECT_EQ(CharsOutsideCp936("C:\\示例 Ωé"), "");
    EXPECT_EQ(CharsOutsideCp936("한국 어한😀x"), "한 국 어 😀");
}

}  // namespace
}  // namespace qv
