#include "host/object_registry.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/device_info.h"
#include "qo/sdk/analytics/helpers/event_metadata.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_metadata.h"
#include "qo/sdk/analytics/helpers/object_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"
#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"

namespace lumo::host {
namespace {

using qo::sdk::makePtr;
using qo::sdk::Ptr;
using namespace qo::sdk::analytics;

// Counts the queries it answers, to tell whether the registry asked.
class QueryCountingString : public qo::sdk::RefCountable<qo::sdk::IString> {
public:
    const char* str() const override { return "probe"; }

    qo::sdk::IRefCountable* queryInterface(const qo::sdk::InterfaceId* id) override {
        ++queries;
        return IString::queryInterface(id);
    }

    int queries = 0;
};

class ObjectRegistryTest : public ::testing::Test {
protected:
    ObjectRegistry registry;
};

TEST_F(ObjectRegistryTest, ClassifiesObjectsByTheirInterfaces) {
    const std::vector<std::pair<Ptr<qo::sdk::IRefCountable>, std::string>> objects = {
        {makePtr<qo::sdk::String>("x"), "String"},
        {makePtr<qo::sdk::StringMap>(), "StringMap"},
        {makePtr<qo::sdk::SettingsResponse>(), "SettingsResponse"},
        {makePtr<qo::sdk::Attribute>("a", "b"), "Attribute"},
        {makePtr<qo::sdk::PluginDiagnosticEvent>(qo::sdk::IPluginDiagnosticEvent::Level::info, "c",
                                                 "d"),
         "PluginDiagnosticEvent"},
        {makePtr<ObjectMetadataPacket>(), "ObjectMetadataPacket"},
        {makePtr<EventMetadataPacket>(), "EventMetadataPacket"},
        {makePtr<ObjectTrackBestShotPacket>(), "ObjectTrackBestShotPacket"},
        {makePtr<ObjectMetadata>(), "ObjectMetadata"},
        {makePtr<EventMetadata>(), "EventMetadata"},
        {makePtr<DeviceInfo>(DeviceDescription()), ObjectRegistry::kOtherClass},
    };
    for (const auto& [object, className] : objects)
        EXPECT_EQ(ObjectRegistry::classify(object.get()), className);
}

TEST_F(ObjectRegistryTest, CountsLiveObjectsByClassUntilTheyAreDestroyed) {
    const auto first = makePtr<qo::sdk::String>("a");
    const auto second = makePtr<qo::sdk::String>("b");
    const auto packet = makePtr<EventMetadataPacket>();
    registry.objectCreated(first.get(), 1);
    registry.objectCreated(second.get(), 1);
    registry.objectCreated(packet.get(), 1);
    EXPECT_EQ(registry.liveObjects(),
              (std::map<std::string, int>{{"EventMetadataPacket", 1}, {"String", 2}}));

    registry.objectDestroyed(first.get(), 0);
    registry.objectDestroyed(packet.get(), 0);
    EXPECT_EQ(registry.liveObjects(), (std::map<std::string, int>{{"String", 1}}));
    EXPECT_EQ(registry.liveCount(), 1);
    EXPECT_EQ(registry.createdCount(), 3);
    EXPECT_EQ(registry.destroyedCount(), 2);
}

TEST_F(ObjectRegistryTest, DestructionIsNeverQueried) {
    const auto probe = makePtr<QueryCountingString>();
    registry.objectCreated(probe.get(), 1);
    EXPECT_GT(probe->queries, 0);

    probe->queries = 0;
    registry.objectDestroyed(probe.get(), 0);
    EXPECT_EQ(probe->queries, 0);
    EXPECT_EQ(registry.liveCount(), 0);
}

TEST_F(ObjectRegistryTest, DestructionOfAnObjectMadeBeforeInstallationCountsNothingDown) {
    const auto earlier = makePtr<qo::sdk::String>("made before");
    const auto reported = makePtr<qo::sdk::String>("reported");
    registry.objectCreated(reported.get(), 1);

    registry.objectDestroyed(earlier.get(), 0);
    EXPECT_EQ(registry.liveObjects(), (std::map<std::string, int>{{"String", 1}}));
    EXPECT_EQ(registry.unmatchedDestructions(), 1);
}

TEST_F(ObjectRegistryTest, ReportsFromManyThreadsAddUp) {
    constexpr int kThreads = 4;
    constexpr int kObjectsPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < kObjectsPerThread; ++i) {
                const auto object = makePtr<qo::sdk::String>("x");
                registry.objectCreated(object.get(), 1);
                registry.objectDestroyed(object.get(), 0);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(registry.createdCount(), kThreads * kObjectsPerThread);
    EXPECT_EQ(registry.liveCount(), 0);
    EXPECT_TRUE(registry.liveObjects().empty());
}

TEST_F(ObjectRegistryTest, WaitForNoLiveObjectsEndsWhenTheLastOneGoes) {
    const auto object = makePtr<qo::sdk::String>("x");
    registry.objectCreated(object.get(), 1);
    std::thread destroyer([&] { registry.objectDestroyed(object.get(), 0); });
    EXPECT_TRUE(registry.waitUntilNoLiveObjects(std::chrono::minutes(1)));
    destroyer.join();
}

// Installed into a library context, the registry hears of objects while they are still being
// built: exactly as the plugin's context reports them. This process's own copy of the SDK has
// such a context too.
TEST(InstalledObjectRegistryTest, HearsOfObjectsUnderConstructionAndTheirEnd) {
    ObjectRegistry* registry = ObjectRegistry::installInto(&qo::sdk::libContext());
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(ObjectRegistry::installInto(&qo::sdk::libContext()), registry);
    const int stringsBefore = registry->liveObjects()["String"];
    const int packetsBefore = registry->liveObjects()["ObjectMetadataPacket"];
    {
        const auto text = makePtr<qo::sdk::String>("x");
        const auto packet = makePtr<ObjectMetadataPacket>();
        EXPECT_EQ(text->refCountThreadUnsafe(), 1);
        auto live = registry->liveObjects();
        EXPECT_EQ(live["String"], stringsBefore + 1);
        EXPECT_EQ(live["ObjectMetadataPacket"], packetsBefore + 1);
    }
    auto live = registry->liveObjects();
    EXPECT_EQ(live["String"], stringsBefore);
    EXPECT_EQ(live["ObjectMetadataPacket"], packetsBefore);
}

}  // namespace
}  // namespace lumo::host
