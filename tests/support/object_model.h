// Shared by the boundary tests: the object model as the separately built server sees it (slot
// positions, raw slot calls, ids built at run time so only their content matches), the captured
// diagnostic stream, a registry of live objects, and the server's maps and camera descriptions.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <optional>
#include <ostream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "qo/kit/debug.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/i_device_info.h"
#include "qo/sdk/i_string_map.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"
#include "support/fake_device_info.h"

#if defined(__clang__)
#define QO_TEST_NO_SANITIZE_FUNCTION __attribute__((no_sanitize("function")))
#else
#define QO_TEST_NO_SANITIZE_FUNCTION
#endif

namespace qo::sdk::test {

/** Expects the virtual members to occupy consecutive slots from `first`. */
template <typename... Members>
void expectSlots(std::ptrdiff_t first, Members... members) {
    // Itanium ABI: a virtual member pointer's first word is 1 + the slot's byte offset.
    const auto slotOf = [](auto member) {
        std::ptrdiff_t words[2];
        static_assert(sizeof(member) == sizeof(words));
        std::memcpy(words, &member, sizeof(words));
        return (words[0] & 1) ? (words[0] - 1) / std::ptrdiff_t{sizeof(void*)} + 1 : -1;
    };
    const std::vector<std::ptrdiff_t> actual = {slotOf(members)...};
    std::vector<std::ptrdiff_t> expected(actual.size());
    std::iota(expected.begin(), expected.end(), first);
    EXPECT_EQ(actual, expected);
}

/** Calls a slot as the server does: a plain function taking the object's address first. */
template <typename Result, typename... Args>
QO_TEST_NO_SANITIZE_FUNCTION Result callSlot(const void* object, int slot, Args... args) {
    void* const* vtable = *static_cast<void* const* const*>(object);
    return reinterpret_cast<Result (*)(const void*, Args...)>(vtable[slot - 1])(object, args...);
}

inline int32_t refCountOf(const IRefCountable* object) {
    object->addRef();
    return object->releaseRef();
}

/** Answered ids give the object with one more reference; refused ones and near misses null. */
inline void expectInterfaces(const IRefCountable* object, std::vector<std::string> answered,
                             std::vector<std::string> refused) {
    answered.push_back("qo::sdk::IRefCountable");
    refused.insert(refused.end(), {"", "qo::sdk::IRefCountable ", "qo::sdk::irefcountable",
                                   "qo::sdk::IRefCountabl"});
    const int32_t before = refCountOf(object);
    for (const std::string& id : answered) {
        const auto found = toPtr(object->queryInterface(interfaceIdFromText(id.c_str())));
        EXPECT_TRUE(found.get() == object && refCountOf(object) == before + 1) << id;
    }
    for (const std::string& id : refused) {
        EXPECT_EQ(object->queryInterface(interfaceIdFromText(id.c_str())), nullptr) << id;
        EXPECT_EQ(refCountOf(object), before) << id;
    }
    EXPECT_EQ(object->queryInterface(nullptr), nullptr);
}

// Unflushed text fails the test: every report must reach the host at once.
class CapturedOutput : private std::stringbuf {
public:
    CapturedOutput() { kit::debug::stream() = &m_stream; }
    ~CapturedOutput() override {
        kit::debug::stream() = m_previous;
        EXPECT_EQ(str().substr(m_flushedSize), "") << "written without a flush";
    }

    std::string text() const { return str(); }
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream in(str());
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }
    void clear() { str(""), m_flushedSize = 0; }

    /** Source line numbers of assertion reports read "N". */
    std::string textWithoutLineNumbers() const {
        static const std::regex lineNumber(R"((ASSERTION FAILED: [^ :]+):[0-9]+ \()");
        return std::regex_replace(text(), lineNumber, "$1:N (");
    }

private:
    int sync() override { return m_flushedSize = str().size(), 0; }

    std::ostream* const m_previous = kit::debug::stream();
    size_t m_flushedSize = 0;
    std::ostream m_stream{this};
};

class LiveObjects : public IRefCountableRegistry {
public:
    static inline std::atomic<int64_t> created{0};
    static inline std::atomic<int64_t> destroyed{0};
    static inline std::atomic<int> deleted{0};  // Registries deleted, this one included.

    ~LiveObjects() override { ++deleted; }
    void objectCreated(const IRefCountable*, int32_t) override { ++created; }
    void objectDestroyed(const IRefCountable*, int32_t) override { ++destroyed; }
};

// Fails a test that leaves objects alive or destroys one twice; the registry, installed once, is
// the library context's from then on.
class ObjectCountingTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool installed = (libContext().setRefCountableRegistry(new LiveObjects), true);
        (void)installed;
        m_createdBefore = LiveObjects::created;
        m_destroyedBefore = LiveObjects::destroyed;
    }
    void TearDown() override {
        EXPECT_EQ(createdHere(), destroyedHere() - olderDestructions)
            << "objects left alive or destroyed twice";
    }

    int64_t createdHere() const { return LiveObjects::created - m_createdBefore; }
    int64_t destroyedHere() const { return LiveObjects::destroyed - m_destroyedBefore; }

    int64_t olderDestructions = 0;  // Of objects made before the test began.

private:
    int64_t m_createdBefore = 0;
    int64_t m_destroyedBefore = 0;
};

// On the interface alone, with scripted misbehaviour; its count never destroys it.
class FakeStringMap : public IStringMap {
public:
    using Entries = std::vector<std::pair<const char*, const char*>>;
    enum class Throw { nothing, standardException, foreignException };

    explicit FakeStringMap(Entries entries, std::optional<int32_t> count = {},
                           Throw throws = Throw::nothing)
        : m_entries(std::move(entries)),
          m_count(count.value_or(static_cast<int32_t>(m_entries.size()))),
          m_throw(throws) {}

    int32_t references() const { return m_refCount; }

    int32_t addRef() const override { return ++m_refCount; }
    int32_t releaseRef() const override { return --m_refCount; }
    int32_t count() const override { return m_count; }
    const char* key(int32_t index) const override {
        if (m_throw == Throw::standardException)
            throw std::runtime_error("key() failed");
        if (m_throw == Throw::foreignException)
            throw 42;
        return m_entries.at(static_cast<size_t>(index)).first;
    }
    const char* value(int32_t index) const override {
        return m_entries.at(static_cast<size_t>(index)).second;
    }
    const char* value(const char*) const override { return nullptr; }

private:
    Entries m_entries;
    int32_t m_count;
    Throw m_throw;
    mutable std::atomic<int32_t> m_refCount{1};
};

using lumo_test::FakeDeviceInfo;

}  // namespace qo::sdk::test
