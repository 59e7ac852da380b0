// The device-agent base: dispatch of pushed data packets, delivery of outgoing packets under its
// lock, settings, and the lines it writes with output on and off.

#include <gtest/gtest.h>

#include <thread>

#include "host_fakes.h"
#include "qo/sdk/analytics/helpers/consuming_device_agent.h"
#include "qo/sdk/analytics/helpers/event_metadata.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_metadata.h"
#include "qo/sdk/analytics/helpers/object_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"

namespace qo::sdk::analytics::test {
namespace {

class TestAgent : public ConsumingDeviceAgent {
public:
    TestAgent(const IDeviceInfo* deviceInfo, bool enableOutput, std::string printPrefix = "")
        : ConsumingDeviceAgent(deviceInfo, enableOutput, std::move(printPrefix)) {}

    void doSetNeededMetadataTypes(Result<void>*, const IMetadataTypes*) override {}

    using ConsumingDeviceAgent::currentSettings;
    using ConsumingDeviceAgent::pushManifest;
    using ConsumingDeviceAgent::pushMetadataPacket;
    using ConsumingDeviceAgent::pushPluginDiagnosticEvent;
    using ConsumingDeviceAgent::settingValue;

    std::vector<std::string> hooksCalled;
    bool hookResult = true;
    bool hookThrows = false;
    std::vector<IMetadataPacket*> toPull;  // Each with a reference handed over on the next pull.
    bool pullResult = true;

protected:
    std::string manifestString() const override { return R"({"agent": 1})"; }
    bool pushCompressedVideoFrame(const ICompressedVideoPacket* frame) override {
        return hook("compressed " + std::to_string(frame->width()));
    }
    bool pushUncompressedVideoFrame(const IUncompressedVideoFrame*) override {
        return hook("uncompressed");
    }
    bool pushCustomMetadataPacket(const ICustomMetadataPacket* packet) override {
        return hook(std::string("custom ") + packet->data());
    }
    bool pullMetadataPackets(std::vector<IMetadataPacket*>* packets) override {
        packets->swap(toPull);
        return pullResult;
    }
    Result<const ISettingsResponse*> settingsReceived() override {
        hook("settings");
        return {};
    }

private:
    bool hook(const std::string& call) {
        hooksCalled.push_back(call);
        if (hookThrows)
            throw std::runtime_error("hook broke");
        return hookResult;
    }
};

Ptr<ObjectMetadataPacket> objectPacket(int items, int64_t timestampUs = 10) {
    auto packet = makePtr<ObjectMetadataPacket>();
    packet->setTimestampUs(timestampUs);
    for (int i = 0; i < items; ++i)
        packet->addItem(makePtr<ObjectMetadata>().get());
    return packet;
}

/** A new reference to the packet, to be handed over. */
template <class T>
IMetadataPacket* handOver(const Ptr<T>& packet) {
    return Ptr<IMetadataPacket>(packet).releasePtr();
}

class ConsumingDeviceAgentTest : public LogCapture {
protected:
    void SetUp() override {
        LogCapture::SetUp();
        handler = makePtr<FakeDeviceAgentHandler>();
        agent = makePtr<TestAgent>(deviceInfo.get(), true);
        agent->setHandler(handler.get());
        clearLog();
    }
    void TearDown() override {
        agent.reset();
        LogCapture::TearDown();
    }

    std::string p() const { return "[" + lib() + "_device_d1] "; }

    /** "ok", or "code: message". */
    std::string push(IDataPacket* packet, TestAgent* target = nullptr) {
        Result<void> result;
        (target ? target : agent.get())->doPushDataPacket(&result, packet);
        if (result.isOk())
            return "ok";
        return toString(result.error.errorCode) + ": " + messageOf(result.error);
    }

