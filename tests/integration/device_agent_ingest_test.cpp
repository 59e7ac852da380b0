// The intake of metadata documents: one in work at a time, the calibration offset, and failures
// that must not stop the agent.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "integration/agent_fixture.h"

namespace lumo_test {
namespace {

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;

const std::string kTampering = document(event(kTopicSceneChange));
const std::string kPersonAndTampering =
    document(frame(kScale + object(1, "Person")) + event(kTopicSceneChange));

std::string tampering(int track, int64_t t = kT0) {
    return "events t=" + std::to_string(t) + ": Tampering#" + std::to_string(track) +
           " \"Tampering\" \"\"";
}

using MetadataIngestTest = AgentTest;

TEST_F(MetadataIngestTest, EveryPacketIsDeliveredBeforeTheAgentIsReadyAgain) {
    std::string shots;
    for (int id = 2; id <= 11; ++id)
        shots += object(id, "Person", image("http://camera/" + std::to_string(id)));
    for (int round = 0; round < 5; ++round) {
        ASSERT_EQ(ErrorCode::noError, push(document(frame(kScale + object(1, "Person") + shots) +
                                                    event(kTopicSceneChange))));
        ASSERT_TRUE(waitUntilReady());
        EXPECT_EQ(12u, handler().takePackets().size()) << "ready before everything was delivered";
    }
}

TEST_F(MetadataIngestTest, DocumentWithNothingToDeliverLeavesTheAgentReady) {
    for (const std::string& body : {std::string(), frame(""), frame(kScale)})
        EXPECT_EQ("", feed(document(body)));
    EXPECT_EQ(tampering(1), feed(kTampering));
}

TEST_F(MetadataIngestTest, CalibrationOffsetIsAddedToEveryTimestamp) {
    agent().setTimestampOffset(100'000);
    EXPECT_EQ(
        "objects t=1100000: Human#1 Green; Human#2 {Object ID=2}\nshot t=1100000 #2 "
        "http://camera/2\n" +
            tampering(3, 1'100'000),
        feed(document(
            frame(kScale + object(1, "Person") + object(2, "Person", image("http://camera/2"))) +
            event(kTopicSceneChange))));
    agent().setTimestampOffset(-250'000);
    EXPECT_EQ(tampering(4, 750'000), feed(kTampering));
    agent().setTimestampOffset(2'000'000'000);
    EXPECT_EQ(tampering(5, int64_t{1} << 40), feed(kTampering, (int64_t{1} << 40) - 2'000'000'000))
        << "added in 64 bits";
}

/** An agent whose conversions fail, after they built their packets, as often as asked. */
class FailingAgent : public DeviceAgent {
public:
    using DeviceAgent::DeviceAgent;
    void pushObject(const Metadata::_Payload* payload, int64_t timestampUs) override {
        DeviceAgent::pushObject(payload, timestampUs);
        if (foreignObjectFailure)
            throw 42;  // Not a std::exception.
        if (objectFailures.fetch_sub(1) > 0)
            throw std::runtime_error("object conversion failed");
    }
    void pushEvent(const Metadata::_Payload* payload, int64_t timestampUs) override {
        DeviceAgent::pushEvent(payload, timestampUs);
        if (eventFailures.fetch_sub(1) > 0)
            throw std::runtime_error("event conversion failed");
    }

    std::atomic<int> objectFailures{0}, eventFailures{0};
    std::atomic<bool> foreignObjectFailure{false};
};

class FailingConversionTest : public AgentTest {
protected:
    Ptr<DeviceAgent> makeAgent(const qo::sdk::IDeviceInfo* deviceInfo) override {
        auto agent = makePtr<FailingAgent>(deviceInfo);
        m_failing = agent.get();
        return agent;
    }
    FailingAgent* m_failing = nullptr;
};

TEST_F(FailingConversionTest, DropsTheDocumentAndFreesTheAgent) {
    const struct {
        int objectFailures, eventFailures;
        bool foreign;
    } cases[] = {{1, 0, false}, {0, 1, false}, {0, 0, true}, {3, 3, false}};
    for (const auto& c : cases) {
        m_failing->objectFailures = c.objectFailures;
        m_failing->eventFailures = c.eventFailures;
        m_failing->foreignObjectFailure = c.foreign;
        for (int i = 0; i < std::max(1, c.objectFailures); ++i)
            EXPECT_EQ("", feed(kPersonAndTampering));
        m_failing->objectFailures = m_failing->eventFailures = 0;
        m_failing->foreignObjectFailure = false;
        m_text = PacketText();
        EXPECT_EQ("objects t=1000001: Human#1 Green\n" + tampering(2, kT0 + 1),
                  feed(kPersonAndTampering, kT0 + 1))
            << "packets of the failed document came along";
    }
}

/** The first document pushed is held in its first delivery until the gate opens. */
class HeldDeliveryTest : public AgentTest {
protected:
    void SetUp() override {
        AgentTest::SetUp();
        handler().gate.setOpen(false);
    }
};

// Deliveries hold the base class's mutex while the server's handler runs; a push must not wait.
TEST_F(HeldDeliveryTest, OneDocumentInWorkAtATimeOthersAreDroppedWithoutWaiting) {
    std::atomic<bool> go{false};
    std::vector<std::thread> servers;
    for (int t = 1; t <= 4; ++t) {
        servers.emplace_back([this, &go, t] {
            while (!go)
                std::this_thread::yield();
            EXPECT_EQ(ErrorCode::noError, push(kTampering, t));
        });
    }
    go = true;
    for (auto& server : servers)
        server.join();
    ASSERT_TRUE(handler().gate.waitForEntered(1));
    EXPECT_FALSE(agent().isReady());
    std::atomic<bool> returned{false};
    std::thread server([&] {
        EXPECT_EQ(ErrorCode::noError, push(kTampering, 5));
        returned = true;
    });
    EXPECT_TRUE(eventually([&] { return returned.load(); })) << "the push waited for the handler";
    handler().gate.setOpen(true);
    server.join();
    ASSERT_TRUE(waitUntilReady());
    const std::string text = delivered();
    EXPECT_EQ(0, std::count(text.begin(), text.end(), '\n')) << "several documents taken: " << text;
    EXPECT_EQ(std::string::npos, text.find("t=5")) << "a document arriving meanwhile was taken";
    EXPECT_EQ(tampering(2, 6), feed(kTampering, 6));
}

TEST_F(HeldDeliveryTest, ReleasingTheAgentWaitsForTheDocumentInWork) {
    ASSERT_EQ(ErrorCode::noError, push(kPersonAndTampering));
    ASSERT_TRUE(handler().gate.waitForEntered(1));
    std::atomic<bool> released{false};
    std::thread server([&] {
        m_agent.reset();
        released = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(released) << "the agent went while its document was being delivered";
    handler().gate.setOpen(true);
    server.join();
    EXPECT_EQ(2u, handler().takePackets().size());
}

}  // namespace
}  // namespace lumo_test
