// LiveObjects: the tests' registry of reference-counted objects. Installed once per process in the
// library context (which owns it from then on); every test then counts the creations and
// destructions it causes, so a leaked or doubly destroyed object fails the test that made it.
//
// Threading: the hooks may run on any thread; counters are atomic, the last reported counts are
// atomic too.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "qo/sdk/i_ref_countable_registry.h"

namespace qo::sdk::test {

class LiveObjects : public IRefCountableRegistry {
public:
    /** Installs the registry in the library context on first call. */
    static void ensureInstalled();

    static int64_t created() { return s_created.load(); }
    static int64_t destroyed() { return s_destroyed.load(); }
    static int32_t lastCreationCount() { return s_lastCreationCount.load(); }
    static int32_t lastDestructionCount() { return s_lastDestructionCount.load(); }

    void objectCreated(const IRefCountable* object, int32_t refCount) override;
    void objectDestroyed(const IRefCountable* object, int32_t refCount) override;

private:
    static std::atomic<int64_t> s_created;
    static std::atomic<int64_t> s_destroyed;
    static std::atomic<int32_t> s_lastCreationCount;
    static std::atomic<int32_t> s_lastDestructionCount;
};

/** Fails a test that leaves objects alive or destroys more than it made. */
class ObjectCountingTest : public ::testing::Test {
protected:
    void SetUp() override {
        LiveObjects::ensureInstalled();
        m_createdBefore = LiveObjects::created();
        m_destroyedBefore = LiveObjects::destroyed();
    }

    void TearDown() override {
        EXPECT_EQ(createdHere(), destroyedHere() - m_olderDestructions)
            << "objects left alive or destroyed twice";
    }

    /** Declares destructions of objects made before the test began. */
    void expectOlderDestructions(int64_t count) { m_olderDestructions = count; }

    int64_t createdHere() const { return LiveObjects::created() - m_createdBefore; }
    int64_t destroyedHere() const { return LiveObjects::destroyed() - m_destroyedBefore; }

private:
    int64_t m_createdBefore = 0;
    int64_t m_destroyedBefore = 0;
    int64_t m_olderDestructions = 0;
};

}  // namespace qo::sdk::test