    const Ptr<FakeDeviceInfo> deviceInfo = makePtr<FakeDeviceInfo>("d1");
    Ptr<FakeDeviceAgentHandler> handler;
    Ptr<TestAgent> agent;
};

TEST_F(ConsumingDeviceAgentTest, prefixNamesLibraryOverrideAndDevice) {
    auto* const other = new TestAgent(deviceInfo.get(), false, "x");
    std::ostringstream address;
    address << static_cast<const void*>(other);
    other->releaseRef();
    const std::string prefix = "[" + lib() + "_x_device_d1] ";
    EXPECT_EQ(lines(), (std::vector<std::string>{prefix + "Created " + address.str(),
                                                 prefix + "Destroyed " + address.str()}));

    clearLog();
    const auto orphan = makePtr<TestAgent>(nullptr, false);
    const auto out = lines();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "[" + lib() + "_device] ");
    EXPECT_NE(out[1].find("qo/sdk/analytics/helpers/consuming_device_agent.cpp:"),
              std::string::npos);
    EXPECT_NE(out[1].find(" (deviceInfo) "), std::string::npos);
    EXPECT_EQ(out[2].rfind("[" + lib() + "_device] Created 0x", 0), 0u);
}

TEST_F(ConsumingDeviceAgentTest, rejectedDataPacketsEndWithTheFailureLine) {
    EXPECT_EQ(push(nullptr), "invalidParams: dataPacket is null; discarding it.");
    EXPECT_EQ(push(makePtr<FakeDataPacket>(-1).get()),
              "invalidParams: dataPacket has invalid timestamp -1; discarding the packet.");
    EXPECT_EQ(push(makePtr<FakeDataPacket>(5).get()),
              "invalidParams: Unsupported frame supplied; ignored.");
    EXPECT_TRUE(agent->hooksCalled.empty());
    const auto out = lines();
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[0], p() + "doPushDataPacket() BEGIN");
    EXPECT_EQ(out[1],
              p() + "doPushDataPacket() END -> invalidParams: dataPacket is null; discarding it.");
    EXPECT_EQ(
        out[5],
        p() + "doPushDataPacket() END -> invalidParams: Unsupported frame supplied; ignored.");

    const auto quiet = makePtr<TestAgent>(deviceInfo.get(), false);
    clearLog();
    EXPECT_EQ(push(makePtr<FakeDataPacket>(-1).get(), quiet.get()),
              "invalidParams: dataPacket has invalid timestamp -1; discarding the packet.");
    EXPECT_EQ(lines(), std::vector<std::string>{p() + "doPushDataPacket() -> invalidParams: "
                                                      "dataPacket has invalid timestamp -1; "
                                                      "discarding the packet."});
}

TEST_F(ConsumingDeviceAgentTest, eachPacketKindReachesItsHookAndIsReleased) {
    const auto compressed = makePtr<FakeCompressedVideoPacket>();
    const auto uncompressed = makePtr<FakeUncompressedVideoFrame>();
    const auto custom = makePtr<FakeCustomMetadataPacket>();
    EXPECT_EQ(push(compressed.get()), "ok");
    EXPECT_EQ(lines().back(), p() + "doPushDataPacket() END");
    EXPECT_EQ(push(uncompressed.get()), "ok");
    agent->hookResult = false;
    EXPECT_EQ(push(custom.get()), "otherError: pushCustomMetadataPacket() failed.");
    EXPECT_EQ(agent->hooksCalled,
              (std::vector<std::string>{"compressed 1920", "uncompressed", "custom <xml/>"}));
    for (const IRefCountable* packet : std::initializer_list<const IRefCountable*>{
             compressed.get(), uncompressed.get(), custom.get()}) {
        EXPECT_EQ(refCountOf(packet), 1);
    }
}

TEST_F(ConsumingDeviceAgentTest, throwingHookBecomesAnErrorWithAnErrorLine) {
    agent->hookThrows = true;
    EXPECT_EQ(push(makePtr<FakeCompressedVideoPacket>().get()),
              "otherError: pushCompressedVideoFrame() failed.");
    EXPECT_EQ(
        lines(),
        (std::vector<std::string>{
            p() + "doPushDataPacket() BEGIN",
            p() + "doPushDataPacket(): ERROR: pushCompressedVideoFrame() threw an exception: hook "
                  "broke",
            p() + "doPushDataPacket() END -> otherError: pushCompressedVideoFrame() failed."}));
}

TEST_F(ConsumingDeviceAgentTest, withoutHandlerTheHookStillRunsThenTheCallFails) {
    agent->setHandler(nullptr);
    EXPECT_EQ(handler->refCountThreadUnsafe(), 1);
    EXPECT_EQ(push(makePtr<FakeCustomMetadataPacket>().get()),
              "internalError: setHandler() was not called.");
    EXPECT_EQ(agent->hooksCalled, std::vector<std::string>{"custom <xml/>"});
}

TEST_F(ConsumingDeviceAgentTest, pulledPacketsAreDeliveredInOrderAndReleased) {
    const auto first = objectPacket(2);
    const auto second = objectPacket(3);
    agent->toPull = {handOver(first), nullptr, handOver(second)};
    EXPECT_EQ(push(makePtr<FakeCustomMetadataPacket>().get()), "ok");
    ASSERT_EQ(handler->packets.size(), 2u);
    EXPECT_EQ(handler->packets[1].get(), second.get());
    handler->packets.clear();
    EXPECT_EQ(first->refCountThreadUnsafe(), 1);
    EXPECT_EQ(second->refCountThreadUnsafe(), 1);
    const auto out = lines();
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(out[1], p() + "processMetadataPackets(): Producing 3 metadata packet(s).");
    EXPECT_EQ(out[2],
              p() + "logMetadataPacketIfNeeded(): Object metadata packet #0 contains 2 item(s).");
    EXPECT_EQ(out[3],
              p() + "processMetadataPacket(): WARNING: Null metadata packet #1 found; discarded.");
    EXPECT_EQ(out[4],
              p() + "logMetadataPacketIfNeeded(): Object metadata packet #2 contains 3 item(s).");
}

