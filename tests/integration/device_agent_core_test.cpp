// The agent itself: the camera address it takes from the device URL, the frame size it learns
// from video packets, its manifest, and the engine that makes it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "integration/agent_fixture.h"
#include "lumo/engine.h"
#include "lumo/thread_pool.h"

namespace lumo_test {
namespace {

using qo::sdk::ErrorCode;
using qo::sdk::makePtr;
using Json = nlohmann::json;

class DeviceAgentCoreTest : public AgentTest {
protected:
    static std::string addressOf(const std::string& url) {
        const auto deviceInfo = makePtr<FakeDeviceInfo>(url);
        return makePtr<DeviceAgent>(deviceInfo.get())->cameraAddress();
    }

    std::string manifest() {
        qo::sdk::Result<const qo::sdk::IString*> result;
        agent().getManifest(&result);
        EXPECT_TRUE(result.isOk());
        const std::string text = result.value && result.value->str() ? result.value->str() : "";
        releaseResult(&result);
        return text;
    }
};

TEST_F(DeviceAgentCoreTest, CameraAddressIsTheFirstDottedAddressOfTheUrl) {
    EXPECT_EQ("10.1.2.3", addressOf("http://10.1.2.3:8080/onvif/device_service"));
    EXPECT_EQ("192.168.1.64", addressOf("rtsp://admin:pw@192.168.1.64:554/stream1?x=10.9.9.9"));
    EXPECT_EQ("", addressOf("http://camera.example.com/onvif/device_service"));
    EXPECT_EQ("", addressOf(""));
}

TEST_F(DeviceAgentCoreTest, AgentWithoutCameraAddressStillDeliversMetadata) {
    // The fixture's camera is named by host name only.
    EXPECT_EQ("", agent().cameraAddress());
    EXPECT_EQ(
        1u,
        feed(OnvifDocument().withoutFrame().event(CameraEvent(kTopicSceneChange))).events.size());
}

TEST_F(DeviceAgentCoreTest, FrameSizeFollowsTheWidthOfVideoPackets) {
    EXPECT_EQ(3840, agent().currentFrameWidth());
    EXPECT_EQ(2160, agent().currentFrameHeight());
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());

    EXPECT_EQ(ErrorCode::noError, pushVideo(1920, 1080));
    EXPECT_EQ(1920, agent().currentFrameWidth());
    EXPECT_EQ(1080, agent().currentFrameHeight());
    EXPECT_TRUE(agent().isSettingsRefreshNeeded());

    EXPECT_EQ(ErrorCode::noError, pushVideo(1920, 1200));
    EXPECT_EQ(1080, agent().currentFrameHeight()) << "only a new width counts";

