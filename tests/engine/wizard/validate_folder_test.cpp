#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "engine/common/app_msg_box.h"
#include "engine/wizard/validate_folder.h"
#include "testkit/scratch.h"
#include "wizard_boxes.h"

namespace qv {
namespace {

using test::AnsweredBoxes;

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

const char kUncText[] =
    "设置程序不能以通用命名标准(UNC)安装。如果您试图将软件安装到网络，必须首先映射一个网络驱动器。";
const char kFullPathText[] = "您必须输入完整路径名，包括盘符；例如：\r\nC:\\APP";
const char kOldFolderChars[] = "文件夹名中不能包括下面列出的所有字符：\r\n\r\n/ : * ? \" < > | , ( ) [ ]";
const char kNewFolderChars[] = "文件夹名中不能包括下面列出的所有字符：\r\n\r\n/ : * ? \" < > |";
const char kNoDriveText[] = "您选择的盘符不存在，请重新选择。";
const char kKoreanFolderChars[] = "文件夹名中不能包括简体中文字符集以外的字符：\r\n\r\n한 국 어";
// A folder that no test system has.
const char kFreshFolder[] = "C:\\QV Wizard Test 7f3a\\MY APP";

// Drives of chosen sizes; remembers the letters asked for.
struct FakeDrives {
    std::map<char, std::uint64_t> freeBytes{{'C', 10 * kGiB}};
    std::string asked;

