// The device-agent base: dispatch of pushed data packets, delivery of outgoing packets under its
// lock, settings, and its lines with output on and off.
#include <gtest/gtest.h>

#include <thread>

#include "host_fakes.h"
#include "qo/kit/utils.h"
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
    TestAgent(const IDeviceInfo* deviceInfo, bool enableOutput, std::string prefix = "")
        : ConsumingDeviceAgent(deviceInfo, enableOutput, std::move(prefix)) {}
    using ConsumingDeviceAgent::pushManifest;
    using ConsumingDeviceAgent::pushMetadataPacket;
    using ConsumingDeviceAgent::pushPluginDiagnosticEvent;
    using ConsumingDeviceAgent::settingValue;
    void doSetNeededMetadataTypes(Result<void>*, const IMetadataTypes*) override {}

    int hooksCalled = 0;
    bool hookResult = true;
    bool hookThrows = false;
    std::vector<IMetadataPacket*> toPull;  // Each reference is handed over on the next pull.
    bool pullResult = true;

protected:
    std::string manifestString() const override { return R"({"agent": 1})"; }
    bool pushCustomMetadataPacket(const ICustomMetadataPacket*) override { return hook(); }
    bool pullMetadataPackets(std::vector<IMetadataPacket*>* packets) override {
        packets->swap(toPull);
        return pullResult;
    }
    Result<const ISettingsResponse*> settingsReceived() override { return hook(), nullptr; }

private:
    bool hook() {
        ++hooksCalled;
        if (hookThrows)
            throw std::runtime_error("hook broke");
        return hookResult;
    }
};

Ptr<ObjectMetadataPacket> objectPacket(int64_t timestampUs = 10) {
    auto packet = makePtr<ObjectMetadataPacket>();
    packet->setTimestampUs(timestampUs);
    packet->addItem(makePtr<ObjectMetadata>().get());
    return packet;
}

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

    Lines logged() const { return lines("[" + lib() + "_device_d1] "); }

    static std::string push(TestAgent* agent, const Ptr<IDataPacket>& packet) {
        Result<void> result;
        agent->doPushDataPacket(&result, packet.get());
        return outcome(result);
    }

    const Ptr<FakeDeviceInfo> deviceInfo = makePtr<FakeDeviceInfo>("d1");
    const Ptr<FakeDeviceAgentHandler> handler = makePtr<FakeDeviceAgentHandler>();
    const Ptr<TestAgent> agent = makePtr<TestAgent>(deviceInfo.get(), true);
    const Ptr<TestAgent> quiet = makePtr<TestAgent>(deviceInfo.get(), false);
    const Ptr<IDataPacket> custom = makePtr<FakeCustomMetadataPacket>();
};

TEST_F(AgentTest, unusablePacketsAreRefusedWithoutReachingTheHook) {
    const std::string null = "invalidParams: dataPacket is null; discarding it.";
    const std::string negative =
        "invalidParams: dataPacket has invalid timestamp -1; discarding the packet.";
    EXPECT_EQ(push(agent.get(), nullptr), null);
    EXPECT_EQ(push(quiet.get(), makePtr<FakeMetadataPacket>(-1)), negative);
    EXPECT_EQ(push(quiet.get(), makePtr<FakeMetadataPacket>(5)),
              "invalidParams: Unsupported frame supplied; ignored.");
    EXPECT_EQ(agent->hooksCalled + quiet->hooksCalled, 0);
}

TEST_F(AgentTest, hookFailureOrExceptionBecomesAnErrorAndAMissingHandlerIsOne) {
    EXPECT_EQ(push(quiet.get(), custom), "ok");
    quiet->hookResult = false;
    const std::string failed = "otherError: pushCustomMetadataPacket() failed.";
    EXPECT_EQ(push(quiet.get(), custom), failed);
    agent->hookThrows = true;
    output.clear();
    EXPECT_EQ(push(agent.get(), custom), failed);
    EXPECT_EQ(
        logged()[1],
        "doPushDataPacket(): ERROR: pushCustomMetadataPacket() threw an exception: hook broke");
    EXPECT_EQ(refCountOf(custom.get()), 1);
    quiet->setHandler(nullptr);
    quiet->hookResult = true;
    EXPECT_EQ(push(quiet.get(), custom), "internalError: setHandler() was not called.");
}

// The server's registry must see no event that is never delivered.
class DiagnosticEvents : public ObjectCountingTest {};