    EXPECT_EQ(ErrorCode::noError, pushVideo(1280, 720));
    EXPECT_EQ(1280, agent().currentFrameWidth());
    EXPECT_EQ(720, agent().currentFrameHeight());
    EXPECT_EQ(0u, handler().packetCount()) << "video produces no metadata";
    EXPECT_TRUE(agent().isReady());
}

TEST_F(DeviceAgentCoreTest, SameWidthAsTheDefaultAsksForNoReadback) {
    EXPECT_EQ(ErrorCode::noError, pushVideo(3840, 1600));
    EXPECT_FALSE(agent().isSettingsRefreshNeeded());
    EXPECT_EQ(2160, agent().currentFrameHeight());
}

TEST_F(DeviceAgentCoreTest, ManifestListsTheSupportedTypesAndTheTypeLibrary) {
    const std::string text = manifest();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ('{', text.front());
    EXPECT_EQ("}\n", text.substr(text.size() - 2));

    const Json json = Json::parse(text);
    ASSERT_EQ(2u, json.size());
    std::vector<std::string> supported;
    for (const Json& entry : json.at("supportedTypes")) {
        supported.push_back(entry.contains("objectTypeId")
                                ? entry.at("objectTypeId").get<std::string>()
                                : entry.at("eventTypeId").get<std::string>());
        EXPECT_TRUE(entry.at("attributes").is_array());
    }
    EXPECT_EQ(
        (std::vector<std::string>{
            "qo.lumo.Head", "qo.lumo.Human", "qo.lumo.Car", "qo.lumo.Truck", "qo.lumo.Bus",
            "qo.lumo.Bicycle", "qo.lumo.Motorcycle", "qo.lumo.LineCounting", "qo.lumo.Tampering",
            "qo.lumo.SettingChanged", "qo.lumo.Events", "qo.lumo.Appear", "qo.lumo.Stay",
            "qo.lumo.Direction", "qo.lumo.Enter", "qo.lumo.Exit", "qo.lumo.Loitering"}),
        supported);

    const Json& library = json.at("typeLibrary");
    EXPECT_EQ(8u, library.at("objectTypes").size());
    EXPECT_EQ(10u, library.at("eventTypes").size());
    EXPECT_EQ(1u, library.at("groups").size());
    EXPECT_EQ(2u, library.at("enumTypes").size());
    EXPECT_EQ(1u, library.at("colorTypes").size());
}

TEST_F(DeviceAgentCoreTest, EveryTypeTheAgentDeliversIsInItsManifest) {
    const Json library = Json::parse(manifest()).at("typeLibrary");
    std::vector<std::string> known;
    for (const char* list : {"objectTypes", "eventTypes"}) {
        for (const Json& type : library.at(list))
            known.push_back(type.at("id").get<std::string>());
    }
    const auto isKnown = [&](const std::string& id) {
        return std::find(known.begin(), known.end(), id) != known.end();
    };

    OnvifDocument document = OnvifDocument().scale(kScaleX, kScaleY);
    int id = 1;
    for (const char* vehicle : {"Car", "Truck", "Bus", "Bicycle", "Motorcycle", "Van"})
        document.object(CameraObject::vehicle(id++, vehicle).box(1, 1, 5, 5));
    document.object(CameraObject::person(id++).box(1, 1, 5, 5));
    document.object(CameraObject::head(id++).imageRef("http://camera/head"));
    document.event(CameraEvent(kTopicCounter)).event(CameraEvent(kTopicSceneChange));
    document.event(CameraEvent(kTopicSettingChanged));
    for (const char* action : {"Appear", "Stay", "Direction", "Enter", "Exit", "Loitering"})
        document.event(CameraEvent(kTopicRegion).data("Actions", action));

    const Delivery delivery = feed(document);
    ASSERT_EQ(1u, delivery.objects.size());
    ASSERT_EQ(1u, delivery.events.size());
    EXPECT_EQ(8u, delivery.objects[0].items.size());
    EXPECT_EQ(9u, delivery.events[0].items.size());
    for (const auto& item : delivery.objects[0].items)
        EXPECT_TRUE(isKnown(item.typeId)) << item.typeId;
    for (const auto& item : delivery.events[0].items)
        EXPECT_TRUE(isKnown(item.typeId)) << item.typeId;
}

TEST(AgentPoolTest, PoolHasAtLeastTwoWorkers) {
    using qo::vms_server_plugins::analytics::lumo::agentPoolSize;
    EXPECT_EQ(2u, agentPoolSize(0));
    EXPECT_EQ(2u, agentPoolSize(1));
    EXPECT_EQ(2u, agentPoolSize(2));
    EXPECT_EQ(16u, agentPoolSize(16));
}

TEST(EngineTest, EngineHandsOutAnAgentForEveryCamera) {
    LiveObjects::ensureInstalled();
    const size_t liveBefore = LiveObjects::count();
    {
        const Ptr<qo::sdk::analytics::IEngine> engine =
            makePtr<qo::vms_server_plugins::analytics::lumo::Engine>();
        const auto deviceInfo = makePtr<FakeDeviceInfo>("http://10.1.2.3/");
        qo::sdk::Result<qo::sdk::analytics::IDeviceAgent*> first;
        qo::sdk::Result<qo::sdk::analytics::IDeviceAgent*> second;
        engine->doObtainDeviceAgent(&first, deviceInfo.get());
        engine->doObtainDeviceAgent(&second, deviceInfo.get());
        ASSERT_TRUE(first.isOk());
        ASSERT_TRUE(second.isOk());
        ASSERT_NE(nullptr, first.value);
        EXPECT_NE(first.value, second.value);
        const auto agent =
            qo::sdk::queryInterfacePtr<qo::sdk::analytics::IConsumingDeviceAgent>(first.value);
        EXPECT_TRUE(agent);
        releaseResult(&first);
        releaseResult(&second);
    }
    EXPECT_TRUE(LiveObjects::waitForCountAtMost(liveBefore, std::chrono::seconds(10)));
}

}  // namespace
}  // namespace lumo_test
