#include "qo/sdk/helpers/string_map.h"

#include <iterator>

#include "qo/kit/debug.h"

namespace qo::sdk {

int32_t StringMap::count() const {
    return static_cast<int32_t>(m_items.size());
}

const StringMap::Map::value_type* StringMap::entryAt(int32_t index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return &*std::next(m_items.begin(), index);
}

const char* StringMap::key(int32_t index) const {
    const auto* entry = entryAt(index);
    return entry ? entry->first.c_str() : nullptr;
}

const char* StringMap::value(int32_t index) const {
    const auto* entry = entryAt(index);
    return entry ? entry->second.c_str() : nullptr;
}

const char* StringMap::value(const char* key) const {
    if (!key)
        return nullptr;
    const auto it = m_items.find(key);
    return it == m_items.end() ? nullptr : it->second.c_str();
}

void StringMap::setItem(const std::string& key, const std::string& value) {
    QO_ASSERT(!key.empty(), "");
    if (key.empty())
        return;
    m_items[key] = value;
}

}  // namespace qo::sdk
