// Object and event types as a report shows them: without the plugin's "qo.lumo." prefix, and
// counted per type in one line ("Car 4, Human 2").
//
// Pure functions; any thread.
#pragma once

#include <map>
#include <string>

namespace lumo::host {

inline std::string shortType(const std::string& typeId) {
    static constexpr char kTypePrefix[] = "qo.lumo.";
    return typeId.rfind(kTypePrefix, 0) == 0 ? typeId.substr(sizeof kTypePrefix - 1) : typeId;
}

/** "Car 4, Human 2" for the counts by type id; "none" when there are none. */
inline std::string listOf(const std::map<std::string, int>& counts) {
    std::string text;
    for (const auto& [typeId, count] : counts)
        text += (text.empty() ? "" : ", ") + shortType(typeId) + " " + std::to_string(count);
    return text.empty() ? "none" : text;
}

}  // namespace lumo::host
