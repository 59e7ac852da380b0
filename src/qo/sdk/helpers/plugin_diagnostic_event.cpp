#include "qo/sdk/helpers/plugin_diagnostic_event.h"

#include "qo/kit/debug.h"
#include "qo/kit/utils.h"

namespace qo::sdk {

std::string PluginDiagnosticEvent::levelToString(Level level) {
    switch (level) {
        case Level::info:
            return "info";
        case Level::warning:
            return "warning";
        case Level::error:
            return "error";
    }
    QO_ASSERT(false, "");
    return kit::utils::format("unknown(%d)", static_cast<int>(level));
}

std::string PluginDiagnosticEvent::toString() const {
    static const std::string kIndent = "    ";
    using kit::utils::toString;
    return "{\n" + kIndent + "\"level\": " + toString(levelToString(m_level)) + ",\n" + kIndent +
           "\"caption\": " + toString(m_caption) + ",\n" + kIndent +
           "\"description\": " + toString(m_description) + "\n}";
}

}  // namespace qo::sdk
