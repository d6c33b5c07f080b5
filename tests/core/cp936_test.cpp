#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/text/cp936.h"

#ifndef _WIN32
#include <iconv.h>
#endif

namespace qv {
namespace {

std::string Pair(int lead, int trail) {
    return {static_cast<char>(lead), static_cast<char>(trail)};
}

// UTF-8 of a code point of the Basic Multilingual Plane from U+0800 on.
std::string Utf8(char32_t c) {
    return {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

// The double-byte codes of the user-defined areas, in the order of their
// private-use code points.
std::vector<std::string> UserDefinedAreaCodes() {
    std::vector<std::string> codes;
    for (int lead = 0xAA; lead <= 0xAF; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail) codes.push_back(Pair(lead, trail));
    for (int lead = 0xF8; lead <= 0xFE; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail) codes.push_back(Pair(lead, trail));
    for (int lead = 0xA1; lead <= 0xA7; ++lead)
        for (int trail = 0x40; trail <= 0xA0; ++trail)
            if (trail != 0x7F) codes.push_back(Pair(lead, trail));
    return codes;
}

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

TEST(Cp936, UserDefinedCharactersAsOnWindows) {
    // Where each area starts and ends, and where the pairs outside the areas
    // that name no standard character take up the numbering.
    const struct { int lead, trail; char32_t code; } anchors[] = {
        {0xAA, 0xA1, 0xE000}, {0xAF, 0xFE, 0xE233}, {0xF8, 0xA1, 0xE234}, {0xFE, 0xFE, 0xE4C5},
        {0xA1, 0x40, 0xE4C6}, {0xA1, 0x80, 0xE4C6 + 0x3F}, {0xA7, 0xA0, 0xE765},
        {0xA2, 0xAB, 0xE766}, {0xA2, 0xE3, 0xE76C}, {0xD7, 0xFE, 0xE814}, {0xFE, 0x50, 0xE815},
        {0xFE, 0xA0, 0xE864},
    };
    for (const auto& a : anchors) {
        SCOPED_TRACE(testing::Message() << std::hex << a.lead << a.trail);
        EXPECT_EQ(cp936::ToUtf8(Pair(a.lead, a.trail)), Utf8(a.code));
        EXPECT_EQ(cp936::FromUtf8(Utf8(a.code)), Pair(a.lead, a.trail));
    }
    // Past the last one there is no code page 936 form.
    EXPECT_FALSE(cp936::FromUtf8(Utf8(0xE865)).has_value());
    // A name with them survives the trip.
    const std::string name = "\xD6\xD0\xAA\xA1\xFE\x50x";
    EXPECT_EQ(cp936::ToUtf8(name), "中" + Utf8(0xE000) + Utf8(0xE815) + "x");
    EXPECT_EQ(*cp936::FromUtf8(cp936::ToUtf8(name)), name);
}

TEST(Cp936, UserDefinedAreasRoundTripWhole) {
    const std::vector<std::string> codes = UserDefinedAreaCodes();
    ASSERT_EQ(codes.size(), 564u + 658u + 672u);
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const std::string utf8 = cp936::ToUtf8(codes[k]);
        ASSERT_EQ(utf8, Utf8(static_cast<char32_t>(0xE000 + k))) << k;
        ASSERT_EQ(cp936::FromUtf8(utf8), codes[k]) << k;
    }
    // Every private-use code point up to the last has one byte form, and
    // no two share it.
    std::set<std::string> forms;
    for (char32_t c = 0xE000; c <= 0xE864; ++c) {
        const auto bytes = cp936::FromUtf8(Utf8(c));
        ASSERT_TRUE(bytes.has_value()) << std::hex << c;
        ASSERT_EQ(bytes->size(), 2u);
        EXPECT_EQ(cp936::ToUtf8(*bytes), Utf8(c));
        forms.insert(*bytes);
    }
    EXPECT_EQ(forms.size(), 0xE865u - 0xE000u);
}

TEST(Cp936, StandardCharactersBesideTheUserDefinedOnesStay) {
    // Neighbours of the private-use pairs in the rows they share.
    EXPECT_EQ(cp936::ToUtf8("\xA1\xA1"), "\u3000");
    EXPECT_EQ(cp936::ToUtf8("\xA2\xA1\xA2\xAA\xA2\xB1"), "\u2170\u2179\u2488");
    EXPECT_EQ(cp936::ToUtf8("\xA2\xE2\xA2\xE5"), "\u2469\u3220");
    EXPECT_EQ(cp936::ToUtf8("\xA9\x96\xA9\xEF"), "\u3007\u254B");
    EXPECT_EQ(cp936::ToUtf8("\xD7\xF9\xFE\x4F"), "\u5EA7\uFA29");
    EXPECT_EQ(*cp936::FromUtf8("\u3000\u2170\u3007\uFA29"), "\xA1\xA1\xA2\xA1\xA9\x96\xFE\x4F");
    // The trail byte 0x7F still names nothing.
    EXPECT_EQ(cp936::ToUtf8("\xA1\x7F"), "\xEF\xBF\xBD");
}

#ifndef _WIN32
// Every pair against the C library's own GBK converter, which agrees with
// Windows on the standard characters: each decodes to the same character
// and encodes back to a pair of that character; every other pair decodes
// to a private-use code point.
TEST(Cp936, EveryPairAsTheCLibraryReadsGbk) {
    const iconv_t converter = iconv_open("UTF-8", "GBK");
    ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
    int standard = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            std::string pair = Pair(lead, trail);
            char out[8];
            char* in = pair.data();
            char* at = out;
            std::size_t inLeft = 2, outLeft = sizeof out;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
            const bool named = iconv(converter, &in, &inLeft, &at, &outLeft) != static_cast<std::size_t>(-1);
            const std::string decoded = cp936::ToUtf8(pair);
            if (named) {
                ++standard;
                EXPECT_EQ(decoded, std::string(out, at)) << std::hex << lead << ' ' << trail;
                const auto encoded = cp936::FromUtf8(decoded);
                ASSERT_TRUE(encoded.has_value()) << std::hex << lead << ' ' << trail;
                EXPECT_EQ(cp936::ToUtf8(*encoded), decoded);
            } else {
                ASSERT_EQ(decoded.size(), 3u) << std::hex << lead << ' ' << trail;
                const char32_t c = (decoded[0] & 0x0F) << 12 | (decoded[1] & 0x3F) << 6 | (decoded[2] & 0x3F);
                EXPECT_TRUE(c >= 0xE000 && c <= 0xE864) << std::hex << lead << ' ' << trail;
            }
        }
    iconv_close(converter);
    EXPECT_GT(standard, 21000);
}
#endif

TEST(Cp936, TruncateNeverCutsACharacter) {
    const std::string bytes = *cp936::FromUtf8("a中文");  // 1 + 2 + 2 bytes
    EXPECT_EQ(cp936::TruncateBytes(bytes, 5), bytes);
    EXPECT_EQ(cp936::TruncateBytes(bytes, 4), bytes.substr(0, 3));
    EXPECT_EQ(cp936::TruncateBytes(bytes, 2), "a");
    EXPECT_EQ(cp936::TruncateBytes(bytes, 0), "");
}

}  // namespace
}  // namespace qv
