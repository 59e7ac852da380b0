// The intake of metadata documents: one in work at a time, the calibration offset, failures that
// must not stop the agent, and many server threads at once leaving no object behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "support/agent_fixture.h"

namespace lumo_test {
namespace {

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;

const std::string kTampering = document(event(kTopicTampering));
const std::string kPersonAndTampering =
    document(frame(kScale + person(1)) + event(kTopicTampering));

std::string tampering(int track, int64_t t = kT0) {
    return "events t=" + std::to_string(t) + ": Tampering#" + std::to_string(track) +
           " \"Tampering\" \"\"";
}

using MetadataIngestTest = AgentTest;

TEST_F(MetadataIngestTest, DocumentWithNothingToDeliverLeavesTheAgentReady) {
    for (const std::string& body : {std::string(), frame(""), frame(kScale)})
        EXPECT_EQ("", feed(document(body)));
}

TEST_F(MetadataIngestTest, PacketThatIsNotXmlIsDroppedAndTheNextDocumentIsTaken) {
    for (const std::string& junk :
         {std::string("not a metadata document"), std::string("<tt:MetaDataStream><tt:Event"),
          std::string("\0\xff<>", 4), document(event(kTopicTampering)).substr(0, 150)}) {
        EXPECT_EQ("", feed(junk));
        EXPECT_TRUE(m_agent->isReady());
    }
    EXPECT_EQ(tampering(1), feed(kTampering));
}

TEST_F(MetadataIngestTest, CalibrationOffsetIsAddedToEveryTimestampIn64Bits) {
    m_agent->setTimestampOffset(-250'000);
    EXPECT_EQ(
        "objects t=750000: Human#1 [0,0,0,0] Green; Human#2 {Object ID=2}\nshot t=750000 #2 "
        "http://camera/2\n" +
            tampering(3, 750'000),
        feed(document(frame(kScale + person(1) + person(2, imageRef("http://camera/2"))) +
                      event(kTopicTampering))));
    m_agent->setTimestampOffset(2'000'000'000);
    EXPECT_EQ(tampering(4, int64_t{1} << 40), feed(kTampering, (int64_t{1} << 40) - 2'000'000'000));
}

// Conversions fail after they built their packets; `failure` picks where and how, once.
class FailingAgent : public DeviceAgent {
public:
    using DeviceAgent::DeviceAgent;
    void pushObject(const Metadata::_Payload* payload, int64_t timestampUs) override {
        DeviceAgent::pushObject(payload, timestampUs);
        if (failure == 1 && failure.exchange(0))
            throw std::runtime_error("object conversion failed");
        if (failure == 3 && failure.exchange(0))
            throw 42;  // Not a std::exception.
    }
    void pushEvent(const Metadata::_Payload* payload, int64_t timestampUs) override {
        DeviceAgent::pushEvent(payload, timestampUs);
        if (failure == 2 && failure.exchange(0))
            throw std::runtime_error("event conversion failed");
    }
    std::atomic<int> failure{0};
};

TEST_F(MetadataIngestTest, FailingConversionDropsTheDocumentAndFreesTheAgent) {
    const auto failing = makePtr<FailingAgent>(makePtr<FakeDeviceInfo>().get());
    m_agent = failing;
    m_agent->setHandler(m_handler.get());
    for (const int failure : {1, 2, 3}) {
        failing->failure = failure;
        EXPECT_EQ("", feed(kPersonAndTampering)) << failure;
        m_text = PacketText();
        EXPECT_EQ("objects t=1000001: Human#1 [0,0,0,0] Green\n" + tampering(2, kT0 + 1),
                  feed(kPersonAndTampering, kT0 + 1))
            << "packets of the failed document came along";
    }
}

TEST_F(MetadataIngestTest, FailingObjectConversionStillLetsTheDocumentsEventsActOnTheAgent) {
    const auto failing = makePtr<FailingAgent>(makePtr<FakeDeviceInfo>().get());
    m_agent = failing;
    m_agent->setHandler(m_handler.get());
    m_agent->setHighlightDuration(5);
    failing->failure = 1;
    EXPECT_EQ("", feed(document(frame(kScale + person(7)) + event(kTopicSettingChanged) +
                                event(kTopicRegion, {{"Rule", "Region0"}},
                                      {{"ObjectId", "7"}, {"Actions", "Enter"}}))));
    EXPECT_TRUE(m_agent->isSettingsRefreshNeeded()) << "the camera's settings change went unseen";
    EXPECT_EQ(1u, m_agent->eventedObjectCount()) << "the region event's object is not highlighted";
}

// Deliveries hold the base class's mutex while the server's handler runs; a push must not wait.
TEST_F(MetadataIngestTest, OneDocumentInWorkAtATimeOthersAreDroppedWithoutWaiting) {
    std::unique_lock<std::mutex> held(m_handler->hold);  // The first delivery waits for it.
    std::vector<std::thread> servers;
    for (int t = 1; t <= 4; ++t)
        servers.emplace_back([this, t] { EXPECT_EQ(ErrorCode::noError, push(kTampering, t)); });
    for (auto& server : servers)
        server.join();
    ASSERT_TRUE(eventually([this] { return m_handler->entered > 0; }));
    EXPECT_FALSE(m_agent->isReady());
    std::atomic<bool> returned{false};
    std::thread server([&] {
        EXPECT_EQ(ErrorCode::noError, push(kTampering, 5));
        returned = true;
    });
    EXPECT_TRUE(eventually([&] { return returned.load(); })) << "the push waited for the handler";
    held.unlock();
    server.join();
    ASSERT_TRUE(waitUntilReady());
    const std::string text = m_text(m_handler->takePackets());
    EXPECT_EQ(0, std::count(text.begin(), text.end(), '\n')) << "several documents taken: " << text;
    EXPECT_EQ(std::string::npos, text.find("t=5")) << "a document arriving meanwhile was taken";
    EXPECT_EQ(tampering(2, 6), feed(kTampering, 6));
}

TEST_F(MetadataIngestTest, ReleasingTheAgentWaitsForTheDocumentInWork) {
    std::unique_lock<std::mutex> held(m_handler->hold);
    ASSERT_EQ(ErrorCode::noError, push(kPersonAndTampering));
    ASSERT_TRUE(eventually([this] { return m_handler->entered > 0; }));
    std::atomic<bool> released{false};
    std::thread server([&] {
        m_agent.reset();
        released = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(released) << "the agent went while its document was being delivered";
    held.unlock();
    server.join();
    EXPECT_EQ(2u, m_handler->takePackets().size());
}

std::string mixedDocument(int n) {
    const int id = n % 40;
    return document(
        frame(kScale + person(id, shape(10, 10, 100, 200)) +
              object(id + 1, classType("Vehicle") + vehicleInfo(n % 2 ? "Car" : "Motorcycle") +
                                 shape(300, 10, 400, 90)) +
              (n % 3 ? "" : person(id, imageRef("http://camera/" + std::to_string(n))))) +
        (n % 4 ? ""
               : event(kTopicRegion, {{"Rule", "Region1"}},
                       {{"ObjectId", std::to_string(id)}, {"Actions", "Enter"}})) +
        (n % 5 ? "" : event(kTopicSettingChanged)) +
        (n % 7 ? "" : event(kTopicCounter, {{"Rule", "Line1"}}, {{"Count", "3"}})));
}

TEST_F(MetadataIngestTest, ConcurrentServerCallsLeaveNoObjectBehind) {
    constexpr int kServerThreads = 4, kDocumentsPerThread = 400;
    std::atomic<bool> pushing{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < kServerThreads; ++t)
        threads.emplace_back([&, t] {
            for (int n = t * kDocumentsPerThread; n < (t + 1) * kDocumentsPerThread; ++n) {
                EXPECT_EQ(ErrorCode::noError, push(mixedDocument(n), kT0 + n * 40'000));
                std::this_thread::yield();
            }
        });
    threads.emplace_back([&] {
        for (int i = 0; pushing || i < 50; ++i) {
            EXPECT_EQ(ErrorCode::noError,
                      pushPacket(makePtr<FakeVideoPacket>(1280 + i % 2, 720 + i % 2).get()));
            std::this_thread::yield();
        }
    });
    threads.emplace_back([&] {
        // No camera is reachable: only settings that stay inside the agent.
        for (int i = 0; (pushing || i < 20) && i < 300; ++i) {
            const auto values = makePtr<qo::sdk::StringMap>(
                std::map<std::string, std::string>{{"TS_CALIBRATION", std::to_string(i % 5 - 2)},
                                                   {"HL_DURATION", std::to_string(i % 4)}});
            qo::sdk::Result<const qo::sdk::ISettingsResponse*> result;
            m_agent->doSetSettings(&result, values.get());
            if (result.value)
                result.value->releaseRef();
            EXPECT_EQ(ErrorCode::noError, release(result.error));
            (void)m_agent->isSettingsRefreshNeeded();
            (void)m_agent->timestampOffset();
            std::this_thread::yield();
        }
    });
    for (int t = 0; t < kServerThreads; ++t)
        threads[t].join();
    pushing = false;
    for (size_t t = kServerThreads; t < threads.size(); ++t)
        threads[t].join();
    ASSERT_TRUE(waitUntilReady());

    const std::string text = m_text(m_handler->takePackets());
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 10) << "too few documents were taken";
    for (const char* fault : {"unknown", "nan", "inf", "-", " d="})
        EXPECT_EQ(std::string::npos, text.find(fault)) << fault;
    // The fixture releases agent and handler and waits for the live objects to return to zero.
}

}  // namespace
}  // namespace lumo_test
