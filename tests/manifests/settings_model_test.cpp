#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "lumo/settings_model.h"
#include "manifests/expected_settings.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

// Key order inside an element is free, so plain json (which compares objects as maps) serves.
using Json = nlohmann::json;

// Every element of the dialog, one per line, indented by nesting: named items by kind and name,
// everything else by kind and caption.
constexpr char kOutline[] = R"(Settings
  Section "Object Detection"
    SwitchButton AIX_OBJECT_DETECTION_ENABLE
    GroupBox "Calibration"
      GroupBox "Box"
        SpinBox TS_CALIBRATION
    Section "Configuration"
      GroupBox "Configuration"
        GroupBox "Object"
          GroupBox "Person"
            CheckBox AIX_PERSON_DETECTION_ENABLE
            ComboBox AIX_PERSON_DISPLAY_TYPE
            ComboBox AIX_PERSON_SENSITIVITY
            CheckBox AIX_PERSON_SMARTOBJECT_ENABLE
          GroupBox "Bicycle"
            CheckBox AIX_BICYCLE_DETECTION_ENABLE
            ComboBox AIX_BICYCLE_DISPLAY_TYPE
            ComboBox AIX_BICYCLE_SENSITIVITY
            CheckBox AIX_BICYCLE_SMARTOBJECT_ENABLE
          GroupBox "Car"
            CheckBox AIX_CAR_DETECTION_ENABLE
            ComboBox AIX_CAR_DISPLAY_TYPE
            ComboBox AIX_CAR_SENSITIVITY
            CheckBox AIX_CAR_SMARTOBJECT_ENABLE
          GroupBox "Size"
            ObjectSizeConstraints AIX_OBJECT_DETECTION_SIZE
    Section "Exclude Regions"
      GroupBox "Exclude Regions"
        Repeater
          GroupBox "Exclude Region #"
            CheckBox AIX_EXCLUDE_REGION_ENABLE#
            PolygonFigure AIX_EXCLUDE_REGION_POSITION#
            GroupBox "Type"
              RadioButtonGroup AIX_EXCLUDE_REGION_TYPE#
            GroupBox "Object"
              CheckBox AIX_EXCLUDE_REGION_PERSON_ENABLE#
              CheckBox AIX_EXCLUDE_REGION_BICYCLE_ENABLE#
              CheckBox AIX_EXCLUDE_REGION_CAR_ENABLE#
  Section "Video Surveillance"
    GroupBox "Highlight Objects Triggered by Region Events"
      GroupBox "Display Time"
        ComboBox HL_DURATION
    Section "Regions"
      GroupBox "Regions"
        Repeater
          GroupBox "Region #"
            CheckBox AIX_REGION_ENABLE#
            PolygonFigure AIX_REGION_POSITION#
            GroupBox "Events"
              GroupBox "Appear"
                CheckBox AIX_REGION_EVENT_PERSON_APPEAR#
                CheckBox AIX_REGION_EVENT_BICYCLE_APPEAR#
                CheckBox AIX_REGION_EVENT_CAR_APPEAR#
              GroupBox "Stay"
                CheckBox AIX_REGION_EVENT_PERSON_STAY#
                CheckBox AIX_REGION_EVENT_BICYCLE_STAY#
                CheckBox AIX_REGION_EVENT_CAR_STAY#
              GroupBox "Direction"
                CheckBox AIX_REGION_EVENT_PERSON_DIRECTION#
                CheckBox AIX_REGION_EVENT_BICYCLE_DIRECTION#
                CheckBox AIX_REGION_EVENT_CAR_DIRECTION#
              GroupBox "Enter"
                CheckBox AIX_REGION_EVENT_PERSON_ENTER#
                CheckBox AIX_REGION_EVENT_BICYCLE_ENTER#
                CheckBox AIX_REGION_EVENT_CAR_ENTER#
              GroupBox "Exit"
                CheckBox AIX_REGION_EVENT_PERSON_EXIT#
                CheckBox AIX_REGION_EVENT_BICYCLE_EXIT#
                CheckBox AIX_REGION_EVENT_CAR_EXIT#
              GroupBox "Loitering"
                CheckBox AIX_REGION_EVENT_PERSON_LOITERING#
              SpinBox AIX_REGION_EVENT_STAYDURATION#
              SpinBox AIX_REGION_EVENT_LOITERINGDURATION#
    Section "Lines"
      GroupBox "Lines"
        Repeater
          GroupBox "Line #"
            CheckBox AIX_LINE_ENABLE#
            LineFigure AIX_LINE_POSITION#
            GroupBox "Object"
              CheckBox AIX_LINE_PERSON_ENABLE#
              CheckBox AIX_LINE_BICYCLE_ENABLE#
              CheckBox AIX_LINE_CAR_ENABLE#
      Section "OSD Settings"
        GroupBox "OSD Settings"
          GroupBox "Reset Count"
            CheckBox AIX_LINE_COUNT_RESET_ALL
            GroupBox "Schedule"
              CheckBox AIX_LINE_DAILYRESET_ENABLE
              SpinBox AIX_LINE_DAILYRESET_HOUR
              SpinBox AIX_LINE_DAILYRESET_MIN
          GroupBox "Display Time"
            ComboBox AIX_LINE_COUNTOSD_DISPLAY_TIME
            CheckBox AIX_LINE_COUNTOSD_DISPLAY_ALLWAYS
          Repeater
            GroupBox "Line #"
              CheckBox AIX_LINE_COUNT_RESET#
              CheckBox AIX_LINE_COUNTOSD_DISPLAY_ENABLE#
              CheckBox AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE#
              TextField AIX_LINE_COUNTOSD_STRING#
              Banner
              SpinBox AIX_LINE_COUNTOSD_X#
              SpinBox AIX_LINE_COUNTOSD_Y#
              SpinBox AIX_LINE_COUNTOSD_FONTSIZE#
              ComboBox AIX_LINE_COUNTOSD_COLOR#
  Section "Tampering"
    SwitchButton AIX_TAMPERING_ENABLE
    GroupBox "Configuration"
      GroupBox "Tampering"
        ComboBox AIX_TAMPERING_SENSITIVITY
        ComboBox AIX_TAMPERING_DURATION
)";

