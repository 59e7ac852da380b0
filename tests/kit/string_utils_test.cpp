#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qo/kit/utils.h"

namespace qo::kit::utils {
namespace {

std::string byteString(int byte) {
    return std::string(1, static_cast<char>(byte));
}

// ---- decodeEscapedString reads back what toString writes.

TEST(DecodeRoundTrip, everyByteAlone) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string original = byteString(byte);
        std::string errors = "stale";
        EXPECT_EQ(decodeEscapedString(toString(original), &errors), original) << "byte " << byte;
        EXPECT_EQ(errors, "") << "byte " << byte;
    }
}

TEST(DecodeRoundTrip, everyByteBetweenHexAndOctalDigits) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string original = "7" + byteString(byte) + "Fa0";
        std::string errors;
        EXPECT_EQ(decodeEscapedString(toString(original), &errors), original) << "byte " << byte;
        EXPECT_EQ(errors, "") << "byte " << byte;
    }
}

TEST(DecodeRoundTrip, allBytesInOneText) {
    std::string original;
    for (int byte = 255; byte >= 0; --byte)
        original += byteString(byte) + "0";
    std::string errors;
    EXPECT_EQ(decodeEscapedString(toString(original), &errors), original);
    EXPECT_EQ(errors, "");
}

// ---- decodeEscapedString of hand-written literals.

struct DecodeCase {
    std::string literal;
    std::string decoded;
    std::string errors;
};

void expectDecodes(const std::vector<DecodeCase>& cases) {
    for (const DecodeCase& c : cases) {
        std::string errors = "stale";
        EXPECT_EQ(decodeEscapedString(c.literal, &errors), c.decoded) << toString(c.literal);
        EXPECT_EQ(errors, c.errors) << toString(c.literal);
    }
}

TEST(DecodeEscapedString, wellFormedLiterals) {
    expectDecodes({
        {"\"a\" \"b\"", "ab", ""},
        {"\"a\"\n\t\r\x01\"\"\"c\"", "ac", ""},
        {"\"\" \t", "", ""},
        {R"("\a\b\f\n\r\t\v\"\'\?\\")", "\a\b\f\n\r\t\v\"'?\\", ""},
        {R"("\101\0\1234\08")", std::string{'A', '\0', 'S', '4', '\0', '8'}, ""},
        {R"("\x41\x000000000042\xfFz")", "AB\xFFz", ""},
        {"\"caf\xC3\xA9\"", "caf\xC3\xA9", ""},
    });
}

TEST(DecodeEscapedString, malformedLiteralsAreReportedAndDecodedAsFarAsPossible) {
    expectDecodes({
        {"abc", "abc", "The string does not start with a quote."},
        {"", "", "The string does not start with a quote."},
        {R"("a\x100z")", "az", "Hex escape sequence does not fit in one byte."},
        {"\"\\x" + std::string(100, 'F') + "\"", "",
         "Hex escape sequence does not fit in one byte."},
        {R"("\xg")", "g", "Missing hex digits in the hex escape sequence."},
        {R"("\777")", "", "Octal escape sequence does not fit in one byte: 511."},
        {R"("\q\8")", "q8",
         "Invalid escaped character 'q' after the backslash. "
         "Invalid escaped character '8' after the backslash."},
        {"\"ab\\", "ab",
         "Missing escaped character after the backslash. Missing the closing quote."},
        {"\"abc", "abc", "Missing the closing quote."},
        {"\"a\" \"b", "ab", "Missing the closing quote."},
        {"\"a\" b", "a", "Unexpected trailing after the closing quote."},
        {std::string("\"a\"\0", 4), "a", "Unexpected trailing after the closing quote."},
        {"\"a\tb\x7F\"", "a\tb\x7F",
         "Found non-printable ASCII character '\\x09'. "
         "Found non-printable ASCII character '\\x7F'."},
    });
}

TEST(DecodeEscapedString, worksWithoutAnErrorOutput) {
    EXPECT_EQ(decodeEscapedString("\"a\\q\" x"), "aq");
}

// ---- fromString

