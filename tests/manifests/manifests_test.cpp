// The plugin, engine and device-agent manifests and the settings dialog every camera gets, compared
// whole with the documents of golden/, and the reading of a model's defaults the way the server
// stores them.
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "lumo/manifests.h"
#include "lumo/settings_model.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using OrderedJson = nlohmann::ordered_json;  // compares objects key by key in order
using Json = nlohmann::json;                 // key order inside an element is free
using Defaults = std::map<std::string, std::string>;

// The expected documents, kept as JSON files beside this test.
OrderedJson golden(const std::string& name) {
    std::ifstream file(std::string(LUMO_SOURCE_DIR) + "/tests/manifests/golden/" + name);
    EXPECT_TRUE(file.good()) << name;
    return OrderedJson::parse(std::string(std::istreambuf_iterator<char>(file), {}));
}

// The object members in their order, the array entries one per line: a difference reads as such.
std::string lines(const OrderedJson& value) {
    return value.dump(1) + "\n";
}

TEST(ManifestTest, PluginManifestIsTheFixedTextEndingInALineFeed) {
    EXPECT_EQ(pluginManifest(),
              "{\n    \"id\": \"qo.lumo\",\n    \"name\": \"LUMO AI Camera Plugin\",\n"
              "    \"description\": \"A plugin to support in-camera analytics for Lumovane IP "
              "cameras.\",\n    \"version\": \"1.0.0\",\n    \"vendor\": \"Lumovane\"\n}\n");
}

TEST(ManifestTest, EngineManifestCarriesTheSettingsModelOfEveryDeviceAgent) {
    OrderedJson engine = OrderedJson::parse(engineManifest());
    const Json model = Json::parse(engine["deviceAgentSettingsModel"].dump());
    engine["deviceAgentSettingsModel"] = "model";
    EXPECT_EQ(lines(OrderedJson{{"streamTypeFilter", "metadata"},
                                {"preferredStream", "secondary"},
                                {"deviceAgentSettingsModel", "model"}}),
              lines(engine));
    EXPECT_EQ(Json::parse(golden("settings_model.json").dump()), model);
}

TEST(ManifestTest, DeviceAgentManifestListsEveryTypeWithItsAttributesInOrder) {
    const std::string text = deviceAgentManifest();
    EXPECT_EQ(lines(golden("device_agent_manifest.json")), lines(OrderedJson::parse(text)));
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ('{', text.front());
    EXPECT_EQ("}\n", text.substr(text.size() - 2)) << "the closing brace and a line feed end it";
}

TEST(SettingsModelTest, EveryElementStandsInTheDialogTreeAndEveryDefaultIsStoredAsText) {
    // Key order inside an element is free; the order of sections and items is not.
    EXPECT_EQ(Json::parse(golden("settings_model.json").dump()), Json::parse(settingsModel()));
    const Defaults defaults = settingsModelDefaults(settingsModel());
    EXPECT_EQ(defaults.size(), 25u + 39u * 8u);
    EXPECT_EQ(defaults.count("AIX_LINE_CAR_ENABLE8") + defaults.count("AIX_LINE_CAR_ENABLE0"), 1u);
    EXPECT_EQ(defaults.at("AIX_REGION_POSITION8"),
              R"({"figure":null,"label":"","showOnCamera":false})");
    EXPECT_EQ(defaults.at("TS_CALIBRATION"), "0");
    EXPECT_EQ(defaults.at("HL_DURATION"), "5");
}

// The copies the agent numbers settings by, written into the model's JSON file by hand.
void collectCopyCounts(const Json& element, std::vector<std::string>* out) {
    if (element.is_array()) {
        for (const auto& child : element)
            collectCopyCounts(child, out);
        return;
    }
    if (!element.is_object())
        return;
    for (const char* key : {"count", "maxPoints"}) {
        if (element.contains(key))
            out->push_back(element[key].dump());
    }
    for (const char* key : {"items", "sections", "template"}) {
        if (element.contains(key))
            collectCopyCounts(element[key], out);
    }
}

TEST(SettingsModelTest, EveryRepeaterAndFigureHoldsTheAgentsCopyCountAsText) {
    std::vector<std::string> counts;
    collectCopyCounts(Json::parse(settingsModel()), &counts);
    const std::string expected = '"' + std::to_string(kRepeaterCount) + '"';
    EXPECT_EQ(std::vector<std::string>(7, expected), counts) << "four repeaters and three figures";
}

std::string repeaterWith(const std::string& count, const std::string& item) {
    return R"({"type":"Settings","items":[{"type":"Repeater",)" + count +
           R"("template":{"type":"GroupBox","caption":"Slot #","items":[)" + item + "]}}]}";
}

TEST(ModelDefaultsTest, ValuesAreTextCopiesNumberedFromOneAndBadModelsRejected) {
    EXPECT_EQ(
        settingsModelDefaults(
            R"({"type":"Settings","sections":[{"type":"Section","caption":"S","items":[)"
            R"({"name":"N","type":"SpinBox","defaultValue":5.0},{"name":"T","type":"TextField"},)"
            R"({"name":"O","type":"ObjectSizeConstraints","defaultValue":{"minimum":[0.25,1]}}]}]})"),
        (Defaults{{"N", "5"}, {"T", ""}, {"O", R"({"minimum":[0.25,1]})"}}));
    const std::string item = R"({"type":"CheckBox","name":"A#_B#","defaultValue":true})";
    EXPECT_EQ(settingsModelDefaults(repeaterWith(R"("count":"2",)", item)),
              (Defaults{{"A1_B1", "true"}, {"A2_B2", "true"}}));
    for (const char* count : {R"("count":"-1",)", R"("count":"two",)", R"("count":2.5,)",
                              R"("count":"99999999999",)", ""})
        EXPECT_THROW(settingsModelDefaults(repeaterWith(count, item)), std::invalid_argument)
            << count;
    // A template item without its "#" would make every copy the same setting.
    EXPECT_THROW(settingsModelDefaults(repeaterWith(
                     R"("count":"2",)", R"({"type":"CheckBox","name":"A","defaultValue":false})")),
                 std::invalid_argument);
    for (const char* text : {"[]", "not json"})
        EXPECT_THROW(settingsModelDefaults(text), std::invalid_argument) << text;
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