class SettingsModelTest : public ::testing::Test {
protected:
    // Calls visit(element, insideRepeater) for every element in document order: an element's
    // "items" before its "sections", a repeater's template after the repeater.
    template <typename Visit>
    static void walk(const Json& element, bool insideRepeater, const Visit& visit) {
        visit(element, insideRepeater);
        if (element.contains("template"))
            walk(element["template"], true, visit);
        for (const char* key : {"items", "sections"}) {
            if (element.contains(key)) {
                for (const auto& child : element[key])
                    walk(child, insideRepeater, visit);
            }
        }
    }

    static std::string outline(const Json& element, int depth = 0) {
        std::string line(depth * 2, ' ');
        line += element.at("type").get<std::string>();
        if (element.contains("name"))
            line += " " + element["name"].get<std::string>();
        else if (element.contains("caption"))
            line += " \"" + element["caption"].get<std::string>() + "\"";
        line += "\n";
        if (element.contains("template"))
            line += outline(element["template"], depth + 1);
        for (const char* key : {"items", "sections"}) {
            if (element.contains(key)) {
                for (const auto& child : element[key])
                    line += outline(child, depth + 1);
            }
        }
        return line;
    }

    std::vector<Json> elements(bool wantInsideRepeater, const char* type = nullptr) const {
        std::vector<Json> found;
        walk(model, false, [&](const Json& element, bool insideRepeater) {
            const bool typeMatches = type ? element["type"] == type : element.contains("name");
            if (insideRepeater == wantInsideRepeater && typeMatches)
                found.push_back(element);
        });
        return found;
    }

    const Json model = Json::parse(settingsModel());
};

TEST_F(SettingsModelTest, RootIsSettingsWithEmptyItemsAndThreeSections) {
    EXPECT_EQ(model["type"], "Settings");
    EXPECT_EQ(model["items"], Json::array());
    EXPECT_EQ(model.size(), 3u);
    ASSERT_EQ(model["sections"].size(), 3u);
}

TEST_F(SettingsModelTest, ElementsStandInTheDialogTree) {
    EXPECT_EQ(outline(model), kOutline);
}

TEST_F(SettingsModelTest, ItemsOutsideRepeatersMatchTheTable) {
    const auto found = elements(false);
    ASSERT_EQ(found.size(), 25u);
    ASSERT_EQ(lumo_test::kItemsOutsideRepeaters.size(), 25u);
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(found[i], Json::parse(lumo_test::kItemsOutsideRepeaters[i].element));
}

TEST_F(SettingsModelTest, RepeaterTemplatesMatchTheTable) {
    const auto repeaters = elements(false, "Repeater");
    ASSERT_EQ(repeaters.size(), lumo_test::kTemplates.size());
    size_t templateItems = 0;
    for (size_t r = 0; r < repeaters.size(); ++r) {
        const auto& expected = lumo_test::kTemplates[r];
        const Json& repeater = repeaters[r];
        EXPECT_EQ(repeater.size(), 3u) << "type, count and template only";
        EXPECT_EQ(repeater["count"], "8");

        const Json& templ = repeater["template"];
        EXPECT_EQ(templ["type"], "GroupBox");
        EXPECT_EQ(templ["caption"], expected.caption);
        EXPECT_EQ(templ["filledCheckItems"], Json::array({expected.filledCheckItem}));

        std::vector<Json> found;
        walk(templ, true, [&](const Json& element, bool) {
            if (element.contains("name"))
                found.push_back(element);
        });
        ASSERT_EQ(found.size(), expected.items.size()) << expected.caption;
        for (size_t i = 0; i < found.size(); ++i)
            EXPECT_EQ(found[i], Json::parse(expected.items[i].element));
        templateItems += found.size();
    }
    EXPECT_EQ(templateItems, 39u);
}

TEST_F(SettingsModelTest, LineDisplayTemplateExplainsTheCountMarker) {
    const auto banners = elements(true, "Banner");
    ASSERT_EQ(banners.size(), 1u);
    EXPECT_EQ(
        banners[0],
        Json::parse(R"({"type":"Banner","icon":"info","text":"%L#% : replaced by line count"})"));
}

TEST_F(SettingsModelTest, ContainersCarryOnlyTheirOwnKeys) {
    walk(model, false, [](const Json& element, bool insideRepeater) {
        std::set<std::string> keys;
        for (const auto& item : element.items())
            keys.insert(item.key());
        const auto type = element["type"].get<std::string>();
        if (type == "Section") {
            keys.erase("sections");
            EXPECT_EQ(keys, (std::set<std::string>{"type", "caption", "items"})) << element;
        } else if (type == "GroupBox") {
            // Only the group box that is a template names the figure of its copy.
            if (insideRepeater &&
                element["caption"].get<std::string>().find('#') != std::string::npos) {
                keys.erase("filledCheckItems");
            }
            EXPECT_EQ(keys, (std::set<std::string>{"type", "caption", "items"})) << element;
        }
    });
}

TEST_F(SettingsModelTest, OnlyTheCalibrationIsAnActiveSetting) {
    std::vector<Json> active;
    walk(model, false, [&](const Json& element, bool) {
        if (element.contains("isActive"))
            active.push_back(element["name"]);
    });
    EXPECT_EQ(active, std::vector<Json>{"TS_CALIBRATION"});
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
