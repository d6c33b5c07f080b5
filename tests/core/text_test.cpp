#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "core/errors.h"
#include "core/text/command_line.h"
#include "core/text/number_text.h"
#include "core/text/path_strings.h"

namespace qv {
namespace {

TEST(PathStrings, BackslashHelpers) {
    EXPECT_EQ(AppendBackslash(""), "");
    EXPECT_EQ(AppendBackslash("C:\\APP"), "C:\\APP\\");
    EXPECT_EQ(AppendBackslash("C:\\"), "C:\\");
    EXPECT_EQ(StripBackslash("C:\\"), "C:");
    EXPECT_EQ(StripBackslash("C:\\APP\\\\"), "C:\\APP\\");
    EXPECT_EQ(StripBackslashKeepRoot("C:\\"), "C:\\");
    EXPECT_EQ(StripBackslashKeepRoot("C:\\APP\\"), "C:\\APP");
    EXPECT_EQ(StripBackslashKeepRoot("\\"), "\\");
    EXPECT_EQ(StripBackslashKeepRoot("A\\"), "A");
    EXPECT_EQ(ExtractFileDir("C:\\SETUP\\SETUP.EXE"), "C:\\SETUP\\");
    EXPECT_EQ(ExtractFileDir("D:SETUP.1"), "D:");
    EXPECT_EQ(ExtractFileDir("data.bin"), "");
    EXPECT_EQ(ExtractFileDrive("C:\\WINDOWS"), "C:");
    EXPECT_EQ(ExtractFileDrive("\\\\server\\x"), "");
}

TEST(PathStrings, QuoteIfSpaces) {
    EXPECT_EQ(QuoteIfSpaces("  C:\\Program Files\\a.exe \t"), "\"C:\\Program Files\\a.exe\"");
    EXPECT_EQ(QuoteIfSpaces("\"C:\\My App\\a.exe\""), "\"C:\\My App\\a.exe\"");
    EXPECT_EQ(QuoteIfSpaces(" C:\\APP\\a.exe "), "C:\\APP\\a.exe");
    EXPECT_EQ(QuoteIfSpaces("\""), "\"");
}

TEST(PathStrings, StringReplaceAllNeverRescansReplacement) {
    std::string s = "[name] and [name]";
    StringReplaceAll(s, "[name]", "x[name]y");
    EXPECT_EQ(s, "x[name]y and x[name]y");
    std::string t = "aaa";
    StringReplaceAll(t, "a", "");
    EXPECT_EQ(t, "");
    std::string u = "abc";
    StringReplaceAll(u, "", "x");
    EXPECT_EQ(u, "abc");
    std::string v = "[NAME]";
    StringReplaceAll(v, "[name]", "x");
    EXPECT_EQ(v, "[NAME]");
}

TEST(PathStrings, SpaceOutCharsAndDigits) {
    EXPECT_EQ(SpaceOutChars("/:*?"), "/ : * ?");
    EXPECT_EQ(SpaceOutChars("a b"), "a b");
    EXPECT_EQ(SpaceOutChars(""), "");
    EXPECT_EQ(Base32Digits(0), "00000");
    EXPECT_EQ(Base32Digits(31), "0000V");
    EXPECT_EQ(Base32Digits(32), "00010");
    EXPECT_EQ(Base32Digits(0x1FFFFFF), "VVVVV");
    EXPECT_EQ(Base32Digits(0x2000000 | 5), "00005");  // bit 25 and up ignored
    EXPECT_EQ(MinorVersionText(0), "0");
    EXPECT_EQ(MinorVersionText(10), "1");
    EXPECT_EQ(MinorVersionText(51), "51");
    EXPECT_EQ(MinorVersionText(1), "01");
    EXPECT_EQ(MinorVersionText(100), "1");
}

// The logs, file names and messages wrote these numbers with printf before;
// the C library stays the judge of what they must look like.
TEST(NumberText, WritesWhatPrintfWrote) {
    const long long values[] = {0, 1, 7, 10, 255, 4096, 999, -1, -42, 0x7FFFFFFF, LLONG_MIN, LLONG_MAX};
    char expected[80];
    for (const long long v : values) {
        const auto u = static_cast<unsigned long long>(v);
        for (const int digits : {0, 1, 2, 3, 8, 20}) {
            std::snprintf(expected, sizeof expected, "%.*lld", digits, v);
            EXPECT_EQ(SignedDigits(v, digits), expected) << v << " " << digits;
            std::snprintf(expected, sizeof expected, "%.*llu", digits, u);
            EXPECT_EQ(UnsignedDigits(u, digits), expected) << v << " " << digits;
            std::snprintf(expected, sizeof expected, "%.*llX", digits, u);
            EXPECT_EQ(HexDigits(u, digits), expected) << v << " " << digits;
            std::snprintf(expected, sizeof expected, "%.*llx", digits, u);
            EXPECT_EQ(HexDigits(u, digits, HexLetters::Lower), expected) << v << " " << digits;
        }
    }
    for (const double ms : {0.0, 0.04, 0.05, 0.96, 12.34, 99.99, 123456.7}) {
        std::snprintf(expected, sizeof expected, "%.1f", ms);
        EXPECT_EQ(DecimalTenths(ms), expected) << ms;
    }
}

TEST(CommandLine, TailSkipsQuotedProgramPath) {
    EXPECT_EQ(CommandLineTail("\"C:\\Program Files\\Setup.exe\" /SL"), "/SL");
    EXPECT_EQ(CommandLineTail("setup.exe    /DIR=x"), "/DIR=x");
    EXPECT_EQ(CommandLineTail("setup.exe"), "");
    EXPECT_EQ(SplitParams(CommandLineTail("\"C:\\Program Files\\Setup.exe\" /SL")).size(), 1u);
}

TEST(CommandLine, ExtractNextParamQuotesAndEmptyPairs) {
    const std::string text = "  \"\"   /DIR=\"C:\\My Folder\" x";
    std::string param;
    std::size_t pos = ExtractNextParam(text, 0, param);
    EXPECT_EQ(param, "/DIR=C:\\My Folder");
    pos = ExtractNextParam(text, pos, param);
    EXPECT_EQ(param, "x");
    ExtractNextParam(text, pos, param);
    EXPECT_EQ(param, "");

    EXPECT_EQ(SplitParams("\"C:\\My Dir\"\\SUB"), std::vector<std::string>{"C:\\My Dir\\SUB"});
    EXPECT_EQ(SplitParams("a\tb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitParams("\"unterminated run"), std::vector<std::string>{"unterminated run"});
}

TEST(CommandLine, ParameterLengthIsBounded) {
    const std::string longText(5000, 'a');
    std::string param;
    const std::size_t pos = ExtractNextParam(longText, 0, param);
    EXPECT_EQ(param.size(), kMaxParamLength);
    EXPECT_EQ(pos, kMaxParamLength);
    std::string quoted = "\"" + std::string(5000, 'b') + "\"";
    ExtractNextParam(quoted, 0, param);
    EXPECT_EQ(param.size(), kMaxParamLength);
}

TEST(StrToInt, SignedDecimalAndErrors) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("-12"), -12);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_THROW(StrToInt("2147483648"), EConvertError);
    EXPECT_THROW(StrToInt("12a"), EConvertError);
    EXPECT_THROW(StrToInt(""), EConvertError);
    EXPECT_THROW(StrToInt("-"), EConvertError);
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}

TEST(Errors, RunTimeTexts) {
    EXPECT_STREQ(EInOutError(2).what(), "File not found");
    EXPECT_STREQ(EInOutError(100).what(), "Read beyond end of file");
    EXPECT_STREQ(EInOutError(101).what(), "Disk full");
    EXPECT_STREQ(EInOutError(32).what(), "I/O error 32");
    EXPECT_STREQ(EZlibInternalError(-2).what(), "内部错误。代码：-2");
    EXPECT_STREQ(EZlibDataError().what(), "压缩数据已损坏。");
}

}  // namespace
}  // namespace qv
