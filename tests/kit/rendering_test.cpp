#include <climits>
#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "qo/kit/utils.h"

namespace qo::kit::utils {
namespace {

TEST(CharLiteral, printableCharactersAreQuotedAsThemselves) {
    EXPECT_EQ(toString('a'), "'a'");
    EXPECT_EQ(toString(' '), "' '");
    EXPECT_EQ(toString('~'), "'~'");
    EXPECT_EQ(toString('"'), "'\"'");
}

TEST(CharLiteral, singleQuoteIsEscaped) {
    EXPECT_EQ(toString('\''), "'\\''");
}

TEST(CharLiteral, otherBytesAreHexEscapes) {
    EXPECT_EQ(toString('\n'), "'\\x0A'");
    EXPECT_EQ(toString('\0'), "'\\x00'");
    EXPECT_EQ(toString(static_cast<char>(1)), "'\\x01'");
    EXPECT_EQ(toString(static_cast<char>(127)), "'\\x7F'");
    EXPECT_EQ(toString(static_cast<char>(128)), "'\\x80'");
    EXPECT_EQ(toString(static_cast<char>(255)), "'\\xFF'");
}

TEST(StringLiteral, hexEscapeClosesAndReopensTheLiteral) {
    EXPECT_EQ(toString("a\x01"
                       "b"),
              "\"a\\x01\"\"b\"");
    EXPECT_EQ(toString(std::string("\x7F\x80\xFF")), "\"\\x7F\"\"\\x80\"\"\\xFF\"\"\"");
}

TEST(StringLiteral, quoteBackslashAndWhitespaceUseLetterEscapes) {
    EXPECT_EQ(toString("say \"hi\"\\"), "\"say \\\"hi\\\"\\\\\"");
    EXPECT_EQ(toString("\r\t\n"), "\"\\r\\t\\n\"");
}

TEST(StringLiteral, bellFormFeedAndVerticalTabAreHexEscapes) {
    EXPECT_EQ(toString("\a\f\v"), "\"\\x07\"\"\\x0C\"\"\\x0B\"\"\"");
}

TEST(StringLiteral, wholeStringIncludingZeroBytesIsRendered) {
    EXPECT_EQ(toString(std::string("a\0b", 3)), "\"a\\x00\"\"b\"");
    EXPECT_EQ(toString(std::string()), "\"\"");
}

TEST(StringLiteral, nullPointersAreNull) {
    EXPECT_EQ(toString(static_cast<const char*>(nullptr)), "null");
    EXPECT_EQ(toString(static_cast<const wchar_t*>(nullptr)), "null");
    EXPECT_EQ(toString(static_cast<const void*>(nullptr)), "null");
}

TEST(ValueRendering, pointersUseThePercentPForm) {
    int x = 0;
    EXPECT_EQ(toString(&x), format("%p", static_cast<const void*>(&x)));
}

TEST(ValueRendering, booleans) {
    EXPECT_EQ(toString(true), "true");
    EXPECT_EQ(toString(false), "false");
}

TEST(WideRendering, charactersBeyondSixteenBitsAndNegativeOnesUseEightDigits) {
    EXPECT_EQ(toString(L'a'), "'a'");
    EXPECT_EQ(toString(L'\''), "'\\''");
    EXPECT_EQ(toString(static_cast<wchar_t>(0x1F600)), "'\\U0001F600'");
    EXPECT_EQ(toString(static_cast<wchar_t>(0xFFFF)), "'\\U0000FFFF'");
    EXPECT_EQ(toString(static_cast<wchar_t>(-1)), "'\\UFFFFFFFF'");
    EXPECT_EQ(toString(static_cast<wchar_t>(WCHAR_MIN)), "'\\U80000000'");
    EXPECT_EQ(toString(static_cast<wchar_t>(WCHAR_MAX)), "'\\U7FFFFFFF'");
}

TEST(WideRendering, stringsFollowTheNarrowRules) {
    EXPECT_EQ(toString(L"a\U0001F600b\n"), "\"a\\U0001F600\"\"b\\n\"");
    const std::wstring withNegative{L'x', static_cast<wchar_t>(-2), L'"'};
    EXPECT_EQ(toString(withNegative), "\"x\\UFFFFFFFE\"\"\\\"\"");
}

TEST(Format, formatsTheFormsTheLibraryUses) {
    EXPECT_EQ(format("%s=%s", "a", "b"), "a=b");
    EXPECT_EQ(format("%d", -42), "-42");
    EXPECT_EQ(format("%02X", static_cast<unsigned char>(0xAB)), "AB");
    EXPECT_EQ(format("%u", 4000000000u), "4000000000");
    EXPECT_EQ(format("no arguments"), "no arguments");
}

TEST(Format, longResultsAreNotTruncated) {
    const std::string big(5000, 'z');
    EXPECT_EQ(format("<%s>", big.c_str()), "<" + big + ">");
}

TEST(Format, rejectedFormatIsReturnedUnchanged) {
    EXPECT_EQ(format("%"), "%");
}

}  // namespace
}  // namespace qo::kit::utils
