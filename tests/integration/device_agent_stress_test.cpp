// Several server threads at once: documents from four threads, video frames and settings calls
// all reach one agent together; then everything is released and nothing may stay alive.
#include <gtest/gtest.h>

#include <algorithm>

#include "integration/agent_fixture.h"

namespace lumo_test {
namespace {

/** Documents of every kind the agent handles, varied by number. */
std::string mixedDocument(int n) {
    const int id = n % 40;
    std::string objects = object(id, "Person", box(10, 10, 100, 200)) +
                          vehicle(id + 1, n % 2 ? "Car" : "Motorcycle", box(300, 10, 400, 90));
    if (n % 3 == 0)
        objects += object(id, "Person", image("http://camera/" + std::to_string(n)));
    std::string events;
    if (n % 4 == 0)
        events += event(kTopicRegion, {{"Rule", "Region" + std::to_string(n % 8)}},
                        {{"ObjectId", std::to_string(id)}, {"Actions", "Enter"}});
    if (n % 5 == 0)
        events += event(kTopicSettingChanged);
    if (n % 7 == 0)
        events += event(kTopicCounter, {{"Rule", "Line1"}}, {{"Count", "3"}});
    return document(frame(kScale + objects) + events);
}

using DeviceAgentStressTest = AgentTest;

TEST_F(DeviceAgentStressTest, ConcurrentServerCallsLeaveNoObjectBehind) {
    constexpr int kServerThreads = 4, kDocumentsPerThread = 400;
    std::atomic<bool> go{false}, pushing{true};
    std::vector<std::thread> threads;
    const auto start = [&go] {
        while (!go)
            std::this_thread::yield();
    };
    for (int t = 0; t < kServerThreads; ++t) {
        threads.emplace_back([&, t] {
            start();
            for (int n = t * kDocumentsPerThread; n < (t + 1) * kDocumentsPerThread; ++n) {
                EXPECT_EQ(ErrorCode::noError, push(mixedDocument(n), kT0 + n * 40'000));
                std::this_thread::yield();
            }
        });
    }
    threads.emplace_back([&] {
        start();
        for (int i = 0; pushing || i < 50; ++i) {
            const auto video = makePtr<FakeVideoPacket>(i % 2 ? 1920 : 1280, i % 2 ? 1080 : 720);
            EXPECT_EQ(ErrorCode::noError, pushPacket(video.get()));
            std::this_thread::yield();
        }
    });
    threads.emplace_back([&] {
        start();
        // No camera is reachable: only settings that stay inside the agent.
        for (int i = 0; (pushing || i < 20) && i < 300; ++i) {
            EXPECT_EQ(ErrorCode::noError,
                      setSettings({{"TS_CALIBRATION", std::to_string(i % 5 - 2)},
                                   {"HL_DURATION", std::to_string(i % 4)},
                                   {"LUMO_NOTE", std::to_string(i)}}));
            (void)agent().isSettingsRefreshNeeded();
            (void)agent().timestampOffset();
            std::this_thread::yield();
        }
    });
    go = true;
    for (int t = 0; t < kServerThreads; ++t)
        threads[t].join();
    pushing = false;
    for (size_t t = kServerThreads; t < threads.size(); ++t)
        threads[t].join();
    ASSERT_TRUE(waitUntilReady());

    const std::string text = delivered();
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 10) << "too few documents were taken";
    for (const char* fault : {"unknown", "nan", "inf", "-", " d="})
        EXPECT_EQ(std::string::npos, text.find(fault)) << fault;
    // The fixture releases agent and handler and waits for the live objects to return to zero.
}

}  // namespace
}  // namespace lumo_test
