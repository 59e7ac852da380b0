// Taking results apart: every reference a result record carries (its value, its error message)
// belongs to the server once the call returns. These helpers read them and release them, so a
// caller cannot forget one.
//
// Threading: free functions without shared state.
#pragma once

#include <map>
#include <string>

#include "qo/sdk/i_settings_response.h"
#include "qo/sdk/i_string_map.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/result.h"

namespace lumo::host {

/**
 * Releases the error message, if any, and leaves the error without one.
 * @return Empty for success; otherwise the code's name, ": " and the message.
 */
std::string takeError(qo::sdk::Error* error);

/** The value of a result as an owning pointer, which takes over the value's reference. */
template <class T>
qo::sdk::Ptr<T> takeValue(qo::sdk::Result<T*>* result) {
    T* const value = result->value;
    result->value = nullptr;
    return qo::sdk::Ptr<T>(value);
}

/** The text of a string the caller owns a reference to, which is released. */
std::string takeText(const qo::sdk::IString* text);

/** A copy of a map; null gives an empty map. The map is only read. */
std::map<std::string, std::string> toStdMap(const qo::sdk::IStringMap* map);

/** The parts of a settings response, read through its interface. */
struct SettingsResponseContents {
    std::map<std::string, std::string> values;
    std::map<std::string, std::string> errors;
    bool hasModel = false;
    std::string model;
};

/** Reads a response (null gives empty contents); the references it hands out are released. */
SettingsResponseContents readSettingsResponse(const qo::sdk::ISettingsResponse* response);

}  // namespace lumo::host
