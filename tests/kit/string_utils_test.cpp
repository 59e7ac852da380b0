// Renderings in C literal syntax, their reader decodeEscapedString(), the value readers and the
// text helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qo/kit/utils.h"

namespace qo::kit::utils {
namespace {

TEST(Rendering, valuesAreCLiteralsAndFormatFollowsPrintf) {
    EXPECT_EQ(toString('\'') + toString('\n') + toString('\xFF'), R"('\'''\x0A''\xFF')");
    // A hex escape closes and reopens the literal, so no digit after it can be read as its own.
    EXPECT_EQ(toString(std::string("a\001b\x7F\"\\\r\t\n\a\0", 11)),
              R"("a\x01""b\x7F""\"\\\r\t\n\x07""\x00""")");
    EXPECT_EQ(toString(std::wstring{L'a', 0x1F600, static_cast<wchar_t>(-1), L'"'}),
              R"("a\U0001F600""\UFFFFFFFF""\"")");
    EXPECT_EQ(toString(static_cast<const char*>(nullptr)) +
                  toString(static_cast<const wchar_t*>(nullptr)) + toString(true) + toString(false),
              "nullnulltruefalse");
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
            EXPECT_EQ(decodeEscapedString(toString(original), &errors) + errors, original) << byte;
        }
    }
    std::string errors;
    EXPECT_EQ(decodeEscapedString(toString(all), &errors) + errors, all);
}

TEST(DecodeEscapedString, handWrittenLiteralsAndTheirErrors) {
    const struct {
        std::string literal, decoded, errors;
    } cases[] = {
        {"\"a\" \"b\"\n\t\r\x01\"\"\"c\" \t", "abc", ""},
        {R"("\a\b\f\n\r\t\v\"\'\?\\\101\0\1234\08\x41\x000000000042\xfFz)"
         "caf\xC3\xA9\"",
         "\a\b\f\n\r\t\v\"'?\\A" + std::string{'\0', 'S', '4', '\0', '8'} + "AB\xFFzcaf\xC3\xA9",
         ""},
        {"abc", "abc", "The string does not start with a quote."},
        {R"("a\x100z")", "az", "Hex escape sequence does not fit in one byte."},
        {R"("\777")", "", "Octal escape sequence does not fit in one byte: 511."},
        {R"("\q\8")", "q8",
         "Invalid escaped character 'q' after the backslash. Invalid escaped character '8' "
         "after the backslash."},
        {"\"ab\\", "ab",
         "Missing escaped character after the backslash. Missing the closing quote."},
        {std::string("\"a\"\0", 4), "a", "Unexpected trailing after the closing quote."},
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
    int i = 0;
    EXPECT_TRUE(fromString("-0x10", &i) && i == -16 && fromString("037", &i) && i == 31);
    for (const char* text : {"", "12a", "2147483648", "08", " 5", "1.0"}) {
        int value = 12345;
        EXPECT_FALSE(fromString(text, &value) || value != 12345) << text;
    }
    bool flag = false;
    EXPECT_TRUE(fromString("True", &flag) && flag && fromString("0", &flag) && !flag);
    EXPECT_FALSE(fromString("tRUE", &flag) || fromString("2", &flag) || flag);
    double d = 0;
    float f = 0;
    EXPECT_TRUE(fromString("-2.5e3", &d) && d == -2500.0 && fromString("0.25", &f));
    EXPECT_FALSE(fromString("1.5x", &d) || fromString("1e999", &d) || fromString("1e39", &f));
    EXPECT_TRUE(d == -2500.0 && f == 0.25f);
    EXPECT_FALSE(fromString("1", static_cast<int*>(nullptr)));
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
    EXPECT_FALSE(stringStartsWith("ab", "abc") || stringEndsWith("abc", "ab"));
    EXPECT_EQ(trimString(std::string("\0 a b\x01", 6)), "a b");
    EXPECT_EQ(toUpper("az{`@AZ09\xC3\xA9"), "AZ{`@AZ09\xC3\xA9");
}

}  // namespace
}  // namespace qo::kit::utils
