// Renderings of server-side values for diagnostics: strings, string maps and device information as
// plain or JSON-like text, with texts in C literal syntax. The device password is never read.
//
// Threading: free functions without shared state.
#pragma once

#include <string>

#include "qo/sdk/i_device_info.h"
#include "qo/sdk/i_string.h"
#include "qo/sdk/i_string_map.h"

namespace qo::sdk {

/** overallIndent spaces, then four per level; negative amounts count as 0. */
std::string indent(int overallIndent, int level);

/** The text; empty for null. */
std::string toString(const IString* string);

/** One line per entry: [key]: value; empty for null or for an empty map. */
std::string toString(const IStringMap* map, int overallIndent = 0);

/** [ { "name": key, "value": value }, ... ]; a null map is reported and gives "[]\n". */
std::string toJsonString(const IStringMap* map, int overallIndent = 0);

/** Every field of the device information except the password, which shows as "_hidden_". */
std::string toJsonString(const IDeviceInfo* deviceInfo, int overallIndent = 0);

}  // namespace qo::sdk
