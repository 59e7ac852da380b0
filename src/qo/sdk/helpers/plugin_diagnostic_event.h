// PluginDiagnosticEvent: the library's IPluginDiagnosticEvent, a message for the server's
// operator, with a JSON-like rendering for the log.
//
// Threading: filled by one thread before it is handed over, read-only afterwards.
#pragma once

#include <string>

#include "qo/sdk/i_plugin_diagnostic_event.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk {

class PluginDiagnosticEvent : public RefCountable<IPluginDiagnosticEvent> {
public:
    PluginDiagnosticEvent(Level level, std::string caption, std::string description)
        : m_level(level), m_caption(std::move(caption)), m_description(std::move(description)) {}

    Level level() const override { return m_level; }
    const char* caption() const override { return m_caption.c_str(); }
    const char* description() const override { return m_description.c_str(); }

    void setLevel(Level level) { m_level = level; }
    void setCaption(std::string caption) { m_caption = std::move(caption); }
    void setDescription(std::string description) { m_description = std::move(description); }

    /** "{\n    \"level\": ...,\n    \"caption\": ...,\n    \"description\": ...\n}". */
    std::string toString() const;

    /** "info", "warning", "error"; other values are reported and named "unknown(N)". */
    static std::string levelToString(Level level);

private:
    Level m_level;
    std::string m_caption;
    std::string m_description;
};

}  // namespace qo::sdk
