// Small value utilities of the kit: renderings of values in C literal syntax (so that logged values
// read back unambiguously, see decodeEscapedString()) and printf-style formatting. The readers and
// text helpers (string_utils.h) and the file and process helpers (file_utils.h) come with this
// header, so one include serves every caller.
//
// Threading: free functions without shared state, except the process-argument list, read once.
#pragma once

#include <cstdio>
#include <string>

#include "qo/kit/file_utils.h"
#include "qo/kit/string_utils.h"

namespace qo::kit::utils {

// ---- Renderings in C literal syntax.

std::string toString(bool b);
std::string toString(const void* ptr);
std::string toString(char c);
std::string toString(const char* s);
std::string toString(const std::string& s);
std::string toString(wchar_t c);
std::string toString(const wchar_t* s);
std::string toString(const std::wstring& s);
inline std::string toString(char* s) {
    return toString(static_cast<const char*>(s));
}
inline std::string toString(void* ptr) {
    return toString(static_cast<const void*>(ptr));
}

/** printf-style formatting; returns the format itself when the C library rejects it. */
template <typename... Args>
std::string format(const std::string& formatString, Args... args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    const int length = std::snprintf(nullptr, 0, formatString.c_str(), args...);
    if (length < 0)
        return formatString;
    std::string result(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(result.data(), result.size(), formatString.c_str(), args...);
#pragma GCC diagnostic pop
    result.resize(static_cast<size_t>(length));
    return result;
}

}  // namespace qo::kit::utils
