// The server's own objects: what the plugin may rely on when it reads them or delivers to them.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/custom_metadata_packet.h"
#include "host/device_agent_handler.h"
#include "host/result_records.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/settings_response.h"
#include "qo/sdk/helpers/string.h"

namespace lumo::host {
namespace {

using qo::sdk::makePtr;
using qo::sdk::Ptr;
using qo::sdk::queryInterfacePtr;
using namespace qo::sdk::analytics;
using namespace std::chrono_literals;

TEST(CustomMetadataPacketTest, OwnsACopyOfTheDocument) {
    std::string document = "<tt:MetaDataStream/>";
    const auto packet = makePtr<CustomMetadataPacket>(document, 42);
    document[1] = 'X';

    EXPECT_EQ(std::string(packet->data(), static_cast<size_t>(packet->dataSize())),
              "<tt:MetaDataStream/>");
    EXPECT_EQ(packet->timestampUs(), 42);
}

class DeviceAgentHandlerTest : public ::testing::Test {
protected:
    Ptr<DeviceAgentHandler> handler = makePtr<DeviceAgentHandler>();
};

TEST_F(DeviceAgentHandlerTest, KeepsABorrowedPacketUntilItIsTaken) {
    const auto packet = makePtr<EventMetadataPacket>();
    handler->handleMetadataPacket(packet.get());
    EXPECT_EQ(packet->refCountThreadUnsafe(), 2);

    {
        const auto taken = handler->takePackets();
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(taken[0].get(), packet.get());
    }
    EXPECT_EQ(packet->refCountThreadUnsafe(), 1);
    EXPECT_TRUE(handler->takePackets().empty());
    EXPECT_EQ(handler->packetCount(), 1u);
}

TEST_F(DeviceAgentHandlerTest, KeepsEveryPacketDeliveredFromSeveralThreads) {
    constexpr int kThreads = 4;
    constexpr int kPacketsPerThread = 50;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([this] {
            for (int i = 0; i < kPacketsPerThread; ++i)
                handler->handleMetadataPacket(makePtr<EventMetadataPacket>().get());
        });
    }
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(handler->packetCount(), size_t{kThreads * kPacketsPerThread});
    EXPECT_EQ(handler->takePackets().size(), size_t{kThreads * kPacketsPerThread});
}

TEST_F(DeviceAgentHandlerTest, WaitingCountsOnlyPacketsAfterTheGivenCount) {
    handler->handleMetadataPacket(makePtr<EventMetadataPacket>().get());
    const size_t before = handler->packetCount();
    handler->handleMetadataPacket(makePtr<EventMetadataPacket>().get());
    handler->handleMetadataPacket(makePtr<EventMetadataPacket>().get());
    EXPECT_EQ(handler->waitUntilQuiet(before, 1ms, 1min), 2u);
}

TEST_F(DeviceAgentHandlerTest, WaitingEndsWhenNothingArrives) {
    EXPECT_EQ(handler->waitUntilQuiet(handler->packetCount(), 1min, 1ms), 0u);
}

TEST(ResultRecordsTest, TakingAnErrorReleasesItsMessage) {
    qo::sdk::Error error = qo::sdk::error(qo::sdk::ErrorCode::otherError, "camera gone");
    const Ptr<const qo::sdk::IString> message = qo::sdk::shareToPtr(error.errorMessage);
    EXPECT_EQ(takeError(&error), "otherError: camera gone");
    EXPECT_EQ(error.errorMessage, nullptr);
    EXPECT_EQ(static_cast<const qo::sdk::String*>(message.get())->refCountThreadUnsafe(), 1);
}

TEST(ResultRecordsTest, ReadingASettingsResponseReleasesWhatItHandsOut) {
    const auto response = makePtr<qo::sdk::SettingsResponse>();
    response->setValue("AIX_PERSON_SENSITIVITY", "2");
    response->setError("TS_CALIBRATION", "out of range");
    response->setModel("{}");

    const SettingsResponseContents contents = readSettingsResponse(response.get());
    EXPECT_EQ(contents.values,
              (std::map<std::string, std::string>{{"AIX_PERSON_SENSITIVITY", "2"}}));
    EXPECT_EQ(contents.errors,
              (std::map<std::string, std::string>{{"TS_CALIBRATION", "out of range"}}));
    EXPECT_TRUE(contents.hasModel);
    EXPECT_EQ(contents.model, "{}");
    EXPECT_EQ(response->values()->refCountThreadUnsafe(), 1);
    EXPECT_EQ(response->refCountThreadUnsafe(), 1);
}

}  // namespace
}  // namespace lumo::host
