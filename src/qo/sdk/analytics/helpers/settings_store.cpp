#include "qo/sdk/analytics/helpers/settings_store.h"

#include "qo/kit/utils.h"

namespace qo::sdk::analytics {

bool SettingsStore::merge(const IStringMap* settings) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log.convertAndOutputStringMap(&m_settings, settings, "Received settings", 0);
}

std::string SettingsStore::value(const std::string& settingName) const {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_settings.find(settingName);
        if (it != m_settings.end())
            return it->second;
    }
    m_log.print("ERROR: Requested setting " + kit::utils::toString(settingName) +
                " is missing; implying empty string.");
    return "";
}

SettingsStore::Map SettingsStore::all() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_settings;
}

}  // namespace qo::sdk::analytics