    DriveFreeSpaceQuery Query() {
        return [this](char letter, std::uint64_t& bytes) {
            asked += letter;
            const auto found = freeBytes.find(letter);
            if (found == freeBytes.end()) return false;
            bytes = found->second;
            return true;
        };
    }
};

void ExpectErrorBox(const MsgBoxQuestion& box, const std::string& text) {
    EXPECT_EQ(box.Text, text);
    EXPECT_EQ(box.Caption, MsgBoxKindCaption(mbtError));
    EXPECT_EQ(box.Kind, mbtError);
    EXPECT_EQ(test::Buttons(box), static_cast<UINT>(MB_OK));
}

struct FolderCase {
    const char* typed;
    bool oldShell;
    bool passed;
    const char* text;     // what the edit box shows afterwards
    const char* message;  // the error box, or nullptr for none
};

class FolderSteps : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FolderSteps, FirstFailingStepShowsItsMessage) {
    const FolderCase& c = GetParam();
    const ScopedWindowsVersion version(c.oldShell ? test::OldShell() : test::NewShell());
    AnsweredBoxes boxes;
    FakeDrives drives;
    const PageCheck check = ValidateFolder(c.typed, 1000, drives.Query());
    EXPECT_EQ(check.Passed, c.passed);
    EXPECT_EQ(check.Text, c.text);
    if (c.message == nullptr) {
        EXPECT_TRUE(boxes.asked.empty());
    } else {
        ASSERT_EQ(boxes.asked.size(), 1u);
        ExpectErrorBox(boxes.asked[0], c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothShells, FolderSteps,
    ::testing::Values(
        // A network path is refused before anything else, wherever the pair is.
        FolderCase{"\\\\SERVER\\SHARE\\APP", false, false, "\\\\SERVER\\SHARE\\APP", kUncText},
        FolderCase{" \tC:\\APP\\\\SUB\\ \r\n", true, false, "C:\\APP\\\\SUB\\", kUncText},
        FolderCase{"\\\\SERVER\\A|B", true, false, "\\\\SERVER\\A|B", kUncText},
        // Not a full path; a bare drive root is too short.
        FolderCase{"C:\\", false, false, "C:\\", kFullPathText},
        FolderCase{"C:APP", false, false, "C:APP", kFullPathText},
        FolderCase{"APP", true, false, "APP", kFullPathText},
        FolderCase{"C/\\APP", false, false, "C/\\APP", kFullPathText},
        // The forbidden characters depend on the shell, the message lists all of them.
        FolderCase{kFreshFolder, true, true, kFreshFolder, nullptr},
        FolderCase{kFreshFolder, false, true, kFreshFolder, nullptr},
        FolderCase{"C:\\APP,1", true, false, "C:\\APP,1", kOldFolderChars},
        FolderCase{"C:\\QV Wizard Test 7f3a\\APP,1 (x) [y]", false, true, "C:\\QV Wizard Test 7f3a\\APP,1 (x) [y]",
                   nullptr},
        FolderCase{"C:\\A<B", false, false, "C:\\A<B", kNewFolderChars},
        FolderCase{"C:\\APP\\X:Y", true, false, "C:\\APP\\X:Y", kOldFolderChars},
        // A name the uninstall log (code page 936) cannot hold, after the
        // forbidden characters and before the drive.
        FolderCase{"C:\\程序\\한국어", false, false, "C:\\程序\\한국어", kKoreanFolderChars},
        FolderCase{"Q:\\한국어\\", true, false, "Q:\\한국어\\", kKoreanFolderChars},
        FolderCase{"C:\\한국어|", false, false, "C:\\한국어|", kNewFolderChars},
        // The drive must exist; a letter is case-blind, anything else is no drive.
        FolderCase{"Q:\\APP", false, false, "Q:\\APP", kNoDriveText},
        FolderCase{"1:\\APP", false, false, "1:\\APP", kNoDriveText},
        FolderCase{"c:\\QV Wizard Test 7f3a\\", false, true, "c:\\QV Wizard Test 7f3a", nullptr},
        // One trailing backslash goes, and not before the drive is known.
        FolderCase{"C:\\QV Wizard Test 7f3a\\APP\\", true, true, "C:\\QV Wizard Test 7f3a\\APP", nullptr},
        FolderCase{"Q:\\APP\\", true, false, "Q:\\APP\\", kNoDriveText}));

TEST(FolderDrive, AsksForTheUpperCaseLetterOnlyOnceTheTextIsSound) {
    AnsweredBoxes boxes;
    FakeDrives drives;
    ValidateFolder("c:\\APP", 0, drives.Query());
    ValidateFolder("1:\\APP", 0, drives.Query());
    ValidateFolder("C:APP", 0, drives.Query());
    ValidateFolder("C:\\A*", 0, drives.Query());
    EXPECT_EQ(drives.asked, "C");
}

class FolderSpace : public ::testing::Test {
protected:
    PageCheck Check(const std::string& typed, std::uint32_t required, std::uint64_t free) {
        drives_.freeBytes[static_cast<char>(std::toupper(static_cast<unsigned char>(typed[0])))] = free;
        return ValidateFolder(typed, required, drives_.Query());
    }
    FakeDrives drives_;
};

TEST_F(FolderSpace, FreeSpaceBeyondFourGiBIsNotCutDown) {
    AnsweredBoxes boxes;
    // 5 GiB cut to 32 bits would be 1 GiB, far below the requirement.
    EXPECT_TRUE(Check(kFreshFolder, 0xFFFFFFFFu, 5 * kGiB).Passed);
    EXPECT_TRUE(Check(kFreshFolder, 0xFFFFFFFFu, 0xFFFFFFFFu).Passed);
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(FolderSpace, TooLittleRoomAsksWithNoAsTheDefault) {
    AnsweredBoxes boxes({IDNO});
    const PageCheck check = Check("C:\\QV Wizard Test 7f3a\\", 0xFFFFFFFFu, kGiB + 1023);
    EXPECT_FALSE(check.Passed);
    EXPECT_EQ(check.Text, "C:\\QV Wizard Test 7f3a");
    ASSERT_EQ(boxes.asked.size(), 1u);
    const MsgBoxQuestion& box = boxes.asked[0];
    EXPECT_EQ(box.Text,
              "设置程序需要最少 4194303 KB 自由空间来安装, 但指定的驱动器仅有 1048576 KB 可以使用。\r\n\r\n"
              "想继续安装吗？");
    EXPECT_EQ(box.Caption, "没有足够的磁盘空间");
    EXPECT_EQ(box.Kind, mbtConfirmation);
    EXPECT_EQ(test::Buttons(box), static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
}

TEST_F(FolderSpace, RequirementIsUnsignedAndOnlyMoreThanFreeCounts) {
    {
        AnsweredBoxes boxes({IDNO});
        // Taken as signed, 2 GiB would be negative and always fit.
        EXPECT_FALSE(Check(kFreshFolder, 0x80000000u, kGiB).Passed);
        EXPECT_EQ(boxes.asked.size(), 1u);
    }
    AnsweredBoxes boxes;
    EXPECT_TRUE(Check(kFreshFolder, 4096, 4096).Passed);
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(FolderSpace, YesGoesOnToTheExistingFolderQuestion) {
    const test::ScratchFolder existing("wizard dest");
    {
        AnsweredBoxes boxes({IDYES, IDNO});
        const PageCheck check = Check(existing.path() + "\\", 1, 0);
        EXPECT_FALSE(check.Passed);
        EXPECT_EQ(check.Text, existing.path());
        ASSERT_EQ(boxes.asked.size(), 2u);
        EXPECT_EQ(boxes.asked[0].Caption, "没有足够的磁盘空间");
        EXPECT_EQ(boxes.asked[1].Text, "文件夹 " + existing.path() + " 已经存在。\r\n\r\n您还想继续安装吗？");
        EXPECT_EQ(boxes.asked[1].Caption, "文件夹已存在");
        EXPECT_EQ(boxes.asked[1].Kind, mbtConfirmation);
        EXPECT_EQ(test::Buttons(boxes.asked[1]), static_cast<UINT>(MB_YESNO));
    }
    AnsweredBoxes boxes({IDYES, IDYES});
    EXPECT_TRUE(Check(existing.path(), 1, 0).Passed);
    EXPECT_EQ(boxes.asked.size(), 2u);
}

TEST(FolderExisting, RealDriveAndFolderAskBeforeInstallingIntoIt) {
    const test::ScratchFolder existing("wizard 安装");
    AnsweredBoxes boxes({IDNO});
    EXPECT_FALSE(ValidateFolder(existing.path(), 0).Passed);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].Caption, "文件夹已存在");
}

TEST(DriveFreeSpace, ProductIsExactPastThirtyTwoBits) {
    EXPECT_EQ(DriveFreeBytes(512, 8, 2 * 1024 * 1024), 8 * kGiB);
    EXPECT_EQ(DriveFreeBytes(4096, 128, 0xFFFFFFFFu), 0xFFFFFFFFull * 4096 * 128);
    EXPECT_EQ(DriveFreeBytes(0xFFFFFFFFu, 1, 2), 0x1FFFFFFFEull);
    EXPECT_EQ(DriveFreeBytes(512, 8, 0), 0u);
}

TEST(DriveFreeSpace, MissingDriveFailsAndPresentOneAgreesWithTheSystem) {
    const DWORD drives = GetLogicalDrives();
    int missing = 25;
    while (missing >= 0 && (drives & (1u << missing)) != 0) --missing;
    ASSERT_GE(missing, 0);
    std::uint64_t bytes = 12345;
    EXPECT_FALSE(GetDriveFreeSpace(static_cast<char>('A' + missing), bytes));
    EXPECT_EQ(bytes, 12345u);

    ULARGE_INTEGER callerFree{}, total{}, totalFree{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &callerFree, &total, &totalFree));
    ASSERT_TRUE(GetDriveFreeSpace('C', bytes));
    EXPECT_LE(bytes, total.QuadPart);
    // Other programs write meanwhile; a drive's free space does not move by a GiB.
    const std::uint64_t expected = callerFree.QuadPart;
    EXPECT_LT(bytes > expected ? bytes - expected : expected - bytes, kGiB);
}

}  // namespace
}  // namespace qv
