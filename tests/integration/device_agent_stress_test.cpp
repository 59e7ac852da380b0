// Several server threads at once: documents from four threads, video frames and settings calls
// all reach one agent together; then everything is released and nothing may stay alive.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "integration/agent_fixture.h"

namespace lumo_test {
namespace {

using qo::sdk::ErrorCode;

constexpr int kServerThreads = 4;
constexpr int kDocumentsPerThread = 400;

/** Documents of every kind the agent handles, varied by number. */
std::string mixedDocument(int n) {
    const int id = n % 40;
    OnvifDocument document = OnvifDocument().scale(kScaleX, kScaleY);
    document.object(CameraObject::person(id).box(10, 10, 100, 200))
        .object(CameraObject::vehicle(id + 1, n % 2 ? "Car" : "Motorcycle").box(300, 10, 400, 90));
    if (n % 3 == 0) {
        document.object(CameraObject::person(id)
                            .face("Female", true, false, false, true)
                            .tops({kYuvGray})
                            .imageRef("http://camera/shot/" + std::to_string(n)));
    }
    if (n % 4 == 0) {
        document.event(CameraEvent(kTopicRegion)
                           .source("Rule", "Region" + std::to_string(n % 8))
                           .data("ObjectId", std::to_string(id))
                           .data("Actions", "Enter"));
    }
    if (n % 5 == 0)
        document.event(CameraEvent(kTopicSettingChanged));
    if (n % 7 == 0)
        document.event(CameraEvent(kTopicCounter).source("Rule", "Line1").data("Count", "3"));
    return document.str();
}

class DeviceAgentStressTest : public AgentTest {};

TEST_F(DeviceAgentStressTest, ConcurrentServerCallsLeaveNoObjectBehind) {
    std::atomic<bool> go{false};
    std::atomic<bool> pushing{true};
    std::vector<std::thread> threads;

    for (int t = 0; t < kServerThreads; ++t) {
        threads.emplace_back([this, &go, t] {
            while (!go.load())
                std::this_thread::yield();
            for (int i = 0; i < kDocumentsPerThread; ++i) {
                const int n = t * kDocumentsPerThread + i;
                EXPECT_EQ(ErrorCode::noError, push(mixedDocument(n), kT0 + n * 40'000));
                std::this_thread::yield();
            }
        });
    }
    threads.emplace_back([this, &go, &pushing] {
        while (!go.load())
            std::this_thread::yield();
        for (int i = 0; pushing.load() || i < 50; ++i) {
            EXPECT_EQ(ErrorCode::noError, pushVideo(i % 2 ? 1920 : 1280, i % 2 ? 1080 : 720));
            std::this_thread::yield();
        }
    });
    threads.emplace_back([this, &go, &pushing] {
        while (!go.load())
            std::this_thread::yield();
        // No camera is reachable: only settings that stay inside the agent.
        for (int i = 0; (pushing.load() || i < 20) && i < 300; ++i) {
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

    const Delivery delivery = readDelivery(handler().takePackets());
    EXPECT_EQ(0, handler().overlaps());
    EXPECT_GE(delivery.objects.size(), 10u) << "too few documents were taken to mean anything";
    EXPECT_EQ(0, delivery.unknown);
    for (const auto& packet : delivery.objects) {
        EXPECT_GE(packet.timestampUs, 0);
        for (const auto& item : packet.items) {
            if (item.box == Rect())
                continue;  // a best shot
            EXPECT_TRUE(std::isfinite(item.box.x) && std::isfinite(item.box.height));
            EXPECT_GE(item.box.x, 0.0F);
            EXPECT_LE(item.box.x + item.box.width, 1.0F);
        }
    }

    // The fixture releases agent and handler and waits for the live objects to return to zero.
}

}  // namespace
}  // namespace lumo_test
