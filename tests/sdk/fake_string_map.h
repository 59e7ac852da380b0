// FakeStringMap: an IStringMap as the server would implement it, built directly on the interface
// rather than on the library's RefCountable, with scripted misbehaviour (null entries, a wrong
// count, throwing reads). Its reference count is kept for inspection and never destroys it.
//
// Threading: single-threaded; configure before handing it to the code under test.
#pragma once

#include <atomic>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "qo/sdk/i_string_map.h"

namespace qo::sdk::test {

class FakeStringMap : public IStringMap {
public:
    using Entry = std::pair<std::optional<std::string>, std::optional<std::string>>;
    enum class Throw { nothing, standardException, foreignException };

    FakeStringMap() = default;
    FakeStringMap(std::initializer_list<Entry> entries) : m_entries(entries) {}

    /** Makes count() report this number instead of the number of entries. */
    void setReportedCount(int32_t count) { m_reportedCount = count; }
    /** Makes key() throw. */
    void setThrow(Throw what) { m_throw = what; }

    int32_t references() const { return m_refCount.load(); }

    int32_t addRef() const override { return ++m_refCount; }
    int32_t releaseRef() const override { return --m_refCount; }

    int32_t count() const override {
        return m_reportedCount ? *m_reportedCount : static_cast<int32_t>(m_entries.size());
    }

    const char* key(int32_t index) const override {
        if (m_throw == Throw::standardException)
            throw std::runtime_error("key() failed");
        if (m_throw == Throw::foreignException)
            throw 42;
        const Entry* entry = at(index);
        return entry && entry->first ? entry->first->c_str() : nullptr;
    }

    const char* value(int32_t index) const override {
        const Entry* entry = at(index);
        return entry && entry->second ? entry->second->c_str() : nullptr;
    }

    const char* value(const char* key) const override {
        for (const Entry& entry : m_entries) {
            if (key && entry.first && *entry.first == key)
                return entry.second ? entry.second->c_str() : nullptr;
        }
        return nullptr;
    }

private:
    const Entry* at(int32_t index) const {
        if (index < 0 || static_cast<size_t>(index) >= m_entries.size())
            return nullptr;
        return &m_entries[static_cast<size_t>(index)];
    }

    std::vector<Entry> m_entries;
    std::optional<int32_t> m_reportedCount;
    Throw m_throw = Throw::nothing;
    mutable std::atomic<int32_t> m_refCount{1};
};

}  // namespace qo::sdk::test
