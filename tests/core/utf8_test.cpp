#include <gtest/gtest.h>

#include <filesystem>

#include "core/errors.h"
#include "core/io/streams.h"
#include "core/text/utf8.h"
#include "test_files.h"

namespace qv {
namespace {

TEST(Utf8, ToUtf16KeepsEveryCharacterAndRefusesBrokenText) {
    EXPECT_EQ(*utf8::ToUtf16("安装 a"), u"安装 a");
    // Beyond the basic plane: a surrogate pair, as Windows names it.
    EXPECT_EQ(*utf8::ToUtf16("\xF0\x9F\x98\x80"), std::u16string({0xD83D, 0xDE00}));
    EXPECT_FALSE(utf8::ToUtf16("a\xE5\xAE").has_value());          // cut short
    EXPECT_FALSE(utf8::ToUtf16("\xC0\xAF").has_value());           // overlong "/"
    EXPECT_FALSE(utf8::ToUtf16("\xED\xA0\x80").has_value());       // a surrogate on its own
    EXPECT_FALSE(utf8::ToUtf16("\xF4\x90\x80\x80").has_value());   // above U+10FFFF
}

// The file streams name files in UTF-8 on every system: a name in Chinese
// and beyond the basic plane is written and read back under that name.
TEST(Utf8, FilesWithNamesBeyondAsciiAreWrittenAndReadBack) {
    const test::TempDir dir;
    const std::string path = (dir.path() / std::filesystem::u8path("安装 \xF0\x9F\x98\x80.bin")).u8string();
    {
        FileOutStream out(path, FileCreation::New);
        out.Write("abc", 3);
        out.Close();
    }
    FileInStream in(path);
    char bytes[3] = {};
    in.ReadExact(bytes, 3);
    EXPECT_EQ(std::string(bytes, 3), "abc");
#ifdef _WIN32
    // Windows names files in UTF-16: a name that is not UTF-8 names none.
    try {
        FileOutStream broken(dir.path().u8string() + "/a\xE5\xAE.bin");
        FAIL() << "a name that is not UTF-8 was opened";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.code(), io_code::InvalidFilename);
    }
#endif
}

}  // namespace
}  // namespace qv
