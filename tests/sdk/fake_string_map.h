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

    FakeStringMap(std::initializer_list<Entry> entries) : m_entries(entries) {}
    explicit FakeStringMap(std::vector<Entry> entries = {},
                           std::optional<int32_t> reportedCount = {}, Throw throws = Throw::nothing)
        : m_entries(std::move(entries)), m_reportedCount(reportedCount), m_throw(throws) {}

    int32_t references() const { return m_refCount; }

    int32_t addRef() const override { return ++m_refCount; }
    int32_t releaseRef() const override { return --m_refCount; }
    int32_t count() const override {
        return m_reportedCount.value_or(static_cast<int32_t>(m_entries.size()));
    }
    const char* key(int32_t index) const override {
        if (m_throw == Throw::standardException)
            throw std::runtime_error("key() failed");
        if (m_throw == Throw::foreignException)
            throw 42;
        return text(index, &Entry::first);
    }
    const char* value(int32_t index) const override { return text(index, &Entry::second); }
    const char* value(const char* key) const override {
        for (int32_t i = 0; i < static_cast<int32_t>(m_entries.size()); ++i) {
            if (key && m_entries[static_cast<size_t>(i)].first == key)
                return value(i);
        }
        return nullptr;
    }

private:
    const char* text(int32_t index, std::optional<std::string> Entry::*part) const {
        if (index < 0 || static_cast<size_t>(index) >= m_entries.size())
            return nullptr;
        const auto& text = m_entries[static_cast<size_t>(index)].*part;
        return text ? text->c_str() : nullptr;
    }

    std::vector<Entry> m_entries;
    std::optional<int32_t> m_reportedCount;
    Throw m_throw = Throw::nothing;
    mutable std::atomic<int32_t> m_refCount{1};
};

}  // namespace qo::sdk::test
