// The metadata road as the server sees it: the loaded plugin, its manifests, an agent turning the
// camera's sample documents into packets, and a shutdown that leaves no plugin object alive.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "host/media_server.h"
#include "host/plugin_library.h"
#include "integration/delivered_packets.h"
#include "qo/sdk/analytics/i_plugin.h"

namespace lumo_test {
namespace {

using namespace std::chrono_literals;
using lumo::host::DeviceAgentHandler;
using lumo::host::DeviceDescription;
using lumo::host::MediaServer;
using lumo::host::PluginLibrary;
using Json = nlohmann::json;

constexpr int64_t kStart = 1'715'678'467'512'000;  // 2024-05-14T09:21:07.512Z

std::string sample(const std::string& name) {
    std::ifstream file(std::string(LUMO_SOURCE_DIR) + "/samples/onvif/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class MetadataRoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_library = PluginLibrary::load(LUMO_PLUGIN_PATH, &error);
        ASSERT_TRUE(m_library) << error;
        ASSERT_TRUE(m_library->hasCreatePlugin());
        m_server = std::make_unique<MediaServer>(m_library->entryPoints());
        ASSERT_TRUE(m_server->start(&error)) << error;
        ASSERT_NE(nullptr, m_server->registry());

        DeviceDescription camera;
        camera.url = "http://camera.invalid/onvif/device_service";  // no camera is contacted
        ASSERT_TRUE(m_server->addCamera(camera, &m_camera, &error, /*sendDefaultSettings*/ false))
            << error;
    }

    void TearDown() override {
        if (!m_server)
            return;
        const auto report = m_server->shutdown(5s);
        EXPECT_TRUE(report.registryInstalled);
        EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
    }

    /**
     * Pushes a document and returns what the agent delivered for it: the packets expected, and
     * any that follow them closely. The agent takes the next document only once it is done.
     */
    Delivery deliver(const std::string& document, int64_t timestampUs, size_t expectedPackets) {
        DeviceAgentHandler& handler = m_server->agentHandler(m_camera);
        const size_t before = handler.packetCount();
        std::string error;
        EXPECT_TRUE(m_server->pushMetadata(m_camera, document, timestampUs, &error)) << error;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (handler.packetCount() < before + expectedPackets &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        handler.waitUntilQuiet(before, 50ms, 50ms);
        return readDelivery(handler.takePackets());
    }

    std::unique_ptr<PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    MediaServer::CameraId m_camera = 0;
};

TEST_F(MetadataRoadTest, ManifestsAreJsonAndNameThePlugin) {
    const Json plugin = Json::parse(m_server->pluginManifest());
    EXPECT_EQ("qo.lumo", plugin.at("id"));
    EXPECT_EQ("LUMO AI Camera Plugin", plugin.at("name"));
    EXPECT_EQ("1.0.0", plugin.at("version"));

    const Json engine = Json::parse(m_server->engineManifest());
    EXPECT_TRUE(engine.contains("deviceAgentSettingsModel"));

    const Json agent = Json::parse(m_server->agentManifest(m_camera));
    EXPECT_EQ(17u, agent.at("supportedTypes").size());
    EXPECT_EQ(8u, agent.at("typeLibrary").at("objectTypes").size());
}

TEST_F(MetadataRoadTest, CreatedPluginIsAnAnalyticsPluginOwnedByTheCaller) {
    const Ptr<qo::sdk::IPlugin> plugin(m_library->entryPoints().createPlugin());
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(qo::sdk::queryInterfacePtr<qo::sdk::analytics::IPlugin>(plugin));
}

TEST_F(MetadataRoadTest, SampleDocumentsBecomeTracksBestShotsAndEvents) {
    const Delivery frame = deliver(sample("frame-persons-vehicles.xml"), kStart, 1);
    ASSERT_EQ(1u, frame.objects.size());
    EXPECT_TRUE(frame.events.empty());
    EXPECT_TRUE(frame.bestShots.empty());
    const auto& shown = frame.objects[0].items;
    ASSERT_EQ(4u, shown.size()) << "persons, car and bicycle; the head is not shown";
    EXPECT_EQ("qo.lumo.Human", shown[0].typeId);
    EXPECT_EQ("Green", shown[0].attribute("qo.sys.color"));
    EXPECT_EQ("qo.lumo.Human", shown[1].typeId);
    EXPECT_EQ("qo.lumo.Car", shown[2].typeId);
    EXPECT_EQ("Cyan", shown[2].attribute("qo.sys.color"));
    EXPECT_EQ("qo.lumo.Bicycle", shown[3].typeId);
    EXPECT_EQ("Blue", shown[3].attribute("qo.sys.color"));
    // A frame of 1920 x 1080 camera units.
    EXPECT_NEAR(212.0 / 1920, shown[0].box.x, 1e-4);
    EXPECT_NEAR(388.0 / 1080, shown[0].box.y, 1e-4);
    EXPECT_NEAR(106.0 / 1920, shown[0].box.width, 1e-4);
    EXPECT_NEAR(314.0 / 1080, shown[0].box.height, 1e-4);
    EXPECT_EQ(kStart, frame.objects[0].timestampUs);
    const Uuid person1042 = shown[1].trackId;
    const Uuid car1044 = shown[2].trackId;

    const Delivery person = deliver(sample("bestshot-person.xml"), kStart + 1'592'000, 2);
    ASSERT_EQ(1u, person.objects.size());
    ASSERT_EQ(1u, person.bestShots.size());
    const ObjectItem& attributes = person.objects[0].items.at(0);
    EXPECT_EQ(person1042, attributes.trackId);
    EXPECT_EQ((std::vector<std::string>{"Object ID", "Gender", "Eyewear", "Mask", "Hat", "Helmet",
                                        "Top Color", "Bottom Color", "Bag"}),
              attributes.attributeNames());
    EXPECT_EQ("1042", attributes.attribute("Object ID"));
    EXPECT_EQ("Female", attributes.attribute("Gender"));
    EXPECT_EQ("true", attributes.attribute("Eyewear"));
    EXPECT_EQ("false", attributes.attribute("Mask"));
    EXPECT_EQ("Red", attributes.attribute("Top Color"));
    EXPECT_EQ("Blue", attributes.attribute("Bottom Color"));
    EXPECT_EQ("Backpack", attributes.attribute("Bag"));
    EXPECT_EQ(person1042, person.bestShots[0].trackId);
    EXPECT_EQ("http://192.0.2.10/bestshot/2024-05-14/1042.jpg", person.bestShots[0].imageUrl);
    EXPECT_EQ(kStart + 1000, person.bestShots[0].timestampUs) << "dated after its first appearance";

    const int64_t later = kStart + 3'764'000;
    const Delivery vehicleAndHead = deliver(sample("bestshot-vehicle-head.xml"), later, 3);
    ASSERT_EQ(1u, vehicleAndHead.objects.size());
    ASSERT_EQ(2u, vehicleAndHead.bestShots.size());
    const auto& items = vehicleAndHead.objects[0].items;
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ("qo.lumo.Truck", items[0].typeId);
    EXPECT_EQ(car1044, items[0].trackId) << "the same camera object keeps its track";
    EXPECT_EQ("White", items[0].attribute("Color"));
    EXPECT_EQ("qo.lumo.Head", items[1].typeId);
    EXPECT_EQ("1043", items[1].attribute("Object ID"));
    EXPECT_EQ(kStart + 1000, vehicleAndHead.bestShots[0].timestampUs);
    EXPECT_EQ(later, vehicleAndHead.bestShots[1].timestampUs) << "a head is never tracked";

    struct EventSample {
        const char* file;
        const char* typeId;
        const char* caption;
        const char* description;
    };
    const EventSample events[] = {
        {"event-region-enter.xml", "qo.lumo.Enter", "Enter", "Event Region : [3]"},
        {"event-line-counting.xml", "qo.lumo.LineCounting", "Line Counting",
         "Event Line : [2], Count : [12]"},
        {"event-tampering.xml", "qo.lumo.Tampering", "Tampering", ""},
        {"event-ai-settings-changed.xml", "qo.lumo.SettingChanged", "AI Setting Changed", ""},
    };
    int64_t timestampUs = later;
    for (const EventSample& expected : events) {
        timestampUs += 500'000;
        const Delivery delivery = deliver(sample(expected.file), timestampUs, 1);
        ASSERT_EQ(1u, delivery.events.size()) << expected.file;
        EXPECT_TRUE(delivery.objects.empty()) << expected.file;
        EXPECT_EQ(timestampUs, delivery.events[0].timestampUs);
        ASSERT_EQ(1u, delivery.events[0].items.size()) << expected.file;
        const EventItem& event = delivery.events[0].items[0];
        EXPECT_EQ(expected.typeId, event.typeId) << expected.file;
        EXPECT_EQ(expected.caption, event.caption) << expected.file;
        EXPECT_EQ(expected.description, event.description) << expected.file;
        EXPECT_TRUE(event.active) << expected.file;
    }

    // The person named by the region event is highlighted in the next frame.
    const Delivery again = deliver(sample("frame-persons-vehicles.xml"), timestampUs + 40'000, 1);
    ASSERT_EQ(1u, again.objects.size());
    ASSERT_EQ(4u, again.objects[0].items.size());
    EXPECT_EQ("Green", again.objects[0].items[0].attribute("qo.sys.color"));
    EXPECT_EQ("Red", again.objects[0].items[1].attribute("qo.sys.color"));
    EXPECT_EQ(person1042, again.objects[0].items[1].trackId);
}

TEST_F(MetadataRoadTest, CalibrationTurnedInTheDialogShiftsTheNextDocuments) {
    const auto answer = m_server->activeSettingChange(m_camera, "TS_CALIBRATION", "4");
    EXPECT_TRUE(answer.ok) << answer.error;
    const Delivery delivery = deliver(sample("event-tampering.xml"), kStart, 1);
    ASSERT_EQ(1u, delivery.events.size());
    EXPECT_EQ(kStart + 200'000, delivery.events[0].timestampUs);
}

TEST_F(MetadataRoadTest, ShutdownLeavesNoPluginObjectAlive) {
    for (int i = 0; i < 3; ++i)
        deliver(sample("frame-persons-vehicles.xml"), kStart + i * 40'000, 1);
    std::string error;
    EXPECT_TRUE(m_server->pushMetadata(m_camera, sample("bestshot-person.xml"), kStart, &error));
    EXPECT_TRUE(m_server->pushVideoFrame(m_camera, 1920, 1080, kStart, &error)) << error;

    // Released while the last document may still be in work.
    const auto report = m_server->shutdown(5s);
    EXPECT_TRUE(report.registryInstalled);
    EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
    EXPECT_GT(m_server->registry()->createdCount(), 0);
    m_server.reset();
}

}  // namespace
}  // namespace lumo_test