TEST(IntFromString, acceptsCNotationWithinInt32) {
    const std::pair<const char*, int> cases[] = {{"0x1F", 31},
                                                 {"0X1f", 31},
                                                 {"017", 15},
                                                 {"0", 0},
                                                 {"-0", 0},
                                                 {"+5", 5},
                                                 {"-0x10", -16},
                                                 {"2147483647", 2147483647},
                                                 {"-2147483648", -2147483647 - 1},
                                                 {"0x7FFFFFFF", 2147483647}};
    for (const auto& [text, expected] : cases) {
        int value = 12345;
        EXPECT_TRUE(fromString(text, &value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

TEST(IntFromString, rejectsOtherTextAndLeavesTheOutputAlone) {
    for (const char* text : {"", "12a", "2147483648", "-2147483649", "0x80000000", "08", "0x", "-",
                             " 5", "5 ", "1.0", "99999999999999999999999", "--1", "0x-1"}) {
        int value = 12345;
        EXPECT_FALSE(fromString(text, &value)) << text;
        EXPECT_EQ(value, 12345) << text;
    }
    EXPECT_FALSE(fromString("1", static_cast<int*>(nullptr)));
}

TEST(BoolFromString, acceptsTheThreeSpellingsAndDigits) {
    for (const char* text : {"true", "True", "TRUE", "1"}) {
        bool value = false;
        EXPECT_TRUE(fromString(text, &value)) << text;
        EXPECT_TRUE(value) << text;
    }
    for (const char* text : {"false", "False", "FALSE", "0"}) {
        bool value = true;
        EXPECT_TRUE(fromString(text, &value)) << text;
        EXPECT_FALSE(value) << text;
    }
    for (const char* text : {"", "yes", "tRUE", "2", " true"}) {
        bool value = true;
        EXPECT_FALSE(fromString(text, &value)) << text;
        EXPECT_TRUE(value) << text;
    }
}

TEST(FloatingFromString, readsWholeNumbersOnly) {
    double d = 0;
    EXPECT_TRUE(fromString("-2.5e3", &d));
    EXPECT_EQ(d, -2500.0);
    float f = 0;
    EXPECT_TRUE(fromString("0.25", &f));
    EXPECT_EQ(f, 0.25f);

    d = 7;
    for (const char* text : {"", "abc", "1.5x", "1e999"})
        EXPECT_FALSE(fromString(text, &d)) << text;
    EXPECT_EQ(d, 7);
    f = 7;
    EXPECT_FALSE(fromString("1e39", &f));
    EXPECT_EQ(f, 7);
    EXPECT_FALSE(fromString("1", static_cast<double*>(nullptr)));
}

// ---- Text helpers

TEST(TextHelpers, replaceAllChars) {
    std::string s = "a.b.c";
    stringReplaceAllChars(&s, '.', '/');
    EXPECT_EQ(s, "a/b/c");
}

TEST(TextHelpers, insertAfterEachDoesNotRescanTheInsertion) {
    std::string s = "a,b,";
    stringInsertAfterEach(&s, ',', ",,");
    EXPECT_EQ(s, "a,,,b,,,");
    stringInsertAfterEach(&s, ',', nullptr);
    EXPECT_EQ(s, "a,,,b,,,");
}

TEST(TextHelpers, replaceAllContinuesAfterTheReplacement) {
    std::string s = "aXa";
    stringReplaceAll(&s, "a", "aa");
    EXPECT_EQ(s, "aaXaa");
    stringReplaceAll(&s, "aa", "");
    EXPECT_EQ(s, "X");
}

TEST(TextHelpers, replaceAllWithAnEmptySampleChangesNothing) {
    std::string s = "abc";
    stringReplaceAll(&s, "", "");
    stringReplaceAll(&s, "", "-");
    EXPECT_EQ(s, "abc");
}

TEST(TextHelpers, startsAndEndsWith) {
    EXPECT_TRUE(stringStartsWith("abc", "ab"));
    EXPECT_TRUE(stringStartsWith("abc", ""));
    EXPECT_FALSE(stringStartsWith("ab", "abc"));
    EXPECT_TRUE(stringEndsWith("abc", "bc"));
    EXPECT_TRUE(stringEndsWith("", ""));
    EXPECT_FALSE(stringEndsWith("bc", "abc"));
    EXPECT_FALSE(stringEndsWith("abc", "ab"));
}

TEST(TextHelpers, trimRemovesControlBytesAndBlanksOnly) {
    EXPECT_EQ(trimString(""), "");
    EXPECT_EQ(trimString(" \t\r\n "), "");
    EXPECT_EQ(trimString(std::string("\0 a b\x01", 6)), "a b");
    EXPECT_EQ(trimString("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
}

TEST(TextHelpers, toUpperChangesAsciiLettersOnly) {
    EXPECT_EQ(toUpper("az{`@AZ09\xC3\xA9"), "AZ{`@AZ09\xC3\xA9");
}

}  // namespace
}  // namespace qo::kit::utils