TEST_F(DiagnosticEvents, withoutAHandlerNoEventIsMadeAndWithOneItIsDeliveredAndReleased) {
    CapturedOutput output;
    const auto agent = makePtr<TestAgent>(makePtr<FakeDeviceInfo>("d1").get(), false);
    const auto handler = makePtr<FakeDeviceAgentHandler>();
    const int64_t created = LiveObjects::created;
    agent->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::warning, "c", "d");
    EXPECT_EQ(LiveObjects::created, created);
    EXPECT_NE(output.text().find("INTERNAL ERROR: setHandler() was not called"), std::string::npos);

    agent->setHandler(handler.get());
    agent->pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::error, "c", "d");
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(handler->events[0]->level(), IPluginDiagnosticEvent::Level::error);
    EXPECT_EQ(LiveObjects::created, created + 1);
    agent->setHandler(nullptr);
}

TEST_F(AgentTest, packetsAreDeliveredInOrderAndReleasedWhateverBecomesOfThem) {
    const auto first = objectPacket();
    const auto second = objectPacket();
    agent->toPull = {handOver(first), nullptr, handOver(second)};
    EXPECT_EQ(push(agent.get(), custom), "ok");
    ASSERT_EQ(handler->packets.size(), 2u);
    EXPECT_EQ(handler->packets[1].get(), second.get());
    handler->packets.clear();
    quiet->toPull = {handOver(first)};
    quiet->pullResult = false;
    EXPECT_EQ(push(quiet.get(), custom), "otherError: pullMetadataPackets() failed.");
    EXPECT_TRUE(handler->packets.empty());

    const auto events = makePtr<EventMetadataPacket>();
    events->addItem(makePtr<EventMetadata>().get());
    for (IMetadataPacket* packet :
         {handOver(events), handOver(makePtr<FakeMetadataPacket>()), handOver(objectPacket(-1)),
          static_cast<IMetadataPacket*>(nullptr)})
        agent->pushMetadataPacket(packet);
    EXPECT_EQ(handler->packets.size(), 3u) << "all but the null one";
    handler->packets.clear();
    handler->throwOnPacket = true;
    agent->pushMetadataPacket(handOver(first));
    handler->packets.clear();
    agent->setHandler(nullptr);
    agent->pushMetadataPacket(handOver(second));
    EXPECT_EQ(logged().back(),
              "processMetadataPacket(): INTERNAL ERROR: setHandler() was not called; ignoring the "
              "packet");
    EXPECT_TRUE(first->refCountThreadUnsafe() == 1 && second->refCountThreadUnsafe() == 1 &&
                refCountOf(events.get()) == 1);
}

TEST_F(AgentTest, quietAgentDeliversFromManyThreadsWithoutOverlapOrLines) {
    quiet->pushMetadataPacket(nullptr);
    const auto shared = objectPacket();
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                quiet->pushMetadataPacket(handOver(shared));
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    quiet->finalize();
    EXPECT_EQ(output.text(), "");
    EXPECT_EQ(handler->packets.size(), 200u);
    handler->packets.clear();
    EXPECT_EQ(shared->refCountThreadUnsafe(), 1);
}

TEST_F(AgentTest, manifestAndSettingsGoThroughAndSettingsFailuresBecomeErrors) {
    agent->pushManifest(R"({"types": []})");
    EXPECT_EQ(handler->manifests, Lines{R"({"types": []})"});
    const auto set = [this](const IStringMap* settings) {
        Result<const ISettingsResponse*> result;
        quiet->doSetSettings(&result, settings);
        toPtr(result.value);
        return outcome(result);
    };
    EXPECT_EQ(set(makePtr<StringMap>(StringMap::Map{{"a", "1"}}).get()), "ok");
    EXPECT_EQ(quiet->settingValue("a"), "1");
    EXPECT_EQ(set(nullptr), "invalidParams: Settings are invalid");
    quiet->hookThrows = true;
    EXPECT_EQ(set(makePtr<StringMap>().get()), "otherError: settingsReceived() failed.");
    EXPECT_EQ(quiet->hooksCalled, 2);

    const std::string ns = "qo::sdk::analytics::";
    expectInterfaces(agent.get(),
                     {ns + "IConsumingDeviceAgent2", ns + "IConsumingDeviceAgent1",
                      ns + "IConsumingDeviceAgent", ns + "IDeviceAgent"},
                     {ns + "IEngine", ns + "IConsumingDeviceAgent3"});
}

}  // namespace
}  // namespace qo::sdk::analytics::test
