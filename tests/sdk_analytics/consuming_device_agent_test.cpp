// The device-agent base: dispatch of pushed data packets, delivery of outgoing packets under its
// lock, settings, and the lines it writes with output on and off.
#include <gtest/gtest.h>

#include <thread>

#include "host_fakes.h"
#include "qo/kit/utils.h"
#include "qo/sdk/analytics/helpers/consuming_device_agent.h"
#include "qo/sdk/analytics/helpers/event_metadata.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_metadata.h"
#include "qo/sdk/analytics/helpers/object_metadata_packet.h"

namespace qo::sdk::analytics::test {
namespace {

class TestAgent : public ConsumingDeviceAgent {
public:
    TestAgent(const IDeviceInfo* deviceInfo, bool enableOutput, std::string printPrefix = "")
        : ConsumingDeviceAgent(deviceInfo, enableOutput, std::move(printPrefix)) {}

    void doSetNeededMetadataTypes(Result<void>*, const IMetadataTypes*) override {}

    using ConsumingDeviceAgent::pushManifest;
    using ConsumingDeviceAgent::pushMetadataPacket;
    using ConsumingDeviceAgent::pushPluginDiagnosticEvent;
    using ConsumingDeviceAgent::settingValue;

    Lines hooksCalled;
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

class AgentTest : public LogCapture {
protected:
    void SetUp() override {
        agent->setHandler(handler.get());
        quiet->setHandler(handler.get());
        output.clear();
    }

    /** The lines of the agents, without their prefix. */
    Lines logged() const { return lines("[" + lib() + "_device_d1] "); }

    /** "ok", or "code: message". */
    static std::string push(TestAgent* agent, const Ptr<IDataPacket>& packet) {
        Result<void> result;
        agent->doPushDataPacket(&result, packet.get());
        return result.isOk() ? "ok"
                             : toString(result.error.errorCode) + ": " + messageOf(result.error);
    }

