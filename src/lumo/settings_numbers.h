// Numbers in texts from the server and the camera, read without exceptions: those texts are
// handled on threads where an escaping exception would end the server, so every reader of the
// integration reports a text that holds no number by an empty result, never by throwing.
//
// All functions are pure and may run on any number of threads at once.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace qo::vms_server_plugins::analytics::lumo {

namespace numbers_detail {

inline bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/** Where the number starts: past leading blanks and a '+' (a '-' is left to from_chars). */
inline const char* numberStart(const char* p, const char* end) {
    while (p < end && isBlank(*p))
        ++p;
    if (p + 1 < end && *p == '+' && *(p + 1) != '-')
        ++p;
    return p;
}

}  // namespace numbers_detail

/**
 * Reads a decimal whole number the way the C library does: leading blanks and a sign accepted,
 * reading stops at the first non-digit. Nothing when there are no digits or the number does not
 * fit in 32 bits. `used`, when given, receives the characters read up to the last digit.
 */
inline std::optional<int32_t> parseWholeNumber(std::string_view text, size_t* used = nullptr) {
    const char* const end = text.data() + text.size();
    const char* const start = numbers_detail::numberStart(text.data(), end);
    int32_t value = 0;
    const auto [last, error] = std::from_chars(start, end, value, 10);
    if (error != std::errc())
        return std::nullopt;
    if (used)
        *used = static_cast<size_t>(last - text.data());
    return value;
}

/**
 * Reads a decimal number as a float, leading blanks and a sign accepted, stopping where the number
 * ends; nothing when the text starts with no number or the number leaves the float's range.
 * Independent of the process locale.
 */
inline std::optional<float> parseDecimal(std::string_view text) {
    const char* const end = text.data() + text.size();
    const char* const start = numbers_detail::numberStart(text.data(), end);
    float value = 0.0F;
    const auto result = std::from_chars(start, end, value, std::chars_format::general);
    if (result.ec != std::errc())
        return std::nullopt;
    return value;
}

/** The timestamp offset of a calibration value (steps of 50 ms), or nothing if not a 32-bit one. */
std::optional<int32_t> calibrationOffsetUs(const std::string& text);

}  // namespace qo::vms_server_plugins::analytics::lumo
