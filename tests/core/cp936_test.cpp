#include <gtest/gtest.h>

#include "core/text/cp936.h"

namespace qv {
namespace {

TEST(Cp936, KnownCharactersBothWays) {
    EXPECT_EQ(*cp936::FromUtf8("中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(cp936::ToUtf8("\xC9\xE8\xD6\xC3"), "设置");
    EXPECT_EQ(*cp936::FromUtf8("Setup 1.0"), "Setup 1.0");
    EXPECT_EQ(cp936::ToUtf8("\x80"), "€");
    EXPECT_EQ(*cp936::FromUtf8("€"), "\x80");
    const std::string text = "设置程序文件已被损坏，请重新取得新版安装程序。";
    EXPECT_EQ(cp936::ToUtf8(*cp936::FromUtf8(text)), text);
}

TEST(Cp936, UnrepresentableAndInvalid) {
    EXPECT_FALSE(cp936::FromUtf8("smile \xF0\x9F\x98\x80").has_value());
    EXPECT_FALSE(cp936::FromUtf8("\xC3").has_value());      // cut UTF-8
    EXPECT_FALSE(cp936::FromUtf8("\xED\xA0\x80").has_value());  // surrogate
    EXPECT_EQ(cp936::FromUtf8Lossy("a\xF0\x9F\x98\x80" "b"), "a?b");
    // A lead byte at the very end, and an unassigned pair, decode to U+FFFD.
    EXPECT_EQ(cp936::ToUtf8("a\xD6"), "a\xEF\xBF\xBD");
    EXPECT_EQ(cp936::ToUtf8("\xFF"), "\xEF\xBF\xBD");
}

TEST(Cp936, TruncateNeverCutsACharacter) {
    const std::string bytes = *cp936::FromUtf8("a中文");  // 1 + 2 + 2 bytes
    EXPECT_EQ(cp936::TruncateBytes(bytes, 5), bytes);
    EXPECT_EQ(cp936::TruncateBytes(bytes, 4), bytes.substr(0, 3));
    EXPECT_EQ(cp936::TruncateBytes(bytes, 2), "a");
    EXPECT_EQ(cp936::TruncateBytes(bytes, 0), "");
}

}  // namespace
}  // namespace qv
