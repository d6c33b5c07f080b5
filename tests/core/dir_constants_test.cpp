#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/setup/dir_constants.h"

namespace qv {
namespace {

DirConstantValues Values() {
    DirConstantValues v;
    v.Src = "D:\\";
    v.Tmp = "C:\\TEMP\\qv-00001.tmp";
    v.App = "C:\\Program Files\\Hello";
    v.Win = "C:\\WINDOWS";
    v.Sys = "C:\\WINDOWS\\SYSTEM";
    v.Sd = "C:";
    v.Pf = "C:\\Program Files";
    v.Cf = "C:\\Program Files\\Common Files";
    v.Group = "Hello";
    for (int i = 0; i < 8; ++i) v.ShellFolders[i] = "C:\\Shell" + std::to_string(i);
    return v;
}

TEST(DirConstants, ExpandsKnownNames) {
    const auto v = Values();
    EXPECT_EQ(ExpandDirConstants("{app}\\a.exe", v), "C:\\Program Files\\Hello\\a.exe");
    EXPECT_EQ(ExpandDirConstants("{src}\\SETUP.1", v), "D:\\SETUP.1");  // no doubled backslash
    EXPECT_EQ(ExpandDirConstants("{sd}{sys}", v), "C:C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(ExpandDirConstants("{group}\\Hi", v), "C:\\Shell6\\Hello\\Hi");
    EXPECT_EQ(ExpandDirConstants("{commonstartup}|{userdesktop}", v), "C:\\Shell7|C:\\Shell0");
    EXPECT_EQ(ExpandDirConstants("{pf}/{cf}/{tmp}/{win}", v),
              "C:\\Program Files/C:\\Program Files\\Common Files/C:\\TEMP\\qv-00001.tmp/C:\\WINDOWS");
}

TEST(DirConstants, LiteralBracesAndUnknownNames) {
    const auto v = Values();
    EXPECT_EQ(ExpandDirConstants("{APP}", v), "{APP}");
    EXPECT_EQ(ExpandDirConstants("{unknown}\\{app}", v), "{unknown}\\C:\\Program Files\\Hello");
    EXPECT_EQ(ExpandDirConstants("{{app}", v), "{C:\\Program Files\\Hello");
    EXPECT_EQ(ExpandDirConstants("{app", v), "{app");
    EXPECT_EQ(ExpandDirConstants("}{", v), "}{");
    EXPECT_EQ(ExpandDirConstants("", v), "");
}

TEST(DirConstants, ValuesAreNeverScannedAgain) {
    auto v = Values();
    v.App = "C:\\{win}";
    EXPECT_EQ(ExpandDirConstants("{app}", v), "C:\\{win}");
    v.App = "";
    EXPECT_EQ(ExpandDirConstants("{app}\\x", v), "\\x");  // an empty value is allowed
}

TEST(DirConstants, EmptyShellFoldersAreAnInternalError) {
    auto v = Values();
    v.ShellFolders[6].clear();
    try {
        ExpandDirConstants("{group}\\x", v);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "内部错误 C100");
    }
    EXPECT_THROW(ExpandDirConstants("{commonprograms}", v), Exception);
    EXPECT_EQ(ExpandDirConstants("{userprograms}", v), "C:\\Shell2");
}

}  // namespace
}  // namespace qv