    const Ptr<FakeDeviceInfo> deviceInfo = makePtr<FakeDeviceInfo>("d1");
    const Ptr<FakeDeviceAgentHandler> handler = makePtr<FakeDeviceAgentHandler>();
    const Ptr<TestAgent> agent = makePtr<TestAgent>(deviceInfo.get(), true);
    const Ptr<TestAgent> quiet = makePtr<TestAgent>(deviceInfo.get(), false);
};

TEST_F(AgentTest, prefixNamesLibraryOverrideAndDevice) {
    auto* const other = new TestAgent(deviceInfo.get(), false, "x");
    const std::string address = kit::utils::toString(static_cast<void*>(other));
    other->releaseRef();
    EXPECT_EQ(lines("[" + lib() + "_x_device_d1] "),
              (Lines{"Created " + address, "Destroyed " + address}));
    output.clear();
    makePtr<TestAgent>(nullptr, false);
    EXPECT_NE(output.text().find("[" + lib() + "_device] \n>>> ASSERTION FAILED: "),
              std::string::npos);
    EXPECT_NE(output.text().find(" (deviceInfo) "), std::string::npos);
}

TEST_F(AgentTest, rejectedDataPacketsEndWithTheFailureLine) {
    const std::string null = "invalidParams: dataPacket is null; discarding it.";
    const std::string negative =
        "invalidParams: dataPacket has invalid timestamp -1; discarding the packet.";
    const std::string unknown = "invalidParams: Unsupported frame supplied; ignored.";
    EXPECT_EQ(push(agent.get(), nullptr), null);
    EXPECT_EQ(push(agent.get(), makePtr<FakeMetadataPacket>(-1)), negative);
    EXPECT_EQ(push(agent.get(), makePtr<FakeMetadataPacket>(5)), unknown);
    EXPECT_EQ(push(quiet.get(), makePtr<FakeMetadataPacket>(-1)), negative);
    EXPECT_TRUE(agent->hooksCalled.empty());
    const std::string begin = "doPushDataPacket() BEGIN";
    const std::string end = "doPushDataPacket() END -> ";
    EXPECT_EQ(logged(), (Lines{begin, end + null, begin, end + negative, begin, end + unknown,
                               "doPushDataPacket() -> " + negative}));
}

TEST_F(AgentTest, eachPacketKindReachesItsHookWhoseFailureBecomesAnError) {
    const Ptr<IDataPacket> packets[] = {makePtr<FakeCompressedVideoPacket>(),
                                        makePtr<FakeUncompressedVideoFrame>(),
                                        makePtr<FakeCustomMetadataPacket>()};
    EXPECT_EQ(push(quiet.get(), packets[0]), "ok");
    EXPECT_EQ(push(quiet.get(), packets[1]), "ok");
    quiet->hookResult = false;
    EXPECT_EQ(push(quiet.get(), packets[2]), "otherError: pushCustomMetadataPacket() failed.");
    EXPECT_EQ(quiet->hooksCalled, (Lines{"compressed 1920", "uncompressed", "custom <xml/>"}));
    for (const auto& packet : packets)
        EXPECT_EQ(refCountOf(packet.get()), 1);

    EXPECT_EQ(push(agent.get(), packets[0]), "ok");
    agent->hookThrows = true;
    const std::string failed = "otherError: pushCompressedVideoFrame() failed.";
    EXPECT_EQ(push(agent.get(), packets[0]), failed);
    EXPECT_EQ(
        logged(),
        (Lines{
            "doPushDataPacket() -> otherError: pushCustomMetadataPacket() failed.",
            "doPushDataPacket() BEGIN", "doPushDataPacket() END", "doPushDataPacket() BEGIN",
            "doPushDataPacket(): ERROR: pushCompressedVideoFrame() threw an exception: hook broke",
            "doPushDataPacket() END -> " + failed}));

    quiet->setHandler(nullptr);
    quiet->hookResult = true;
    EXPECT_EQ(handler->refCountThreadUnsafe(), 2) << "held by the verbose agent only";
    EXPECT_EQ(push(quiet.get(), packets[2]), "internalError: setHandler() was not called.");
    EXPECT_EQ(quiet->hooksCalled.size(), 4u) << "the hook still runs";
}

TEST_F(AgentTest, pulledPacketsAreDeliveredInOrderAndReleased) {
    const auto first = objectPacket(2);
    const auto second = objectPacket(3);
    agent->toPull = {handOver(first), nullptr, handOver(second)};
    EXPECT_EQ(push(agent.get(), makePtr<FakeCustomMetadataPacket>()), "ok");
    ASSERT_EQ(handler->packets.size(), 2u);
    EXPECT_EQ(handler->packets[1].get(), second.get());
    handler->packets.clear();
    EXPECT_TRUE(first->refCountThreadUnsafe() == 1 && second->refCountThreadUnsafe() == 1);
    EXPECT_EQ(logged(),
              (Lines{"doPushDataPacket() BEGIN",
                     "processMetadataPackets(): Producing 3 metadata packet(s).",
                     "logMetadataPacketIfNeeded(): Object metadata packet #0 contains 2 item(s).",
                     "processMetadataPacket(): WARNING: Null metadata packet #1 found; discarded.",
                     "logMetadataPacketIfNeeded(): Object metadata packet #2 contains 3 item(s).",
                     "doPushDataPacket() END"}));
    quiet->toPull = {handOver(first)};
    quiet->pullResult = false;
    EXPECT_EQ(push(quiet.get(), makePtr<FakeCustomMetadataPacket>()),
              "otherError: pullMetadataPackets() failed.");
    EXPECT_TRUE(handler->packets.empty());
    EXPECT_EQ(first->refCountThreadUnsafe(), 1);
}

TEST_F(AgentTest, pushedPacketsAreLoggedByKindDeliveredOnceAndReleased) {
    const auto event = makePtr<EventMetadata>();
    event->setTypeId("qo.lumo.LineCrossing");
    const auto events = makePtr<EventMetadataPacket>();
    events->setTimestampUs(10);
    events->addItem(event.get());
    const auto objects = objectPacket(2);
    for (IMetadataPacket* packet :
         {handOver(objects), handOver(events), handOver(objectPacket(0)),
          handOver(objectPacket(1, 0)), handOver(makePtr<FakeMetadataPacket>()),
          handOver(objectPacket(1, -1))})
        agent->pushMetadataPacket(packet);
    ASSERT_EQ(handler->packets.size(), 6u);
    EXPECT_EQ(handler->packets[0].get(), objects.get());
    handler->packets.clear();
    EXPECT_TRUE(refCountOf(objects.get()) == 1 && refCountOf(events.get()) == 1);
    EXPECT_NE(output.text().find("(metadataPacket->timestampUs() >= 0)"), std::string::npos);
    Lines all = logged();
    all.resize(6);
    for (std::string& line : all)
        line.erase(0, std::string("logMetadataPacketIfNeeded(): ").size());
    EXPECT_EQ(all, (Lines{"Object metadata packet contains 2 item(s).",
                          "Event metadata packet contains 1 item of type qo.lumo.LineCrossing.",
                          "WARNING: Object metadata packet is empty.",
                          "Object metadata packet contains 1 item of type .",
                          "WARNING: Object metadata packet has timestamp 0.",
                          "WARNING: Metadata packet has unknown type."}));
}

TEST_F(AgentTest, undeliverablePacketsAreDroppedWithAReportAndReleased) {
    const auto packet = objectPacket(1);
    handler->throwOnPacket = true;
    agent->pushMetadataPacket(nullptr);
    agent->pushMetadataPacket(handOver(packet));
    handler->packets.clear();
    EXPECT_EQ(packet->refCountThreadUnsafe(), 1);
    agent->setHandler(nullptr);
    agent->pushMetadataPacket(handOver(packet));
    EXPECT_EQ(packet->refCountThreadUnsafe(), 1);
    const std::string process = "processMetadataPacket(): ";
    EXPECT_EQ(
        logged(),
        (Lines{process + "WARNING: Null metadata packet found; discarded.",
               "logMetadataPacketIfNeeded(): Object metadata packet contains 1 item of type .",
               process + "ERROR: Metadata packet not delivered: handler failed",
               process + "INTERNAL ERROR: setHandler() was not called; ignoring the packet"}));
}

TEST_F(AgentTest, quietAgentDeliversFromManyThreadsWithoutOverlapOrVerboseLines) {
    quiet->toPull = {handOver(objectPacket(2))};
    EXPECT_EQ(push(quiet.get(), makePtr<FakeCustomMetadataPacket>()), "ok");
    quiet->pushMetadataPacket(nullptr);
    quiet->finalize();
    EXPECT_EQ(output.text(), "");
    const auto shared = objectPacket(1);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                quiet->pushMetadataPacket(handOver(shared));
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(handler->packets.size(), 201u);
    handler->packets.clear();
    EXPECT_EQ(shared->refCountThreadUnsafe(), 1);
}

TEST_F(AgentTest, manifestAndEventsGoToTheHandlerOrAreReported) {
    agent->pushManifest(R"({"types": []})");
    agent->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::error, "cap", "desc");
    EXPECT_EQ(handler->manifests, Lines{R"({"types": []})"});
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(refCountOf(handler->events[0].get()), 1);
    EXPECT_EQ(logged().front(), "Producing Plugin Diagnostic Event:");
    agent->setHandler(nullptr);
    output.clear();
    agent->pushManifest("{}");
    agent->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::error, "cap", "desc");
    agent->finalize();
    EXPECT_EQ(handler->manifests.size(), 1u);
    const std::string noHandler = "INTERNAL ERROR: setHandler() was not called; ignoring ";
    EXPECT_EQ(logged(),
              (Lines{"pushManifest(): " + noHandler + "the manifest.",
                     "pushPluginDiagnosticEvent(): " + noHandler + "Plugin Diagnostic Event.",
                     "finalize()"}));
    Result<const IString*> manifest;
    agent->getManifest(&manifest);
    EXPECT_STREQ(toPtr(manifest.value)->str(), R"({"agent": 1})");
    const std::string ns = "qo::sdk::analytics::";
    expectInterfaces(agent.get(),
                     {ns + "IConsumingDeviceAgent2", ns + "IConsumingDeviceAgent1",
                      ns + "IConsumingDeviceAgent", ns + "IDeviceAgent"},
                     {ns + "IEngine", ns + "IConsumingDeviceAgent3"});
}

TEST_F(AgentTest, settingsReachTheHookAndFailuresBecomeErrors) {
    const auto set = [this](const IStringMap* settings) {
        Result<const ISettingsResponse*> result;
        quiet->doSetSettings(&result, settings);
        return result.isOk() ? "ok"
                             : toString(result.error.errorCode) + ": " + messageOf(result.error);
    };
    EXPECT_EQ(set(makePtr<StringMap>(StringMap::Map{{"a", "1"}}).get()), "ok");
    EXPECT_EQ(quiet->settingValue("a"), "1");
    EXPECT_EQ(quiet->hooksCalled, Lines{"settings"});
    EXPECT_EQ(set(nullptr), "invalidParams: Settings are invalid");
    quiet->hookThrows = true;
    EXPECT_EQ(set(makePtr<StringMap>().get()), "otherError: settingsReceived() failed.");
    output.clear();
    EXPECT_EQ(quiet->settingValue("c"), "");
    EXPECT_EQ(logged(), Lines{"ERROR: Requested setting \"c\" is missing; implying empty string."});
}

}  // namespace
}  // namespace qo::sdk::analytics::test
