#include "qo/kit/string_utils.h"

#include <algorithm>
#include <cstdint>
#include <locale>
#include <sstream>
#include <utility>

#include "qo/kit/utils.h"

namespace qo::kit::utils {

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

template <typename T>
bool fromStringFloating(const std::string& s, T* value) {
    if (!value || s.empty())
        return false;
    std::istringstream in(s);
    // A host may have switched the global locale's decimal point.
    in.imbue(std::locale::classic());
    T result{};
    in >> result;
    if (in.fail() || !in.eof())
        return false;
    *value = result;
    return true;
}

/** Collects decoding errors, one blank between them. */
class ErrorList {
public:
    explicit ErrorList(std::string* out) : m_out(out) {
        if (m_out)
            m_out->clear();
    }

    void add(const std::string& message) {
        if (!m_out)
            return;
        if (!m_out->empty())
            m_out->push_back(' ');
        m_out->append(message);
    }

private:
    std::string* const m_out;
};

constexpr std::pair<char, char> kSimpleEscapes[] = {
    {'"', '"'},  {'\'', '\''}, {'?', '?'},  {'\\', '\\'}, {'a', '\a'}, {'b', '\b'},
    {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'},  {'v', '\v'}};

/** Decodes the escape whose backslash is at s[i - 1]; returns the index after it. */
size_t decodeEscape(const std::string& s, size_t i, std::string* result, ErrorList* errors) {
    if (i >= s.size()) {
        errors->add("Missing escaped character after the backslash.");
        return i;
    }
    const char c = s[i];
    for (const auto& [letter, value] : kSimpleEscapes) {
        if (c == letter) {
            result->push_back(value);
            return i + 1;
        }
    }

    if (c == 'x') {
        ++i;
        const size_t firstDigit = i;
        unsigned value = 0;
        bool tooBig = false;
        // A hex escape takes every following hex digit, so the value is capped, not accumulated.
        for (int digit; i < s.size() && (digit = digitValue(s[i])) >= 0; ++i) {
            if (!tooBig)
                value = value * 16 + static_cast<unsigned>(digit);
            tooBig = tooBig || value > 255;
        }
        if (i == firstDigit)
            errors->add("Missing hex digits in the hex escape sequence.");
        else if (tooBig)
            errors->add("Hex escape sequence does not fit in one byte.");
        else
            result->push_back(static_cast<char>(value));
        return i;
    }

    if (c >= '0' && c <= '7') {
        unsigned value = 0;
        const size_t end = std::min(s.size(), i + 3);
        for (; i < end && s[i] >= '0' && s[i] <= '7'; ++i)
            value = value * 8 + static_cast<unsigned>(s[i] - '0');
        if (value > 255) {
            errors->add("Octal escape sequence does not fit in one byte: " + std::to_string(value) +
                        ".");
        } else {
            result->push_back(static_cast<char>(value));
        }
        return i;
    }

    // Kept as a C compiler keeps it, so the rest of the text still lines up.
    errors->add("Invalid escaped character " + toString(c) + " after the backslash.");
    result->push_back(c);
    return i + 1;
}

}  // namespace

bool fromString(const std::string& s, int* value) {
    if (!value || s.empty())
        return false;

    size_t i = 0;
    const bool negative = s[0] == '-';
    if (s[0] == '-' || s[0] == '+')
        ++i;

    int base = 10;
    if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i < s.size() && s[i] == '0') {
        base = 8;
    }
    if (i == s.size())
        return false;

    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    uint64_t magnitude = 0;
    for (; i < s.size(); ++i) {
        const int digit = digitValue(s[i]);
        if (digit < 0 || digit >= base)
            return false;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (magnitude > limit)
            return false;
    }
    const int64_t signedValue =
        negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    *value = static_cast<int>(signedValue);
    return true;
}

bool fromString(const std::string& s, bool* value) {
    if (!value)
        return false;
    if (s == "true" || s == "True" || s == "TRUE" || s == "1") {
        *value = true;
        return true;
    }
    if (s == "false" || s == "False" || s == "FALSE" || s == "0") {
        *value = false;
        return true;
    }
    return false;
}

bool fromString(const std::string& s, double* value) {
    return fromStringFloating(s, value);
}

bool fromString(const std::string& s, float* value) {
    return fromStringFloating(s, value);
}

std::string decodeEscapedString(const std::string& s, std::string* outErrorMessage) {
    ErrorList errors(outErrorMessage);
    if (s.empty() || s[0] != '"') {
        errors.add("The string does not start with a quote.");
        return s;
    }

    std::string result;
    size_t i = 1;
    for (;;) {
        if (i >= s.size()) {
            errors.add("Missing the closing quote.");
            return result;
        }
        const char c = s[i];
        if (c == '\\') {
            i = decodeEscape(s, i + 1, &result, &errors);
            continue;
        }
        ++i;
        if (c != '"') {
            const auto code = static_cast<unsigned char>(c);
            if (code < 32 || code == 127)
                errors.add("Found non-printable ASCII character " + toString(c) + ".");
            result.push_back(c);
            continue;
        }

        // Closing quote: only blanks or a further literal may follow.
        while (i < s.size() && s[i] != '\0' && isBlank(s[i]))
            ++i;
        if (i == s.size())
            return result;
        if (s[i] != '"') {
            errors.add("Unexpected trailing after the closing quote.");
            return result;
        }
        ++i;
    }
}

void stringReplaceAllChars(std::string* s, char sample, char replacement) {
    if (s)
        std::replace(s->begin(), s->end(), sample, replacement);
}

void stringInsertAfterEach(std::string* s, char c, const char* insertion) {
    if (!s || !insertion || !*insertion)
        return;
    std::string result;
    result.reserve(s->size());
    for (const char ch : *s) {
        result.push_back(ch);
        if (ch == c)
            result.append(insertion);
    }
    *s = std::move(result);
}

void stringReplaceAll(std::string* s, const std::string& sample, const std::string& replacement) {
    // An empty sample matches without consuming text; with an empty replacement the scan would
    // never advance.
    if (!s || sample.empty())
        return;
    for (size_t pos = s->find(sample); pos != std::string::npos;
         pos = s->find(sample, pos + replacement.size())) {
        s->replace(pos, sample.size(), replacement);
    }
}

bool stringStartsWith(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool stringEndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string trimString(const std::string& s) {
    const auto first = std::find_if_not(s.begin(), s.end(), isBlank);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), isBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string toUpper(const std::string& s) {
    std::string result = s;
    for (char& c : result) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

}  // namespace qo::kit::utils
