#include "host/settings_defaults.h"

#include <gtest/gtest.h>

namespace lumo::host {
namespace {

using nlohmann::json;

// A model with every shape the dialog's defaults depend on: nesting, typed defaults, a repeater
// whose template holds a figure without default and a text with "#" in its value.
const char* const kModel = R"({
    "type": "Settings", "items": [],
    "sections": [{
        "type": "Section", "caption": "A",
        "items": [
            {"type": "SwitchButton", "name": "ON", "caption": "On", "defaultValue": true},
            {"type": "GroupBox", "caption": "G", "items": [
                {"type": "SpinBox", "name": "LEVEL", "defaultValue": -3,
                 "minValue": -20, "maxValue": 20}]},
            {"type": "ObjectSizeConstraints", "name": "SIZE", "caption": "Size",
             "defaultValue": {"minimum": [0.006, 0.01], "maximum": [1.0, 1.0]}}
        ],
        "sections": [{
            "type": "Section", "caption": "B",
            "items": [{"type": "Repeater", "count": "3", "template": {
                "type": "GroupBox", "caption": "Zone #", "filledCheckItems": ["ZONE_POSITION#"],
                "items": [
                    {"type": "CheckBox", "name": "ZONE_ENABLE#", "defaultValue": false},
                    {"type": "PolygonFigure", "name": "ZONE_POSITION#", "minPoints": 4,
                     "maxPoints": "8"},
                    {"type": "GroupBox", "caption": "Text", "items": [
                        {"type": "TextField", "name": "ZONE_TEXT#", "defaultValue": "%L#%"}]}
                ]}}]
        }]
    }]
})";

class SettingsDefaultsTest : public ::testing::Test {
protected:
    std::map<std::string, std::string> defaults = settingsDefaults(json::parse(kModel));
};

TEST_F(SettingsDefaultsTest, RepeaterGivesNumberedCopiesOfItsTemplate) {
    for (const char* name : {"ZONE_ENABLE1", "ZONE_ENABLE2", "ZONE_ENABLE3", "ZONE_TEXT3"})
        EXPECT_EQ(defaults.count(name), 1u) << name;
    EXPECT_EQ(defaults.count("ZONE_ENABLE4"), 0u);
    EXPECT_EQ(defaults.count("ZONE_ENABLE#"), 0u);
}

TEST_F(SettingsDefaultsTest, FiguresWithoutDefaultStartEmpty) {
    EXPECT_EQ(defaults.at("ZONE_POSITION1"), "");
    EXPECT_EQ(defaults.size(), 3u + 3u * 3u);
}

TEST_F(SettingsDefaultsTest, DefaultsTravelAsText) {
    EXPECT_EQ(defaults["ON"], "true");
    EXPECT_EQ(defaults["LEVEL"], "-3");
    EXPECT_EQ(defaults["ZONE_ENABLE2"], "false");
    EXPECT_EQ(json::parse(defaults["SIZE"]),
              json::parse(R"({"minimum": [0.006, 0.01], "maximum": [1.0, 1.0]})"));
}

TEST_F(SettingsDefaultsTest, OnlyNamesAreNumberedNotValues) {
    EXPECT_EQ(defaults["ZONE_TEXT2"], "%L#%");
}

TEST(SettingsModelFromEngineManifestTest, TakesTheModelAsObjectOrAsText) {
    const json model = json::parse(kModel);
    json found;
    std::string error;
    ASSERT_TRUE(settingsModelFromEngineManifest(json{{"deviceAgentSettingsModel", model}}.dump(),
                                                &found, &error))
        << error;
    EXPECT_EQ(found, model);

    ASSERT_TRUE(settingsModelFromEngineManifest(
        json{{"deviceAgentSettingsModel", model.dump()}}.dump(), &found, &error))
        << error;
    EXPECT_EQ(found, model);
}

TEST(SettingsModelFromEngineManifestTest, BrokenJsonIsReported) {
    json found;
    std::string error;
    EXPECT_FALSE(
        settingsModelFromEngineManifest("{\"deviceAgentSettingsModel\": ", &found, &error));
    EXPECT_EQ(error, "the engine manifest is not a JSON object");
    EXPECT_FALSE(settingsModelFromEngineManifest(R"({"deviceAgentSettingsModel": "{not json"})",
                                                 &found, &error));
    EXPECT_EQ(error, "the engine manifest's deviceAgentSettingsModel is not a JSON object");
}

}  // namespace
}  // namespace lumo::host
