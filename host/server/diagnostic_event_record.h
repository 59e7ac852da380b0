// DiagnosticEventRecord: a copy of a diagnostic event the plugin sent to the server, kept after
// the plugin's object is gone.
//
// Threading: a plain value.
#pragma once

#include <string>

#include "qo/sdk/i_plugin_diagnostic_event.h"

namespace lumo::host {

struct DiagnosticEventRecord {
    qo::sdk::IPluginDiagnosticEvent::Level level = qo::sdk::IPluginDiagnosticEvent::Level::info;
    std::string caption;
    std::string description;

    static DiagnosticEventRecord from(const qo::sdk::IPluginDiagnosticEvent& event) {
        const char* caption = event.caption();
        const char* description = event.description();
        return {event.level(), caption ? caption : "", description ? description : ""};
    }
};

}  // namespace lumo::host
