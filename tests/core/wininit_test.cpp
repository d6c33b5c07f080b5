#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/setup/wininit.h"

namespace qv {
namespace {

const std::string kLine = "C:\\WINDOWS\\SYSTEM\\QV.DLL=C:\\WINDOWS\\SYSTEM\\QV-0001.TMP";

TEST(Wininit, TheNewLineEndsTheFirstRenameSection) {
    const std::string old =
        "[Settings]\r\nKeep=1\r\n"
        "[rename]\r\nC:\\A.DLL=C:\\A.TMP\r\n"
        "[Later]\r\nx=y\r\n";
    EXPECT_EQ(AddWininitRename(old, kLine),
              "[Settings]\r\nKeep=1\r\n"
              "[rename]\r\nC:\\A.DLL=C:\\A.TMP\r\n" + kLine + "\r\n"
              "[Later]\r\nx=y\r\n");
    // A second rename section is some later section: only the first one grows.
    EXPECT_EQ(AddWininitRename("[rename]\r\na=b\r\n[RENAME]\r\nc=d\r\n", kLine),
              "[rename]\r\na=b\r\n" + kLine + "\r\n[RENAME]\r\nc=d\r\n");
    // Blank lines belong to the section they stand in; the new line follows them.
    EXPECT_EQ(AddWininitRename("[rename]\r\na=b\r\n\r\n[x]\r\n", kLine), "[rename]\r\na=b\r\n\r\n" + kLine + "\r\n[x]\r\n");
}

TEST(Wininit, WithoutARenameSectionOneIsAppended) {
    EXPECT_EQ(AddWininitRename(std::string("[boot]\r\nshell=x\r\n"), kLine),
              "[boot]\r\nshell=x\r\n[rename]\r\n" + kLine + "\r\n");
    EXPECT_EQ(AddWininitRename(std::nullopt, kLine), "[rename]\r\n" + kLine + "\r\n");
    EXPECT_EQ(AddWininitRename(std::string(), kLine), "[rename]\r\n" + kLine + "\r\n");
}

TEST(Wininit, TheRenameHeaderIsKnownInAnyLetterCaseButOnlyAsWritten) {
    EXPECT_EQ(AddWininitRename(std::string("[RENAME]\r\na=b\r\n[z]\r\n"), kLine),
              "[RENAME]\r\na=b\r\n" + kLine + "\r\n[z]\r\n");
    // With blanks around it, it heads another section.
    EXPECT_EQ(AddWininitRename(std::string("  [rename]\r\na=b\r\n"), kLine),
              "  [rename]\r\na=b\r\n[rename]\r\n" + kLine + "\r\n");
    EXPECT_EQ(AddWininitRename(std::string("[rename] \r\na=b\r\n"), kLine),
              "[rename] \r\na=b\r\n[rename]\r\n" + kLine + "\r\n");
    // An indented header still ends the rename section.
    EXPECT_EQ(AddWininitRename(std::string("[Rename]\r\na=b\r\n\t[x]\r\n"), kLine),
              "[Rename]\r\na=b\r\n" + kLine + "\r\n\t[x]\r\n");
    // A key that merely mentions the header is no header.
    EXPECT_EQ(AddWininitRename(std::string("[rename]\r\nx=[y]\r\n"), kLine), "[rename]\r\nx=[y]\r\n" + kLine + "\r\n");
}

TEST(Wininit, LineEndsAndTheEndOfFileMark) {
    // Every line is written back with CR LF, the last one too.
    EXPECT_EQ(AddWininitRename(std::string("[a]\nk=v\r[rename]\r\nold=x"), kLine),
              "[a]\r\nk=v\r\n[rename]\r\nold=x\r\n" + kLine + "\r\n");
    // A rename line after a final Ctrl-Z would never be read.
    EXPECT_EQ(AddWininitRename(std::string("[a]\r\n\x1A"), kLine), "[a]\r\n[rename]\r\n" + kLine + "\r\n");
    // Ctrl-Z inside the text is data.
    EXPECT_EQ(AddWininitRename(std::string("[a]\r\nk=\x1Av\r\n"), kLine), "[a]\r\nk=\x1Av\r\n[rename]\r\n" + kLine + "\r\n");
}

TEST(Wininit, CopiedLinesKeepTheirBytes) {
    // "[程序]" and "键=值" in code page 936, plus a byte no character uses.
    const std::string old = "[\xB3\xCC\xD0\xF2]\r\n\xBC\xFC=\xD6\xB5\xFF\r\n[rename]\r\n";
    EXPECT_EQ(AddWininitRename(old, kLine), old + kLine + "\r\n");
}

TEST(Wininit, RenameLines) {
    EXPECT_EQ(WininitRenameLine("C:\\APP\\A.DLL", "C:\\APP\\QV-00001.TMP"), "C:\\APP\\A.DLL=C:\\APP\\QV-00001.TMP");
    EXPECT_EQ(WininitRenameLine("", "C:\\APP\\OLD.DLL"), "NUL=C:\\APP\\OLD.DLL");
    // Written in code page 936.
    EXPECT_EQ(WininitRenameLine("C:\\程序\\A.DLL", "C:\\程序\\B"), "C:\\\xB3\xCC\xD0\xF2\\A.DLL=C:\\\xB3\xCC\xD0\xF2\\B");
    try {
        WininitRenameLine("C:\\\xF0\x9F\x98\x80.DLL", "C:\\B");
        FAIL() << "a name code page 936 cannot hold was written";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.code(), io_code::InvalidFilename);
        EXPECT_STREQ(e.what(), "Invalid filename");
    }
}

}  // namespace
}  // namespace qv
