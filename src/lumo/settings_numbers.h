// Whole numbers in settings values, read without exceptions: the values come from the server or
// the camera and are handled on threads where an escaping exception would end the server.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qo::vms_server_plugins::analytics::lumo {

/**
 * Reads a decimal whole number as the standard conversion does (leading blanks and a sign accepted,
 * reading stops at the first non-digit); nothing when there are no digits or the number does not
 * fit in 32 bits.
 */
std::optional<int32_t> parseWholeNumber(const std::string& text);

/** The timestamp offset of a calibration value (steps of 50 ms), or nothing if not a 32-bit one. */
std::optional<int32_t> calibrationOffsetUs(const std::string& text);

}  // namespace qo::vms_server_plugins::analytics::lumo
