// The intake of metadata documents: one document in work at a time, timestamps with the
// calibration offset, documents that are dropped, and failures that must not stop the agent.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "integration/agent_fixture.h"
#include "qo/sdk/analytics/i_metadata_types.h"

namespace lumo_test {
namespace {

using namespace std::chrono_literals;
using qo::sdk::ErrorCode;
using qo::sdk::makePtr;

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;

OnvifDocument personDocument(int id = 1) {
    return OnvifDocument().scale(kScaleX, kScaleY).object(CameraObject::person(id).box(1, 1, 5, 5));
}

OnvifDocument tamperingDocument() {
    return OnvifDocument().withoutFrame().event(CameraEvent(kTopicSceneChange));
}

class MetadataIngestTest : public AgentTest {};

TEST_F(MetadataIngestTest, EveryPacketIsDeliveredBeforeTheNextDocumentIsAccepted) {
    OnvifDocument document = personDocument(100);
    for (int id = 1; id <= 10; ++id)
        document.object(
            CameraObject::person(id).imageRef("http://camera/shot" + std::to_string(id)));
    document.event(CameraEvent(kTopicSceneChange));

    for (int round = 0; round < 5; ++round) {
        const size_t before = handler().packetCount();
        ASSERT_EQ(ErrorCode::noError, push(document.str(), kT0 + round));
        ASSERT_TRUE(waitUntilReady());
        EXPECT_EQ(before + 12, handler().packetCount()) << "ready before everything was delivered";
    }
    EXPECT_EQ(0, handler().overlaps());
}

TEST_F(MetadataIngestTest, DocumentWithObjectsOnlyQueuesNoEventPacket) {
    const Delivery delivery = feed(personDocument());
    EXPECT_EQ(1u, delivery.objects.size());
    EXPECT_TRUE(delivery.events.empty());
}

TEST_F(MetadataIngestTest, DocumentWithEventsOnlyQueuesNoObjectPacket) {
    const Delivery delivery = feed(tamperingDocument());
    EXPECT_TRUE(delivery.objects.empty());
    EXPECT_EQ(1u, delivery.events.size());
}

TEST_F(MetadataIngestTest, DocumentWithNothingOfInterestLeavesTheAgentReadyAndDeliversNothing) {
    for (const std::string& document :
         {OnvifDocument().str(), OnvifDocument().withoutFrame().str(),
          OnvifDocument().scale(kScaleX, kScaleY).str(),
          std::string("<tt:MetaDataStream xmlns:tt=\"http://www.onvif.org/ver10/schema\"/>")}) {
        EXPECT_EQ(0u, feed(document).total()) << document;
    }
    EXPECT_EQ(1u, feed(personDocument()).objects.size());
}

TEST_F(MetadataIngestTest, DataThatIsNoMetadataDocumentIsDroppedAndTheNextOneProcessed) {
    const std::string junk[] = {
        "",
        "not xml at all",
        "\xff\xfe\x00\x01",
        "<tt:MetaDataStream><tt:VideoAnalytics><tt:Frame>",  // truncated
        "text before <tt:MetaDataStream/>",
        "<tt:Other xmlns:tt=\"http://www.onvif.org/ver10/schema\"/>",  // another root
        "<MetaDataStream/>",
    };
    for (const std::string& data : junk) {
        EXPECT_EQ(ErrorCode::noError, push(data)) << data;
        EXPECT_TRUE(agent().isReady()) << "dropped on the server's thread: " << data;
    }
    EXPECT_EQ(0u, handler().packetCount());
    EXPECT_EQ(1u, feed(tamperingDocument()).events.size());
}

// ---- Timestamps.

TEST_F(MetadataIngestTest, CalibrationOffsetIsAddedToEveryTimestamp) {
    agent().setTimestampOffset(100'000);
    const Delivery delivery = feed(personDocument(1)
                                       .object(CameraObject::person(2).imageRef("http://camera/2"))
                                       .event(CameraEvent(kTopicSceneChange)),
                                   1'000'000);
    ASSERT_EQ(1u, delivery.objects.size());
    ASSERT_EQ(1u, delivery.events.size());
    ASSERT_EQ(1u, delivery.bestShots.size());
    EXPECT_EQ(1'100'000, delivery.objects[0].timestampUs);
    EXPECT_EQ(1'100'000, delivery.events[0].timestampUs);
    EXPECT_EQ(1'100'000, delivery.bestShots[0].timestampUs);
}

TEST_F(MetadataIngestTest, NegativeCalibrationOffsetIsSubtracted) {
    agent().setTimestampOffset(-250'000);
    const Delivery delivery = feed(tamperingDocument(), 1'000'000);
    ASSERT_EQ(1u, delivery.events.size());
    EXPECT_EQ(750'000, delivery.events[0].timestampUs);
}

TEST_F(MetadataIngestTest, OffsetIsAddedInSixtyFourBits) {
    agent().setTimestampOffset(2'000'000'000);
    const int64_t late = int64_t{1} << 40;
    const Delivery delivery = feed(tamperingDocument(), late);
    ASSERT_EQ(1u, delivery.events.size());
    EXPECT_EQ(late + 2'000'000'000, delivery.events[0].timestampUs);
}

TEST_F(MetadataIngestTest, CalibrationSettingShiftsTimestampsByFiftyMillisecondsAStep) {
    ASSERT_EQ(ErrorCode::noError, setSettings({{"TS_CALIBRATION", "2"}, {"HL_DURATION", "5"}}));
    EXPECT_EQ(100'000, agent().timestampOffset());
    EXPECT_EQ(1'100'000, feed(tamperingDocument(), 1'000'000).events.at(0).timestampUs);

    ASSERT_EQ(ErrorCode::noError, setSettings({{"TS_CALIBRATION", "-3"}, {"HL_DURATION", "5"}}));
    ASSERT_TRUE(eventually([this] { return agent().timestampOffset() == -150'000; }));
    EXPECT_EQ(850'000, feed(tamperingDocument(), 1'000'000).events.at(0).timestampUs);
}

// ---- Failures that must not stop the intake.

TEST_F(MetadataIngestTest, ServerHandlerThatThrowsDoesNotStopTheAgent) {
    handler().setHook([] { throw std::runtime_error("the server failed"); });
    ASSERT_EQ(ErrorCode::noError,
              push(personDocument().event(CameraEvent(kTopicSceneChange)).str()));
    ASSERT_TRUE(waitUntilReady());
    EXPECT_EQ(0u, handler().packetCount());

    handler().setHook(nullptr);
    const Delivery next = feed(personDocument().event(CameraEvent(kTopicSceneChange)));
    EXPECT_EQ(1u, next.objects.size());
    EXPECT_EQ(1u, next.events.size());
}

TEST_F(MetadataIngestTest, AgentWithoutHandlerStillFinishesItsDocuments) {
    const auto deviceInfo = makePtr<FakeDeviceInfo>();
    const auto lonely = makePtr<DeviceAgent>(deviceInfo.get());
    const auto packet = makePtr<FakeMetadataPacket>(personDocument().str(), kT0);
    qo::sdk::Result<void> result;
    lonely->doPushDataPacket(&result, packet.get());
    EXPECT_EQ(ErrorCode::internalError, result.error.errorCode);
    releaseResult(&result);
    EXPECT_TRUE(eventually([&] { return lonely->isReady(); }));

    const auto late = makePtr<RecordingHandler>();
    lonely->setHandler(late.get());
    lonely->doPushDataPacket(&result, packet.get());
    EXPECT_EQ(ErrorCode::noError, result.error.errorCode);
    releaseResult(&result);
    EXPECT_TRUE(late->waitForPackets(1));
}

TEST_F(MetadataIngestTest, NeededMetadataTypesChangeNothing) {
    class NoTypes : public qo::sdk::RefCountable<qo::sdk::analytics::IMetadataTypes> {};
    qo::sdk::Result<void> result;
    static_cast<qo::sdk::analytics::IDeviceAgent&>(agent()).doSetNeededMetadataTypes(
        &result, makePtr<NoTypes>().get());
    EXPECT_TRUE(result.isOk());
    const Delivery delivery = feed(personDocument().event(CameraEvent(kTopicSceneChange)));
    EXPECT_EQ(1u, delivery.objects.size());
    EXPECT_EQ(1u, delivery.events.size());
}

// ---- Documents held in work, and conversions that fail.

/** An agent whose conversions can be held at a gate or made to fail. */
class StagedAgent : public DeviceAgent {
public:
    using DeviceAgent::DeviceAgent;

    // Each fails after it has built its packets, so stale packets would show.
    void pushObject(const Metadata::_Payload* payload, int64_t timestampUs) override {
        passGate();
        DeviceAgent::pushObject(payload, timestampUs);
        if (foreignObjectFailure)
            throw 42;  // Not a std::exception.
        if (objectFailures.fetch_sub(1) > 0)
            throw std::runtime_error("object conversion failed");
    }
    void pushEvent(const Metadata::_Payload* payload, int64_t timestampUs) override {
        passGate();
        DeviceAgent::pushEvent(payload, timestampUs);
        if (eventFailures.fetch_sub(1) > 0)
            throw std::runtime_error("event conversion failed");
    }

    void setGateOpen(bool open) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_gateOpen = open;
        }
        m_changed.notify_all();
    }
    bool waitForConversionsEntered(size_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return m_entered >= count; });
    }

    std::atomic<int> objectFailures{0};
    std::atomic<int> eventFailures{0};
    std::atomic<bool> foreignObjectFailure{false};

private:
    void passGate() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_entered;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_gateOpen; });
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_entered = 0;    // Guarded by m_mutex.
    bool m_gateOpen = true;  // Guarded by m_mutex.
};

class StagedIngestTest : public AgentTest {
protected:
    Ptr<DeviceAgent> makeAgent(const qo::sdk::IDeviceInfo* deviceInfo) override {
        auto agent = makePtr<StagedAgent>(deviceInfo);
        m_staged = agent.get();
        return agent;
    }

    void TearDown() override {
        // Nothing of the subclass may be in use once its part of the agent is gone.
        if (hasAgent()) {
            m_staged->setGateOpen(true);
            EXPECT_TRUE(waitUntilReady());
        }
        AgentTest::TearDown();
    }

    void expectTheNextDocumentAlone() {
        const Delivery next =
            feed(personDocument(2).event(CameraEvent(kTopicSceneChange)), kT0 + 1);
        ASSERT_EQ(1u, next.objects.size());
        ASSERT_EQ(1u, next.events.size());
        EXPECT_EQ(1u, next.objects[0].items.size()) << "packets of the failed document came along";
        EXPECT_EQ(kT0 + 1, next.objects[0].timestampUs);
        EXPECT_EQ(1u, next.events[0].items.size());
    }

    StagedAgent* m_staged = nullptr;
};

TEST_F(StagedIngestTest, DocumentArrivingWhileAnotherIsInWorkIsDropped) {
    m_staged->setGateOpen(false);
    ASSERT_EQ(ErrorCode::noError, push(personDocument().str(), kT0));
    ASSERT_TRUE(m_staged->waitForConversionsEntered(1));
    EXPECT_FALSE(agent().isReady());

    EXPECT_EQ(ErrorCode::noError, push(tamperingDocument().str(), kT0 + 1));

    m_staged->setGateOpen(true);
    ASSERT_TRUE(waitUntilReady());
    const Delivery first = readDelivery(handler().takePackets());
    EXPECT_EQ(1u, first.objects.size());
    EXPECT_TRUE(first.events.empty()) << "the second document was processed";

    const Delivery next = feed(tamperingDocument(), kT0 + 2);
    EXPECT_EQ(1u, next.events.size()) << "the agent takes documents again";
}

TEST_F(StagedIngestTest, ConcurrentPushesTakeAnIdleAgentOnce) {
    m_staged->setGateOpen(false);
    std::atomic<bool> go{false};
    std::vector<std::thread> servers;
    for (int i = 0; i < 4; ++i) {
        servers.emplace_back([this, &go, i] {
            while (!go.load())
                std::this_thread::yield();
            EXPECT_EQ(ErrorCode::noError, push(tamperingDocument().str(), kT0 + i));
        });
    }
    go = true;
    for (auto& server : servers)
        server.join();

    ASSERT_TRUE(m_staged->waitForConversionsEntered(1));
    m_staged->setGateOpen(true);
    ASSERT_TRUE(waitUntilReady());
    const Delivery delivery = readDelivery(handler().takePackets());
    ASSERT_EQ(1u, delivery.events.size());
    EXPECT_EQ(1u, delivery.events[0].items.size());
}

TEST_F(StagedIngestTest, FailedObjectConversionDropsTheDocumentAndFreesTheAgent) {
    m_staged->objectFailures = 1;
    const Delivery failed = feed(personDocument(1).event(CameraEvent(kTopicSceneChange)));
    EXPECT_EQ(0u, failed.total());
    expectTheNextDocumentAlone();
}

TEST_F(StagedIngestTest, FailedEventConversionDropsTheDocumentAndFreesTheAgent) {
    m_staged->eventFailures = 1;
    const Delivery failed = feed(personDocument(1).event(CameraEvent(kTopicSceneChange)));
    EXPECT_EQ(0u, failed.total());
    expectTheNextDocumentAlone();
}

TEST_F(StagedIngestTest, ConversionThrowingAnythingDropsTheDocumentAndFreesTheAgent) {
    m_staged->foreignObjectFailure = true;
    const Delivery failed = feed(personDocument(1).event(CameraEvent(kTopicSceneChange)));
    EXPECT_EQ(0u, failed.total());
    m_staged->foreignObjectFailure = false;
    expectTheNextDocumentAlone();
}

TEST_F(StagedIngestTest, BothConversionsFailingStillFreeTheAgent) {
    m_staged->objectFailures = 1000;
    m_staged->eventFailures = 1000;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(0u, feed(personDocument(1).event(CameraEvent(kTopicSceneChange))).total());
    m_staged->objectFailures = 0;
    m_staged->eventFailures = 0;
    expectTheNextDocumentAlone();
}

// Deliveries hold the base class's mutex while the server's handler runs; a push must not wait
// for them.
TEST_F(StagedIngestTest, PushIsNotHeldUpByASlowDelivery) {
    m_staged->setGateOpen(false);
    ASSERT_EQ(ErrorCode::noError, push(personDocument().str()));
    ASSERT_TRUE(m_staged->waitForConversionsEntered(1));
    handler().setGateOpen(false);
    m_staged->setGateOpen(true);
    ASSERT_TRUE(handler().waitForDeliveriesEntered(1));

    std::atomic<bool> returned{false};
    std::thread server([&] {
        push(tamperingDocument().str(), kT0 + 1);
        returned = true;
    });
    EXPECT_TRUE(eventually([&] { return returned.load(); }, 2s))
        << "the server's thread waited for the handler";
    handler().setGateOpen(true);
    server.join();
}

TEST_F(StagedIngestTest, ReleasingTheAgentWaitsForTheDocumentInWork) {
    // Held in conversion until the push has returned, then in delivery.
    m_staged->setGateOpen(false);
    ASSERT_EQ(ErrorCode::noError, push(personDocument().str()));
    ASSERT_TRUE(m_staged->waitForConversionsEntered(1));
    handler().setGateOpen(false);
    m_staged->setGateOpen(true);
    ASSERT_TRUE(handler().waitForDeliveriesEntered(1));

    std::atomic<bool> released{false};
    std::thread server([&] {
        releaseAgent();
        released = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(released.load()) << "the agent went while its document was being delivered";

    handler().setGateOpen(true);
    server.join();
    EXPECT_TRUE(released.load());
    EXPECT_EQ(1u, handler().packetCount());
}

TEST_F(MetadataIngestTest, ReleasingRightAfterAPushLeavesNothingRunning) {
    for (int i = 0; i < 20; ++i) {
        const auto deviceInfo = makePtr<FakeDeviceInfo>();
        auto agent = makePtr<DeviceAgent>(deviceInfo.get());
        agent->setHandler(&handler());
        const auto packet = makePtr<FakeMetadataPacket>(
            personDocument().event(CameraEvent(kTopicSceneChange)).str(), kT0);
        qo::sdk::Result<void> result;
        agent->doPushDataPacket(&result, packet.get());
        releaseResult(&result);
        agent.reset();  // Returns once the queued work has run or given up.
    }
    // Whatever was delivered came whole: at most one packet of each kind per document.
    const Delivery delivery = readDelivery(handler().takePackets());
    EXPECT_LE(delivery.objects.size(), 20u);
    EXPECT_LE(delivery.events.size(), 20u);
    EXPECT_EQ(0, delivery.unknown);
}

}  // namespace
}  // namespace lumo_test
