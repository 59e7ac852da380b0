#include "sdk/live_objects.h"

#include "qo/sdk/helpers/lib_context.h"

namespace qo::sdk::test {

std::atomic<int64_t> LiveObjects::s_created{0};
std::atomic<int64_t> LiveObjects::s_destroyed{0};
std::atomic<int32_t> LiveObjects::s_lastCreationCount{-1};
std::atomic<int32_t> LiveObjects::s_lastDestructionCount{-1};

void LiveObjects::ensureInstalled() {
    static const bool installed = [] {
        libContext().setRefCountableRegistry(new LiveObjects);
        return true;
    }();
    (void)installed;
}

void LiveObjects::objectCreated(const IRefCountable* /*object*/, int32_t refCount) {
    s_lastCreationCount = refCount;
    ++s_created;
}

void LiveObjects::objectDestroyed(const IRefCountable* /*object*/, int32_t refCount) {
    s_lastDestructionCount = refCount;
    ++s_destroyed;
}

}  // namespace qo::sdk::test
