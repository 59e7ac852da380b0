// SettingsStore: the settings of the engine and device-agent base classes. Each map the server
// sends is merged into the settings held so far; the derived class reads one value or all of
// them.
//
// Every line it writes goes through its owner's log, so it carries the owner's print prefix.
//
// Threading: any thread may call any member; m_mutex guards the settings. The owner changes its
// log's print prefix only while no other thread uses the store.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "qo/sdk/helpers/log_utils.h"
#include "qo/sdk/i_string_map.h"

namespace qo::sdk::analytics {

class SettingsStore {
public:
    using Map = std::map<std::string, std::string>;

    /** @param log The owner's log, which outlives the store. */
    explicit SettingsStore(const LogUtils& log) : m_log(log) {}

    /**
     * Merges the server's map into the settings, printed under "Received settings" when output
     * is on. A null or malformed map is reported and leaves the settings as they were.
     *
     * @return Whether the map was taken.
     */
    bool merge(const IStringMap* settings);

    /** The stored value; a missing setting is reported and reads as the empty string. */
    std::string value(const std::string& settingName) const;

    Map all() const;

private:
    const LogUtils& m_log;
    mutable std::mutex m_mutex;
    Map m_settings;  // Guarded by m_mutex.
};

}  // namespace qo::sdk::analytics
