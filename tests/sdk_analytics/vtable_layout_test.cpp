// The server and the plugin share nothing but the order of virtual slots: every operation must sit
// where the server calls it. On the Itanium ABI the first word of a pointer to a virtual member is
// 1 + the byte offset of its slot.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <numeric>
#include <vector>

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

// Slots 0-4: two destructors, queryInterface, addRef, releaseRef.
constexpr std::ptrdiff_t kFirst = 5;

template <typename MemberFunction>
std::ptrdiff_t slotOf(MemberFunction function) {
    static_assert(sizeof(function) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t words[2];
    std::memcpy(words, &function, sizeof(words));
    return (words[0] & 1) ? (words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)) : -1;
}

/** Expects the operations to occupy consecutive slots, the first one at `first`. */
template <typename... MemberFunctions>
void expectSlots(std::ptrdiff_t first, MemberFunctions... functions) {
    const std::vector<std::ptrdiff_t> actual = {slotOf(functions)...};
    std::vector<std::ptrdiff_t> expected(actual.size());
    std::iota(expected.begin(), expected.end(), first);
    EXPECT_EQ(actual, expected);
}

/** Calls a slot of the object the way a separately built server would. */
template <typename R>
R callSlot(const IRefCountable* object, std::ptrdiff_t slot) {
    const auto* const* vtable = *reinterpret_cast<void* const* const*>(object);
    return reinterpret_cast<R (*)(const void*)>(vtable[slot])(object);
}

// Open the protected hooks to the tests.
struct PluginHooks : Plugin {
    using Plugin::doObtainEngine;
    using Plugin::manifestString;
};
struct EngineHooks : Engine {
    using Engine::executeAction;
    using Engine::manifestString;
    using Engine::settingsReceived;
};
struct AgentHooks : ConsumingDeviceAgent {
    using ConsumingDeviceAgent::manifestString;
    using ConsumingDeviceAgent::pullMetadataPackets;
    using ConsumingDeviceAgent::pushCompressedVideoFrame;
    using ConsumingDeviceAgent::pushCustomMetadataPacket;
    using ConsumingDeviceAgent::pushUncompressedVideoFrame;
    using ConsumingDeviceAgent::settingsReceived;
};

TEST(VtableLayout, refCountableSlotsComeFirst) {
    using QueryInterface = IRefCountable* (IRefCountable::*)(const InterfaceId*);
    expectSlots(2, static_cast<QueryInterface>(&IRefCountable::queryInterface),
                &ObjectMetadata::addRef, &ObjectMetadata::releaseRef);
}

TEST(VtableLayout, metadataOperationsFollowInInterfaceOrder) {
    using O = ObjectMetadata;
    expectSlots(kFirst, &O::typeId, &O::confidence, &O::getAttribute, &O::attributeCount,
                &O::getTrackId, &O::subtype, &O::getBoundingBox);
    using E = EventMetadata;
    expectSlots(kFirst, &E::typeId, &E::confidence, &E::getAttribute, &E::attributeCount,
                &E::caption, &E::description, &E::isActive, &E::getTrackId, &E::key);
}

TEST(VtableLayout, packetOperationsFollowInInterfaceOrder) {
    using O = ObjectMetadataPacket;
    expectSlots(kFirst, &O::timestampUs, &O::durationUs, &O::count, &O::getAt, &O::flags);
    using E = EventMetadataPacket;
    expectSlots(kFirst, &E::timestampUs, &E::durationUs, &E::count, &E::getAt, &E::flags);
    using B = ObjectTrackBestShotPacket;
    expectSlots(kFirst, &B::timestampUs, &B::getTrackId, &B::getBoundingBox, &B::imageUrl,
                &B::imageData, &B::imageDataSize, &B::imageDataFormat, &B::getAttribute,
                &B::attributeCount, &B::flags);
}

TEST(VtableLayout, rawSlotCallsReachTheOperations) {
    const auto packet = makePtr<ObjectMetadataPacket>();
    packet->setTimestampUs(111);
    packet->setDurationUs(222);
    packet->addItem(makePtr<ObjectMetadata>().get());
    EXPECT_EQ(callSlot<int64_t>(packet.get(), kFirst + 0), 111);
    EXPECT_EQ(callSlot<int64_t>(packet.get(), kFirst + 1), 222);
    EXPECT_EQ(callSlot<int32_t>(packet.get(), kFirst + 2), 1);

    const auto bestShot = makePtr<ObjectTrackBestShotPacket>();
    bestShot->setImageData({'a', 'b', 'c'});
    EXPECT_EQ(callSlot<int32_t>(bestShot.get(), kFirst + 5), 3);
}

TEST(VtableLayout, baseClassOperationsThenHooks) {
    expectSlots(kFirst, &Plugin::setUtilityProvider, &Plugin::getManifest, &Plugin::doCreateEngine,
                &Plugin::instanceId, &PluginHooks::doObtainEngine, &PluginHooks::manifestString);
    expectSlots(kFirst, &Engine::setEngineInfo, &Engine::doSetSettings,
                &Engine::getPluginSideSettings, &Engine::getManifest, &Engine::isCompatible,
                &Engine::doObtainDeviceAgent, &Engine::doExecuteAction, &Engine::setHandler,
                &Engine::doGetSettingsOnActiveSettingChange, &EngineHooks::manifestString,
                &EngineHooks::settingsReceived, &EngineHooks::executeAction);
    using A = ConsumingDeviceAgent;
    expectSlots(kFirst, &A::doSetSettings, &A::getPluginSideSettings, &A::getManifest,
                &A::setHandler, &A::doSetNeededMetadataTypes, &A::doPushDataPacket, &A::finalize,
                &A::doGetSettingsOnActiveSettingChange, &AgentHooks::manifestString,
                &AgentHooks::pushCompressedVideoFrame, &AgentHooks::pushUncompressedVideoFrame,
                &AgentHooks::pushCustomMetadataPacket, &AgentHooks::pullMetadataPackets,
                &AgentHooks::settingsReceived);
}

}  // namespace
}  // namespace qo::sdk::analytics::test
