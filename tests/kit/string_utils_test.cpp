// Renderings in C literal syntax, their reader decodeEscapedString(), the value readers and the
// text helpers.
#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>
#include <vector>

#include "qo/kit/utils.h"

namespace qo::kit::utils {
namespace {

TEST(Rendering, valuesAreCLiteralsAndFormatFollowsPrintf) {
    EXPECT_EQ(toString(' ') + toString('"') + toString('\'') + toString('\n') + toString('\0') +
                  toString('\x7F') + toString('\x80') + toString('\xFF'),
              R"(' ''"''\'''\x0A''\x00''\x7F''\x80''\xFF')");
    // A hex escape closes and reopens the literal, so no digit after it can be read as its own.
    EXPECT_EQ(toString(std::string("a\001b\x7F\x80\xFF\"\\\r\t\n\a\f\v\0", 15)),
              R"("a\x01""b\x7F""\x80""\xFF""\"\\\r\t\n\x07""\x0C""\x0B""\x00""")");
    EXPECT_EQ(toString(std::string()), R"("")");
    EXPECT_EQ(toString(L'\''), "'\\''");
    EXPECT_EQ(toString(static_cast<wchar_t>(0xFFFF)), "'\\U0000FFFF'");
    EXPECT_EQ(toString(std::wstring{L'a', 0x1F600, static_cast<wchar_t>(-1), WCHAR_MIN, WCHAR_MAX,
                                    L'"', L'\n'}),
              R"("a\U0001F600""\UFFFFFFFF""\U80000000""\U7FFFFFFF""\"\n")");
    EXPECT_EQ(toString(static_cast<const char*>(nullptr)), "null");
    EXPECT_EQ(toString(static_cast<const wchar_t*>(nullptr)), "null");
    EXPECT_EQ(toString(static_cast<const void*>(nullptr)), "null");
    int x = 0;
    EXPECT_EQ(toString(&x), format("%p", static_cast<const void*>(&x)));
    EXPECT_EQ(toString(true) + toString(false), "truefalse");
    EXPECT_EQ(format("%s=%d %02X %u", "a", -42, 0xAB, 4000000000u), "a=-42 AB 4000000000");
    const std::string big(5000, 'z');
    EXPECT_EQ(format("<%s>", big.c_str()), "<" + big + ">");
    EXPECT_EQ(format("%"), "%");  // Rejected by the C library: returned unchanged.
}

TEST(DecodeEscapedString, readsBackEveryRenderedByte) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string alone(1, static_cast<char>(byte));
        all = alone + "0" + all;
        // Between hex and octal digits, so an escape that swallowed them would show.
        for (const std::string& original : {alone, "7" + alone + "Fa0"}) {
            std::string errors = "stale";
            EXPECT_EQ(decodeEscapedString(toString(original), &errors), original) << byte;
            EXPECT_EQ(errors, "") << byte;
        }
    }
    std::string errors;
    EXPECT_EQ(decodeEscapedString(toString(all), &errors), all);
    EXPECT_EQ(errors, "");
}

TEST(DecodeEscapedString, handWrittenLiteralsAndTheirErrors) {
    const std::string missingQuote = "Missing the closing quote.";
    const std::string hexTooBig = "Hex escape sequence does not fit in one byte.";
    const std::string trailing = "Unexpected trailing after the closing quote.";
    const struct {
        std::string literal, decoded, errors;
    } cases[] = {
        {"\"a\" \"b\"\n\t\r\x01\"\"\"c\" \t", "abc", ""},
        {R"("\a\b\f\n\r\t\v\"\'\?\\\101\0\1234\08\x41\x000000000042\xfFz)"
         "caf\xC3\xA9\"",
         "\a\b\f\n\r\t\v\"'?\\A" + std::string{'\0', 'S', '4', '\0', '8'} + "AB\xFFzcaf\xC3\xA9",
         ""},
        {"abc", "abc", "The string does not start with a quote."},
        {"", "", "The string does not start with a quote."},
        {R"("a\x100z")", "az", hexTooBig},
        {"\"\\x" + std::string(100, 'F') + "\"", "", hexTooBig},
        {R"("\xg")", "g", "Missing hex digits in the hex escape sequence."},
        {R"("\777")", "", "Octal escape sequence does not fit in one byte: 511."},
        {R"("\q\8")", "q8",
         "Invalid escaped character 'q' after the backslash. Invalid escaped character '8' "
         "after the backslash."},
        {"\"ab\\", "ab", "Missing escaped character after the backslash. " + missingQuote},
        {"\"abc", "abc", missingQuote},
        {"\"a\" \"b", "ab", missingQuote},
        {"\"a\" b", "a", trailing},
        {std::string("\"a\"\0", 4), "a", trailing},
        {"\"a\tb\x7F\"", "a\tb\x7F",
         "Found non-printable ASCII character '\\x09'. Found non-printable ASCII character "
         "'\\x7F'."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(toString(c.literal));
        std::string errors = "stale";
        EXPECT_EQ(decodeEscapedString(c.literal, &errors), c.decoded);
        EXPECT_EQ(errors, c.errors);
        EXPECT_EQ(decodeEscapedString(c.literal), c.decoded);  // Without an error output.
    }
}

TEST(FromString, acceptsWholeTextsOnlyAndLeavesTheOutputAloneOtherwise) {
    const std::pair<int, std::vector<const char*>> ints[] = {
        {31, {"0x1F", "0X1f", "037", "+31"}},
        {0, {"0", "-0", "00"}},
        {-16, {"-0x10", "-020", "-16"}},
        {INT_MAX, {"2147483647", "0x7FFFFFFF", "017777777777"}},
        {INT_MIN, {"-2147483648", "-0x80000000"}}};
    for (const auto& [expected, texts] : ints) {
        for (const char* text : texts) {
            int value = 12345;
            EXPECT_TRUE(fromString(text, &value) && value == expected) << text << " " << value;
        }
    }
    for (const char* text : {"", "12a", "2147483648", "-2147483649", "0x80000000", "08", "0x", "-",
                             " 5", "5 ", "1.0", "99999999999999999999999", "--1", "0x-1"}) {
        int value = 12345;
        EXPECT_FALSE(fromString(text, &value) || value != 12345) << text;
    }
    for (const char* text : {"true", "True", "TRUE", "1", "false", "False", "FALSE", "0"}) {
        const bool expected = std::string("tT1").find(text[0]) != std::string::npos;
        bool value = !expected;
        EXPECT_TRUE(fromString(text, &value) && value == expected) << text;
    }
    for (const char* text : {"", "yes", "tRUE", "2", " true"}) {
        bool value = true;
        EXPECT_FALSE(fromString(text, &value) || !value) << text;
    }
    double d = 0;
    float f = 0;
    EXPECT_TRUE(fromString("-2.5e3", &d) && d == -2500.0);
    EXPECT_TRUE(fromString("0.25", &f) && f == 0.25f);
    for (const char* text : {"", "abc", "1.5x", "1e999"})
        EXPECT_FALSE(fromString(text, &d)) << text;
    EXPECT_FALSE(fromString("1e39", &f));
    EXPECT_TRUE(d == -2500.0 && f == 0.25f);
    EXPECT_FALSE(fromString("1", static_cast<int*>(nullptr)));
    EXPECT_FALSE(fromString("1", static_cast<double*>(nullptr)));
}

TEST(TextHelpers, replaceInsertTrimAndCompare) {
    std::string s = "a.b.c";
    stringReplaceAllChars(&s, '.', ',');
    stringInsertAfterEach(&s, ',', ",,");  // The insertion is not scanned again.
    EXPECT_EQ(s, "a,,,b,,,c");
    stringInsertAfterEach(&s, ',', nullptr);
    stringReplaceAll(&s, ",", ",,");  // Continues after the replacement.
    EXPECT_EQ(s, "a,,,,,,b,,,,,,c");
    stringReplaceAll(&s, ",,", "");
    stringReplaceAll(&s, "", "-");
    EXPECT_EQ(s, "abc");

    EXPECT_TRUE(stringStartsWith("abc", "ab") && stringStartsWith("abc", ""));
    EXPECT_FALSE(stringStartsWith("ab", "abc"));
    EXPECT_TRUE(stringEndsWith("abc", "bc") && stringEndsWith("", ""));
    EXPECT_FALSE(stringEndsWith("bc", "abc") || stringEndsWith("abc", "ab"));

    EXPECT_EQ(trimString(" \t\r\n "), "");
    EXPECT_EQ(trimString(std::string("\0 a b\x01", 6)), "a b");
    EXPECT_EQ(trimString("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(toUpper("az{`@AZ09\xC3\xA9"), "AZ{`@AZ09\xC3\xA9");
}

}  // namespace
}  // namespace qo::kit::utils
