// LiveObjects: the tests' registry of reference-counted objects, installed once per process in the
// library context (which owns it from then on). ObjectCountingTest counts the creations and
// destructions each test causes, so a leaked or doubly destroyed object fails the test that made
// it.
//
// Threading: the hooks may run on any thread; every counter is atomic.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "qo/sdk/helpers/lib_context.h"

namespace qo::sdk::test {

class LiveObjects : public IRefCountableRegistry {
public:
    static inline std::atomic<int64_t> created{0};
    static inline std::atomic<int64_t> destroyed{0};
    static inline std::atomic<int> deleted{0};  // Registries deleted, this one included.

    ~LiveObjects() override { ++deleted; }

    static void ensureInstalled() {
        static const bool installed = (libContext().setRefCountableRegistry(new LiveObjects), true);
        (void)installed;
    }
    void objectCreated(const IRefCountable*, int32_t) override { ++created; }
    void objectDestroyed(const IRefCountable*, int32_t) override { ++destroyed; }
};

class ObjectCountingTest : public ::testing::Test {
protected:
    void SetUp() override {
        LiveObjects::ensureInstalled();
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

}  // namespace qo::sdk::test
