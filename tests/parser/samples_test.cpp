// The project's example documents (samples/onvif/) read as the rest of the system expects.
#include <fstream>
#include <iterator>

#include "parser/document_builder.h"

namespace lumo_test {
namespace {

PayloadPtr parseSample(const char* name) {
    std::ifstream in(std::string(LUMO_SOURCE_DIR "/samples/onvif/") + name, std::ios::binary);
    return parseText(std::string((std::istreambuf_iterator<char>(in)), {}));
}

TEST(SampleDocumentsTest, TrackedFrameHoldsPersonsHeadAndVehicles) {
    auto payload = parseSample("frame-persons-vehicles.xml");
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->objectCount, 5);
    EXPECT_NEAR(2 / payload->scaleX, 1920, 0.1);
    EXPECT_NEAR(2 / -payload->scaleY, 1080, 0.1);
    const char* classes[] = {"Human", "Human", "HumanHead", "Vehicle", "Vehicle"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(payload->objects[i]->classType, classes[i]);
        EXPECT_EQ(payload->objects[i]->imageRef, nullptr);
    }
    EXPECT_EQ(payload->objects[2]->parentId, 1042);
    EXPECT_STREQ(payload->objects[4]->vehicleType, "Bicycle");
    EXPECT_FLOAT_EQ(payload->objects[3]->right, 1688.0f);
}

TEST(SampleDocumentsTest, PersonBestShotCarriesItsAttributes) {
    auto payload = parseSample("bestshot-person.xml");
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->objectCount, 1);
    const auto& o = *payload->objects[0];
    EXPECT_STREQ(o.imageRef, "http://192.0.2.10/bestshot/2024-05-14/1042.jpg");
    EXPECT_STREQ(o.gender, "Female");
    EXPECT_TRUE(o.eyewear && o.hat && !o.mask && !o.helmet);
    EXPECT_EQ(Metadata::toColorString(o.topColors[0]), "Red");
    EXPECT_EQ(Metadata::toColorString(o.topColors[1]), "White");
    EXPECT_EQ(Metadata::toColorString(o.bottomColor), "Blue");
    EXPECT_STREQ(o.bagCategory, "Backpack");
    EXPECT_TRUE(o.hasFace && o.hasTopColor && o.hasBottomColor && o.hasBag && !o.hasVehicleColor);
}

TEST(SampleDocumentsTest, VehicleAndHeadBestShots) {
    auto payload = parseSample("bestshot-vehicle-head.xml");
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->objectCount, 2);
    EXPECT_STREQ(payload->objects[0]->vehicleType, "Truck");
    EXPECT_EQ(Metadata::toColorString(payload->objects[0]->vehicleColor), "White");
    EXPECT_STREQ(payload->objects[1]->classType, "HumanHead");
    EXPECT_NE(payload->objects[1]->imageRef, nullptr);
}

TEST(SampleDocumentsTest, EventsCarryTopicAndItems) {
    struct Expected {
        const char* file;
        const char* topic;
        const char* lastDataName;
        const char* lastDataValue;
    };
    for (const Expected& e : {
             Expected{"event-line-counting.xml", "tns1:RuleEngine/CountAggregation/Counter",
                      "Count", "12"},
             Expected{"event-region-enter.xml", "tns1:RuleEngine/ObjectDetection/vndObjectEx",
                      "Actions", "Enter"},
             Expected{"event-tampering.xml", "tns1:VideoSource/GlobalSceneChange/AnalyticsService",
                      "State", "true"},
             Expected{"event-ai-settings-changed.xml", "tns1:AI/AppSettingChanged", "Data",
                      "AIX_REGION_ENABLE#1"},
         }) {
        auto payload = parseSample(e.file);
        ASSERT_TRUE(payload) << e.file;
        ASSERT_EQ(payload->eventCount, 1) << e.file;
        const auto& event = *payload->events[0];
        EXPECT_STREQ(event.topic, e.topic);
        ASSERT_GT(event.dataCount, 0) << e.file;
        EXPECT_STREQ(event.dataNames[event.dataCount - 1], e.lastDataName);
        EXPECT_STREQ(event.dataValues[event.dataCount - 1], e.lastDataValue);
        EXPECT_GT(event.sourceCount, 0) << e.file;
    }
}

}  // namespace
}  // namespace lumo_test