TEST_F(ConsumingDeviceAgentTest, failedPullReleasesWhatWasHandedOver) {
    const auto packet = objectPacket(1);
    agent->toPull = {handOver(packet)};
    agent->pullResult = false;
    EXPECT_EQ(push(makePtr<FakeCustomMetadataPacket>().get()),
              "otherError: pullMetadataPackets() failed.");
    EXPECT_TRUE(handler->packets.empty());
    EXPECT_EQ(packet->refCountThreadUnsafe(), 1);
}

TEST_F(ConsumingDeviceAgentTest, pushedPacketsAreLoggedByKindDeliveredOnceAndReleased) {
    const auto event = makePtr<EventMetadata>();
    event->setTypeId("qo.lumo.LineCrossing");
    const auto events = makePtr<EventMetadataPacket>();
    events->setTimestampUs(10);
    events->addItem(event.get());
    const auto objects = objectPacket(2);
    const auto bestShot = makePtr<ObjectTrackBestShotPacket>(Uuid(), 10);

    agent->pushMetadataPacket(handOver(objects));
    agent->pushMetadataPacket(handOver(events));
    agent->pushMetadataPacket(handOver(bestShot));
    agent->pushMetadataPacket(handOver(objectPacket(0)));
    agent->pushMetadataPacket(handOver(objectPacket(1, 0)));
    agent->pushMetadataPacket(handOver(makePtr<FakeMetadataPacket>()));

    ASSERT_EQ(handler->packets.size(), 6u);
    EXPECT_EQ(handler->packets[0].get(), objects.get());
    handler->packets.clear();
    for (const IRefCountable* packet :
         std::initializer_list<const IRefCountable*>{objects.get(), events.get(), bestShot.get()}) {
        EXPECT_EQ(refCountOf(packet), 1);
    }
    const std::string log = "logMetadataPacketIfNeeded(): ";
    EXPECT_EQ(lines(),
              (std::vector<std::string>{
                  p() + log + "Object metadata packet contains 2 item(s).",
                  p() + log + "Event metadata packet contains 1 item of type qo.lumo.LineCrossing.",
                  p() + log + "WARNING: Object metadata packet is empty.",
                  p() + log + "Object metadata packet contains 1 item of type .",
                  p() + log + "WARNING: Object metadata packet has timestamp 0.",
                  p() + log + "WARNING: Metadata packet has unknown type."}));
}

TEST_F(ConsumingDeviceAgentTest, negativeTimestampIsReportedButDelivered) {
    agent->pushMetadataPacket(handOver(objectPacket(2, -1)));
    EXPECT_EQ(handler->packets.size(), 1u);
    EXPECT_NE(::testing::PrintToString(lines()).find("(metadataPacket->timestampUs() >= 0)"),
              std::string::npos);
}

TEST_F(ConsumingDeviceAgentTest, undeliverablePacketsAreDroppedWithAReport) {
    agent->pushMetadataPacket(nullptr);
    EXPECT_EQ(lines(), std::vector<std::string>{
                           p() + "processMetadataPacket(): WARNING: Null metadata packet found; "
                                 "discarded."});

    agent->setHandler(nullptr);
    const auto packet = objectPacket(1);
    clearLog();
    agent->pushMetadataPacket(handOver(packet));
    EXPECT_EQ(packet->refCountThreadUnsafe(), 1);
    EXPECT_EQ(lines(), std::vector<std::string>{
                           p() + "processMetadataPacket(): INTERNAL ERROR: setHandler() was not "
                                 "called; ignoring the packet"});
}

TEST_F(ConsumingDeviceAgentTest, throwingHandlerDoesNotLeakThePacketOrTheException) {
    handler->throwOnPacket = true;
    const auto packet = objectPacket(1);
    agent->pushMetadataPacket(handOver(packet));
    handler->packets.clear();
    EXPECT_EQ(packet->refCountThreadUnsafe(), 1);
    EXPECT_EQ(lines().back(), p() +
                                  "processMetadataPacket(): ERROR: Metadata packet not "
                                  "delivered: handler failed");
}

