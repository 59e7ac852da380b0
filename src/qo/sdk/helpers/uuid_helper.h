// UuidHelper: the text form of a Uuid (hexadecimal digits, optionally upper case, hyphenated and
// braced) and random version-4 UUIDs, the track ids of objects and events.
//
// Threading: stateless, except randomUuid(), whose one process-wide generator is created once and
// drawn from under its own mutex; every function may be called from any thread.
#pragma once

#include <string>

#include "qo/sdk/uuid.h"

namespace qo::sdk {

class UuidHelper {
public:
    /** Bit flags; combine with |. */
    enum class FormatOptions : int {
        none = 0,
        uppercase = 1,  // Upper-case hexadecimal digits.
        hyphens = 2,    // "-" after bytes 4, 6, 8 and 10.
        braces = 4,     // Enclosing "{" and "}".
        all = 0xFF,
    };

    /** 32 digits in storage order, decorated as the options ask; 38 characters with all. */
    static std::string toStdString(const Uuid& uuid,
                                   FormatOptions formatOptions = FormatOptions::all);

    /**
     * Reads 16 bytes written as pairs of hexadecimal digits; "{", "}", "-" and white space between
     * them are ignored. Anything else, or a count of digits other than 32, gives the null UUID.
     */
    static Uuid fromStdString(const std::string& text);

    /** A random RFC 4122 version-4 UUID. */
    static Uuid randomUuid();
};

constexpr UuidHelper::FormatOptions operator|(UuidHelper::FormatOptions a,
                                              UuidHelper::FormatOptions b) {
    return static_cast<UuidHelper::FormatOptions>(static_cast<int>(a) | static_cast<int>(b));
}

constexpr UuidHelper::FormatOptions operator&(UuidHelper::FormatOptions a,
                                              UuidHelper::FormatOptions b) {
    return static_cast<UuidHelper::FormatOptions>(static_cast<int>(a) & static_cast<int>(b));
}

}  // namespace qo::sdk
