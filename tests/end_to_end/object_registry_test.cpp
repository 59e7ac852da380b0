// The server's register of the plugin's live objects, which every shutdown report rests on.
#include <gtest/gtest.h>

#include <thread>

#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"
#include "qo/sdk/helpers/string.h"
#include "server/device_info.h"
#include "server/object_registry.h"

namespace lumo::host {
namespace {

using namespace qo::sdk;
using namespace qo::sdk::analytics;
using namespace std::chrono_literals;
using Counts = std::map<std::string, int>;

// Counts the queries it answers, to tell whether the registry asked.
class QueryCountingString : public RefCountable<IString> {
public:
    const char* str() const override { return "probe"; }
    IRefCountable* queryInterface(const InterfaceId* id) override {
        ++queries;
        return IString::queryInterface(id);
    }
    int queries = 0;
};

TEST(ObjectRegistryTest, CountsLiveObjectsByInterfaceClassWithoutQueryingTheDestroyed) {
    ObjectRegistry registry;
    const auto text = makePtr<QueryCountingString>();
    const auto packet = makePtr<EventMetadataPacket>();
    const auto earlier = makePtr<String>("made before the registry");
    registry.objectCreated(text.get(), 1);
    registry.objectCreated(packet.get(), 1);
    EXPECT_GT(text->queries, 0);
    EXPECT_EQ((Counts{{"EventMetadataPacket", 1}, {"String", 1}}), registry.liveObjects());
    EXPECT_EQ("ObjectTrackBestShotPacket",
              ObjectRegistry::classify(makePtr<ObjectTrackBestShotPacket>().get()));
    EXPECT_EQ(ObjectRegistry::kOtherClass,
              ObjectRegistry::classify(makePtr<DeviceInfo>(DeviceDescription()).get()));

    text->queries = 0;
    registry.objectDestroyed(text.get(), 0);
    registry.objectDestroyed(earlier.get(), 0);
    EXPECT_EQ(0, text->queries)
        << "a destroyed object's count is 0: a query would destroy it again";
    EXPECT_EQ((Counts{{"EventMetadataPacket", 1}}), registry.liveObjects());
    EXPECT_EQ(1, registry.unmatchedDestructions());
    EXPECT_EQ(2, registry.createdCount());
    EXPECT_EQ(2, registry.destroyedCount());

    std::thread destroyer([&] { registry.objectDestroyed(packet.get(), 0); });
    EXPECT_TRUE(registry.waitUntilNoLiveObjects(1min));
    destroyer.join();
    EXPECT_EQ(0, registry.liveCount());
}

TEST(ObjectRegistryTest, AsksOnlyTheFirstObjectOfAClassAndStillCountsEveryClassApart) {
    ObjectRegistry registry;
    const auto first = makePtr<QueryCountingString>();
    const auto second = makePtr<QueryCountingString>();
    const auto packet = makePtr<EventMetadataPacket>();
    const auto text = makePtr<String>("plain");
    for (IRefCountable* object :
         std::initializer_list<IRefCountable*>{first.get(), packet.get(), second.get(), text.get()})
        registry.objectCreated(object, 1);
    EXPECT_GT(first->queries, 0);
    EXPECT_EQ(0, second->queries) << "the class of its kind was known already";
    EXPECT_EQ((Counts{{"EventMetadataPacket", 1}, {"String", 3}}), registry.liveObjects());
    registry.objectDestroyed(first.get(), 0);
    EXPECT_EQ((Counts{{"EventMetadataPacket", 1}, {"String", 2}}), registry.liveObjects());
}

}  // namespace
}  // namespace lumo::host
