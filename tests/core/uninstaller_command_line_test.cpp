// The uninstaller's command line: the /U form Setup.exe writes, the options
// of an unattended run around it, and what is refused.
#include <gtest/gtest.h>

#include "core/uninstall/uninstaller_command_line.h"

namespace qv {
namespace {

TEST(UninstallerCommandLine, TheFormSetupWritesWithOptionsBeforeOrAfter) {
    const UninstallerCommandLine plain = ParseUninstallerCommandLine({"/U", "C:\\App\\UNINST0.000", "C:\\App\\UNINST1.000"});
    EXPECT_EQ(plain.Problem, "");
    EXPECT_EQ(plain.Options.PlaceholderFile, "C:\\App\\UNINST0.000");
    EXPECT_EQ(plain.Options.LogFile, "C:\\App\\UNINST1.000");
    EXPECT_FALSE(plain.Options.Silent);
    EXPECT_FALSE(plain.Options.LogRequested);

    const UninstallerCommandLine quiet = ParseUninstallerCommandLine(
        {"/verysilent", "/u", "a", "b", "/SuppressMsgBoxes", "/LOG=C:\\logs\\反安装.txt"});
    EXPECT_EQ(quiet.Problem, "");
    EXPECT_TRUE(quiet.Options.Silent);
    EXPECT_TRUE(quiet.Options.VerySilent);
    EXPECT_TRUE(quiet.Options.SuppressMsgBoxes);
    EXPECT_TRUE(quiet.Options.LogRequested);
    EXPECT_EQ(quiet.Options.LogFileName, "C:\\logs\\反安装.txt");
    EXPECT_EQ(quiet.Options.LogFile, "b");

    const UninstallerCommandLine log = ParseUninstallerCommandLine({"/U", "a", "b", "/LOG", "/SILENT"});
    EXPECT_TRUE(log.Options.LogRequested);
    EXPECT_EQ(log.Options.LogFileName, "");
    EXPECT_TRUE(log.Options.Silent);
    EXPECT_FALSE(log.Options.VerySilent);
}

TEST(UninstallerCommandLine, WhatIsWrongIsSaidAndTheOptionsReadSoFarAreKept) {
    struct Case {
        std::vector<std::string> Params;
        std::string Problem;
    };
    for (const Case& c : std::vector<Case>{
             {{}, "缺少 /U 和要反安装的日志文件。"},
             {{"/SILENT"}, "缺少 /U 和要反安装的日志文件。"},
             {{"/U", "a"}, "/U 后面应是占位文件和日志文件的名字。"},
             // An option is never taken for a file name.
             {{"/U", "a", "/SILENT"}, "/U 后面应是占位文件和日志文件的名字。"},
             {{"/U", "a", "b", "/U", "c", "d"}, "命令行中有两个 /U。"},
             {{"/U", "a", "b", "c"}, "不认识的参数：c"},
             {{"/X", "/U", "a", "b"}, "不认识的参数：/X"},
             {{"/U", "a", "b", "/LOG="}, "不认识的参数：/LOG="},
         }) {
        EXPECT_EQ(ParseUninstallerCommandLine(c.Params).Problem, c.Problem) << c.Params.size();
    }
    // A wrong command line of an unattended run must not wait for a person.
    EXPECT_TRUE(ParseUninstallerCommandLine({"/SUPPRESSMSGBOXES", "/U"}).Options.SuppressMsgBoxes);
    // The usage needs nothing else.
    const UninstallerCommandLine help = ParseUninstallerCommandLine({"/?"});
    EXPECT_TRUE(help.Options.ShowHelp);
    EXPECT_EQ(help.Problem, "");
}

}  // namespace
}  // namespace qv