TEST_F(ConsumingDeviceAgentTest, quietAgentDeliversWithoutVerboseLines) {
    const auto quiet = makePtr<TestAgent>(deviceInfo.get(), false);
    quiet->setHandler(handler.get());
    clearLog();
    quiet->toPull = {handOver(objectPacket(2))};
    EXPECT_EQ(push(makePtr<FakeCustomMetadataPacket>().get(), quiet.get()), "ok");
    quiet->pushMetadataPacket(nullptr);
    quiet->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::info, "c", "d");
    quiet->finalize();
    EXPECT_EQ(handler->packets.size(), 1u);
    EXPECT_EQ(handler->events.size(), 1u);
    EXPECT_TRUE(lines().empty());
}

TEST_F(ConsumingDeviceAgentTest, deliveriesFromWorkerThreadsNeverOverlap) {
    const auto quiet = makePtr<TestAgent>(deviceInfo.get(), false);
    quiet->setHandler(handler.get());
    constexpr int kThreads = 4;
    constexpr int kPackets = 50;
    const auto shared = objectPacket(1);
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < kPackets; ++i)
                quiet->pushMetadataPacket(handOver(shared));
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(handler->packets.size(), static_cast<size_t>(kThreads * kPackets));
    handler->packets.clear();
    EXPECT_EQ(shared->refCountThreadUnsafe(), 1);
}

TEST_F(ConsumingDeviceAgentTest, manifestAndEventsGoToTheHandler) {
    agent->pushManifest(R"({"types": []})");
    EXPECT_EQ(handler->manifests, std::vector<std::string>{R"({"types": []})"});
    agent->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::error, "cap", "desc");
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(handler->events[0]->level(), IPluginDiagnosticEvent::Level::error);
    EXPECT_EQ(refCountOf(handler->events[0].get()), 1);
    EXPECT_EQ(lines().front(), p() + "Producing Plugin Diagnostic Event:");

    agent->setHandler(nullptr);
    clearLog();
    agent->pushManifest("{}");
    agent->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::error, "cap", "desc");
    EXPECT_EQ(handler->manifests.size(), 1u);
    EXPECT_EQ(lines(),
              (std::vector<std::string>{
                  p() + "pushManifest(): INTERNAL ERROR: setHandler() was not "
                        "called; ignoring the manifest.",
                  p() + "pushPluginDiagnosticEvent(): INTERNAL ERROR: setHandler() was not called; "
                        "ignoring Plugin Diagnostic Event."}));
}

TEST_F(ConsumingDeviceAgentTest, settingsMergeAcrossUpdates) {
    Result<const ISettingsResponse*> result;
    agent->doSetSettings(&result, makePtr<StringMap>(StringMap::Map{{"a", "1"}}).get());
    EXPECT_TRUE(result.isOk());
    agent->doSetSettings(&result, makePtr<StringMap>(StringMap::Map{{"b", "2"}}).get());
    EXPECT_EQ(agent->currentSettings(), (ConsumingDeviceAgent::Map{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(agent->hooksCalled, (std::vector<std::string>{"settings", "settings"}));
    clearLog();
    EXPECT_EQ(agent->settingValue("c"), "");
    EXPECT_EQ(lines(), std::vector<std::string>{p() + "ERROR: Requested setting \"c\" is missing; "
                                                      "implying empty string."});

    agent->doSetSettings(&result, nullptr);
    EXPECT_EQ(result.error.errorCode, ErrorCode::invalidParams);
    EXPECT_EQ(messageOf(result.error), "Settings are invalid");
    agent->hookThrows = true;
    agent->doSetSettings(&result, makePtr<StringMap>().get());
    EXPECT_EQ(result.error.errorCode, ErrorCode::otherError);
    EXPECT_EQ(messageOf(result.error), "settingsReceived() failed.");
}

TEST_F(ConsumingDeviceAgentTest, manifestFinalizeAndInterfaces) {
    Result<const IString*> manifest;
    agent->getManifest(&manifest);
    EXPECT_STREQ(toPtr(manifest.value)->str(), R"({"agent": 1})");
    agent->finalize();
    EXPECT_EQ(lines(), std::vector<std::string>{p() + "finalize()"});

    const std::string ns = "qo::sdk::analytics::";
    expectInterfaces(agent.get(),
                     {ns + "IConsumingDeviceAgent2", ns + "IConsumingDeviceAgent1",
                      ns + "IConsumingDeviceAgent", ns + "IDeviceAgent", "qo::sdk::IRefCountable"},
                     {ns + "IEngine", ns + "IConsumingDeviceAgent3"});
}

}  // namespace
}  // namespace qo::sdk::analytics::test
