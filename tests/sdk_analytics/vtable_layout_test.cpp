// The metadata, packet and base classes as the server sees them: the server and the plugin share
// nothing but the order of virtual slots and the interface ids.
#include <gtest/gtest.h>

#include "host_fakes.h"
#include "qo/sdk/analytics/helpers/consuming_device_agent.h"
#include "qo/sdk/analytics/helpers/engine.h"
#include "qo/sdk/analytics/helpers/event_metadata.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_metadata.h"
#include "qo/sdk/analytics/helpers/object_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"
#include "qo/sdk/analytics/helpers/plugin.h"

namespace qo::sdk::analytics::test {
namespace {

constexpr std::ptrdiff_t kFirst = 6;  // After the destructors, queryInterface, addRef, releaseRef.

TEST(VtableLayout, metadataAndPacketOperationsFollowInInterfaceOrder) {
    using QueryInterface = IRefCountable* (IRefCountable::*)(const InterfaceId*);
    expectSlots(3, static_cast<QueryInterface>(&IRefCountable::queryInterface),
                &ObjectMetadata::addRef, &ObjectMetadata::releaseRef);
    using O = ObjectMetadata;
    expectSlots(kFirst, &O::typeId, &O::confidence, &O::getAttribute, &O::attributeCount,
                &O::getTrackId, &O::subtype, &O::getBoundingBox);
    using E = EventMetadata;
    expectSlots(kFirst, &E::typeId, &E::confidence, &E::getAttribute, &E::attributeCount,
                &E::caption, &E::description, &E::isActive, &E::getTrackId, &E::key);
    using OP = ObjectMetadataPacket;
    expectSlots(kFirst, &OP::timestampUs, &OP::durationUs, &OP::count, &OP::getAt, &OP::flags);
    using EP = EventMetadataPacket;
    expectSlots(kFirst, &EP::timestampUs, &EP::durationUs, &EP::count, &EP::getAt, &EP::flags);
    using B = ObjectTrackBestShotPacket;
    expectSlots(kFirst, &B::timestampUs, &B::getTrackId, &B::getBoundingBox, &B::imageUrl,
                &B::imageData, &B::imageDataSize, &B::imageDataFormat, &B::getAttribute,
                &B::attributeCount, &B::flags);

    const auto packet = makePtr<ObjectMetadataPacket>();
    packet->setDurationUs(222);
    packet->addItem(makePtr<ObjectMetadata>().get());
    EXPECT_EQ(callSlot<int64_t>(packet.get(), kFirst + 1), 222);
    EXPECT_EQ(callSlot<int32_t>(packet.get(), kFirst + 2), 1);
    const auto bestShot = makePtr<ObjectTrackBestShotPacket>(Uuid(), 42);
    bestShot->setImage("image/jpeg", {'a', 'b', 'c'});
    EXPECT_EQ(callSlot<int32_t>(bestShot.get(), kFirst + 5), 3);
}

TEST(VtableLayout, baseClassOperationsFollowInInterfaceOrder) {
    expectSlots(kFirst, &Plugin::setUtilityProvider, &Plugin::getManifest, &Plugin::doCreateEngine,
                &Plugin::instanceId);
    expectSlots(kFirst, &Engine::setEngineInfo, &Engine::doSetSettings,
                &Engine::getPluginSideSettings, &Engine::getManifest, &Engine::isCompatible,
                &Engine::doObtainDeviceAgent, &Engine::doExecuteAction, &Engine::setHandler,
                &Engine::doGetSettingsOnActiveSettingChange);
    using A = ConsumingDeviceAgent;
    expectSlots(kFirst, &A::doSetSettings, &A::getPluginSideSettings, &A::getManifest,
                &A::setHandler, &A::doSetNeededMetadataTypes, &A::doPushDataPacket, &A::finalize,
                &A::doGetSettingsOnActiveSettingChange);
}

TEST(Interfaces, everyLevelOfEveryChainAnswersItsIdsByContent) {
    const std::string ns = "qo::sdk::analytics::";
    expectInterfaces(makePtr<ObjectMetadata>().get(), {ns + "IObjectMetadata", ns + "IMetadata"},
                     {ns + "IEventMetadata", ns + "IEventMetadata2"});
    expectInterfaces(
        makePtr<EventMetadata>().get(),
        {ns + "IEventMetadata2", ns + "IEventMetadata1", ns + "IEventMetadata", ns + "IMetadata"},
        {ns + "IObjectMetadata"});
    const auto chain = [&](const std::string& kind) {
        return std::vector<std::string>{ns + kind + "1", ns + kind, ns + "ICompoundMetadataPacket",
                                        ns + "IMetadataPacket", ns + "IDataPacket"};
    };
    expectInterfaces(makePtr<ObjectMetadataPacket>().get(), chain("IObjectMetadataPacket"),
                     {ns + "IEventMetadataPacket1", ns + "IObjectTrackBestShotPacket2"});
    expectInterfaces(makePtr<EventMetadataPacket>().get(), chain("IEventMetadataPacket"),
                     {ns + "IObjectMetadataPacket1", ns + "IObjectMetadataPacket"});
    expectInterfaces(
        makePtr<ObjectTrackBestShotPacket>().get(),
        {ns + "IObjectTrackBestShotPacket2", ns + "IObjectTrackBestShotPacket1",
         ns + "IObjectTrackBestShotPacket", ns + "IMetadataPacket", ns + "IDataPacket"},
        {ns + "ICompoundMetadataPacket", ns + "IObjectMetadataPacket1"});
}

using MetadataPackets = LogCapture;

TEST_F(MetadataPackets, itemsAndAttributesAreSharedAndNullArgumentsReported) {
    const auto object = makePtr<ObjectMetadata>();
    const auto color = makePtr<Attribute>("Color", "Red");
    {
        const auto packet = makePtr<ObjectMetadataPacket>();
        packet->addItem(object.get());
        EXPECT_EQ(object->refCountThreadUnsafe(), 2) << "the packet's and ours";
        EXPECT_TRUE(packet->getAt(1) == nullptr && packet->getAt(-1) == nullptr);
        const auto event = makePtr<EventMetadata>();
        event->addAttributes({color, nullptr});
        EXPECT_TRUE(event->attributeCount() == 1 && event->getAttribute(1) == nullptr);
        event->getTrackId(nullptr);
        packet->addItem(static_cast<const IObjectMetadata*>(nullptr));
    }
    EXPECT_TRUE(color->refCountThreadUnsafe() == 1 && object->refCountThreadUnsafe() == 1);
    for (const char* condition : {"(attribute)", "(outValue)", "(objectMetadata)"})
        EXPECT_NE(output.text().find(condition), std::string::npos) << condition;
}

}  // namespace
}  // namespace qo::sdk::analytics::test
