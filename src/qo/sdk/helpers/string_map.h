// StringMap: the library's IStringMap, an ordered map of texts (ascending byte order of keys).
//
// Threading: filled by one thread before it is handed over, read-only afterwards.
#pragma once

#include <map>
#include <string>

#include "qo/sdk/i_string_map.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk {

class StringMap : public RefCountable<IStringMap> {
public:
    using Map = std::map<std::string, std::string>;

    StringMap() = default;
    explicit StringMap(Map items) : m_items(std::move(items)) {}

    int32_t count() const override;
    const char* key(int32_t index) const override;
    const char* value(int32_t index) const override;
    const char* value(const char* key) const override;

    /** Inserts or overwrites; an empty key is reported and ignored. */
    void setItem(const std::string& key, const std::string& value);
    void clear() { m_items.clear(); }

    const Map& items() const { return m_items; }

private:
    const Map::value_type* entryAt(int32_t index) const;

    Map m_items;
};

}  // namespace qo::sdk
