// The command-line forms of Setup.exe: the /SL form and its near misses,
// the /DIR= and /GROUP= options, the folder of the setup data.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "engine/setup/setup_state.h"
#include "engine/setup/start_setup.h"

namespace qv {
namespace {

class CommandLineOptions : public ::testing::Test {
protected:
    void SetUp() override { ResetSetupState(); }
    void TearDown() override { ResetSetupState(); }
};

TEST_F(CommandLineOptions, PlainFormTakesTheProgramsFolder) {
    ReadCommandLine({"C:\\SETUP\\Setup.exe"});
    EXPECT_FALSE(SlMode);
    EXPECT_EQ(SetupSourceDir, "C:\\SETUP");
    EXPECT_EQ(SlDataOffset, 0);
    ResetSetupState();
    ReadCommandLine({"C:\\Setup.exe"});
    EXPECT_EQ(SetupSourceDir, "C:\\");  // a drive root keeps its backslash
}

TEST_F(CommandLineOptions, SlFormWithItsThreeValues) {
    ReadCommandLine({"D:\\x\\Setup.exe", "/SL", "E:\\data\\app.bin", "1024", "-5", "/DIR=D:\\Apps"});
    EXPECT_TRUE(SlMode);
    EXPECT_EQ(SlDataFileName, "E:\\data\\app.bin");
    EXPECT_EQ(SetupSourceDir, "E:\\data");
    EXPECT_EQ(SlDataOffset, 1024);
    EXPECT_EQ(SlFileDataOffset, -5);
    EXPECT_EQ(CmdLineDir, "D:\\Apps");  // options from the fifth parameter on
}

TEST_F(CommandLineOptions, SlFormWithARelativeFileHasNoSourceFolder) {
    ReadCommandLine({"D:\\x\\Setup.exe", "/SL", "app.bin", "0", "0"});
    EXPECT_TRUE(SlMode);
    EXPECT_EQ(SetupSourceDir, "");
    ResetSetupState();
    ReadCommandLine({"D:\\x\\Setup.exe", "/SL", "C:app.bin", "0", "0"});
    EXPECT_EQ(SetupSourceDir, "C:");
}

TEST_F(CommandLineOptions, NearMissesOfTheSlFormAreIgnoredOptions) {
    ReadCommandLine({"C:\\S\\Setup.exe", "/sl", "E:\\app.bin", "1", "2"});
    EXPECT_FALSE(SlMode);
    EXPECT_EQ(SetupSourceDir, "C:\\S");
    ResetSetupState();
    ReadCommandLine({"C:\\S\\Setup.exe", "/SL", "E:\\app.bin", "1"});  // one value short
    EXPECT_FALSE(SlMode);
    EXPECT_EQ(SlDataFileName, "");
    EXPECT_EQ(SlDataOffset, 0);
}

TEST_F(CommandLineOptions, SlOffsetsMustBeNumbers) {
    EXPECT_THROW(ReadCommandLine({"S.exe", "/SL", "a.bin", "12x", "0"}), EConvertError);
    ResetSetupState();
    try {
        ReadCommandLine({"S.exe", "/SL", "a.bin", "0", ""});
        FAIL() << "an empty offset was taken";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    ResetSetupState();
    ReadCommandLine({"S.exe", "/SL", "a.bin", "$10", "-2147483648"});
    EXPECT_EQ(SlDataOffset, 16);
    EXPECT_EQ(SlFileDataOffset, INT32_MIN);
}

TEST_F(CommandLineOptions, DirAndGroupInAnyCaseLaterOnesWin) {
    ReadCommandLine({"C:\\S\\Setup.exe", "/dir=D:\\Apps\\X", "/Group=示例 组", "/unknown", "/DIRX", "/GROUP=Last"});
    EXPECT_EQ(CmdLineDir, "D:\\Apps\\X");
    EXPECT_EQ(CmdLineGroup, "Last");
    ResetSetupState();
    ReadCommandLine({"C:\\S\\Setup.exe", "/DIR=D:\\A", "/DIR="});
    EXPECT_EQ(CmdLineDir, "");
}

}  // namespace
}  // namespace qv
