#include "qo/kit/utils.h"

#include <cstdio>

namespace qo::kit::utils {

namespace {

template <typename Char>
bool isPrintable(Char c) {
    return c >= 32 && c <= 126;
}

template <typename Char>
std::string hexEscape(Char c) {
    if constexpr (sizeof(Char) == 1)
        return format("\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
    else
        return format("\\U%08X", static_cast<unsigned>(c));
}

template <typename Char>
std::string charLiteral(Char c) {
    if (c == '\'')
        return "'\\''";
    if (isPrintable(c))
        return std::string("'") + static_cast<char>(c) + "'";
    return "'" + hexEscape(c) + "'";
}

template <typename Char>
std::string stringLiteral(const Char* s, size_t size) {
    std::string result = "\"";
    for (size_t i = 0; i < size; ++i) {
        const Char c = s[i];
        switch (c) {
            case '\r':
                result += "\\r";
                break;
            case '\t':
                result += "\\t";
                break;
            case '\n':
                result += "\\n";
                break;
            case '"':
                result += "\\\"";
                break;
            case '\\':
                result += "\\\\";
                break;
            default:
                if (isPrintable(c))
                    result += static_cast<char>(c);
                else
                    result +=
                        hexEscape(c) + "\"\"";  // Keeps a following hex digit out of the escape.
        }
    }
    return result + "\"";
}

}  // namespace

std::string toString(bool b) {
    return b ? "true" : "false";
}

std::string toString(const void* ptr) {
    if (!ptr)
        return "null";
    return format("%p", ptr);
}

std::string toString(char c) {
    return charLiteral(c);
}

std::string toString(const char* s) {
    if (!s)
        return "null";
    return stringLiteral(s, std::char_traits<char>::length(s));
}

std::string toString(const std::string& s) {
    return stringLiteral(s.data(), s.size());
}

std::string toString(wchar_t c) {
    return charLiteral(c);
}

std::string toString(const wchar_t* s) {
    if (!s)
        return "null";
    return stringLiteral(s, std::char_traits<wchar_t>::length(s));
}

std::string toString(const std::wstring& s) {
    return stringLiteral(s.data(), s.size());
}

}  // namespace qo::kit::utils
