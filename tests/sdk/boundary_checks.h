// Checks of the object model as the separately built server sees it: the slot of each virtual
// operation (counted as the server does: 1 and 2 the destructors, 3-5 queryInterface, addRef,
// releaseRef, then each interface's own), calls through raw slots, and queryInterface with ids
// built at run time, so that only their content can match.
//
// Threading: free functions; call them on the test's thread.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "qo/sdk/ptr.h"

#if !defined(__x86_64__) || !defined(__GXX_ABI_VERSION)
#error "These checks read the x86-64 Itanium C++ ABI"
#endif

#if defined(__clang__)
#define QO_TEST_NO_SANITIZE_FUNCTION __attribute__((no_sanitize("function")))
#else
#define QO_TEST_NO_SANITIZE_FUNCTION
#endif

namespace qo::sdk::test {

/** Slot of a virtual member, -1 if not virtual; Itanium ABI: its first word is 1 + slot offset. */
template <typename Member>
std::ptrdiff_t slotOf(Member member) {
    static_assert(sizeof(member) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t words[2];
    std::memcpy(words, &member, sizeof(words));
    return (words[0] & 1) ? (words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)) + 1 : -1;
}

/** Expects the operations to occupy consecutive slots, the first one at `first`. */
template <typename... Members>
void expectSlots(std::ptrdiff_t first, Members... members) {
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

/**
 * Expects each answered id and "qo::sdk::IRefCountable" to give the object itself with one more
 * reference, and each refused id or near miss null without touching the count. The ids live in
 * strings of their own, never at the address of a literal.
 */
inline void expectInterfaces(const IRefCountable* object, std::vector<std::string> answered,
                             std::vector<std::string> refused) {
    answered.push_back("qo::sdk::IRefCountable");
    refused.insert(refused.end(), {"", "qo::sdk::IRefCountable ", "qo::sdk::irefcountable",
                                   "qo::sdk::IRefCountabl", "IRefCountable"});
    const int32_t before = refCountOf(object);
    for (const std::string& id : answered) {
        const auto found = toPtr(object->queryInterface(interfaceIdFromText(id.c_str())));
        EXPECT_EQ(found.get(), object) << id;
        EXPECT_EQ(refCountOf(object), before + 1) << id;
    }
    for (const std::string& id : refused) {
        EXPECT_EQ(object->queryInterface(interfaceIdFromText(id.c_str())), nullptr) << id;
        EXPECT_EQ(refCountOf(object), before) << id;
    }
    EXPECT_EQ(object->queryInterface(nullptr), nullptr);
}

}  // namespace qo::sdk::test
