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
    EXPECT_FALSE(SetupState.SlMode);
    EXPECT_EQ(SetupState.SetupSourceDir, "C:\\SETUP");
    EXPECT_EQ(SetupState.SlDataOffset, 0);
    ResetSetupState();
    ReadCommandLine({"C:\\Setup.exe"});
    EXPECT_EQ(SetupState.SetupSourceDir, "C:\\");  // a drive root keeps its backslash
}

TEST_F(CommandLineOptions, SlFormWithItsThreeValues) {
    ReadCommandLine({"D:\\x\\Setup.exe", "/SL", "E:\\data\\app.bin", "1024", "-5", "/DIR=D:\\Apps"});
    EXPECT_TRUE(SetupState.SlMode);
    EXPECT_EQ(SetupState.SlDataFileName, "E:\\data\\app.bin");
    EXPECT_EQ(SetupState.SetupSourceDir, "E:\\data");
    EXPECT_EQ(SetupState.SlDataOffset, 1024);
    EXPECT_EQ(SetupState.SlFileDataOffset, -5);
    EXPECT_EQ(SetupState.CmdLineDir, "D:\\Apps");  // options from the fifth parameter on
}

TEST_F(CommandLineOptions, SlFormWithARelativeFileHasNoSourceFolder) {
    ReadCommandLine({"D:\\x\\Setup.exe", "/SL", "app.bin", "0", "0"});
    EXPECT_TRUE(SetupState.SlMode);
    EXPECT_EQ(SetupState.SetupSourceDir, "");
    ResetSetupState();
    ReadCommandLine({"D:\\x\\Setup.exe", "/SL", "C:app.bin", "0", "0"});
    EXPECT_EQ(SetupState.SetupSourceDir, "C:");
}

TEST_F(CommandLineOptions, NearMissesOfTheSlFormAreIgnoredOptions) {
    ReadCommandLine({"C:\\S\\Setup.exe", "/sl", "E:\\app.bin", "1", "2"});
    EXPECT_FALSE(SetupState.SlMode);
    EXPECT_EQ(SetupState.SetupSourceDir, "C:\\S");
    ResetSetupState();
    ReadCommandLine({"C:\\S\\Setup.exe", "/SL", "E:\\app.bin", "1"});  // one value short
    EXPECT_FALSE(SetupState.SlMode);
    EXPECT_EQ(SetupState.SlDataFileName, "");
    EXPECT_EQ(SetupState.SlDataOffset, 0);
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
    EXPECT_EQ(SetupState.SlDataOffset, 16);
    EXPECT_EQ(SetupState.SlFileDataOffset, INT32_MIN);
}

TEST_F(CommandLineOptions, DirAndGroupInAnyCaseLaterOnesWin) {
    ReadCommandLine({"C:\\S\\Setup.exe", "/dir=D:\\Apps\\X", "/Group=示例 组", "/unknown", "/DIRX", "/GROUP=Last"});
    EXPECT_EQ(SetupState.CmdLineDir, "D:\\Apps\\X");
    EXPECT_EQ(SetupState.CmdLineGroup, "Last");
    ResetSetupState();
    ReadCommandLine({"C:\\S\\Setup.exe", "/DIR=D:\\A", "/DIR="});
    EXPECT_EQ(SetupState.CmdLineDir, "");
}

}  // namespace
}  // namespace qv
