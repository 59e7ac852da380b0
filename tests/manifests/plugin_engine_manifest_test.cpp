#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "lumo/manifests.h"
#include "lumo/settings_model.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using OrderedJson = nlohmann::ordered_json;

std::vector<std::string> keysOf(const OrderedJson& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items())
        keys.push_back(item.key());
    return keys;
}

TEST(PluginManifest, ReadsAsTheFixedTextWithTheVersionInserted) {
    EXPECT_EQ(pluginManifest(),
              "{\n"
              "    \"id\": \"qo.lumo\",\n"
              "    \"name\": \"LUMO AI Camera Plugin\",\n"
              "    \"description\": \"A plugin to support in-camera analytics for Lumovane IP "
              "cameras.\",\n"
              "    \"version\": \"1.0.0\",\n"
              "    \"vendor\": \"Lumovane\"\n"
              "}\n");
}

TEST(PluginManifest, ParsesToExactlyFiveFieldsInOrder) {
    const auto manifest = OrderedJson::parse(pluginManifest());
    EXPECT_EQ(keysOf(manifest),
              (std::vector<std::string>{"id", "name", "description", "version", "vendor"}));
    EXPECT_EQ(manifest["id"], "qo.lumo");
    EXPECT_EQ(manifest["name"], "LUMO AI Camera Plugin");
    EXPECT_EQ(manifest["description"],
              "A plugin to support in-camera analytics for Lumovane IP cameras.");
    EXPECT_EQ(manifest["version"], "1.0.0");
    EXPECT_EQ(manifest["vendor"], "Lumovane");
    EXPECT_EQ(manifest["version"], VERSION);
}

class EngineManifestTest : public ::testing::Test {
protected:
    // Every value of the key anywhere below the element.
    static void collect(const OrderedJson& element, const std::string& key,
                        std::vector<OrderedJson>& values) {
        if (element.is_object()) {
            for (const auto& item : element.items()) {
                if (item.key() == key)
                    values.push_back(item.value());
                collect(item.value(), key, values);
            }
        } else if (element.is_array()) {
            for (const auto& child : element)
                collect(child, key, values);
        }
    }

    const OrderedJson manifest = OrderedJson::parse(engineManifest());
};

TEST_F(EngineManifestTest, HasExactlyTheThreeFieldsInOrder) {
    EXPECT_EQ(keysOf(manifest), (std::vector<std::string>{"streamTypeFilter", "preferredStream",
                                                          "deviceAgentSettingsModel"}));
    EXPECT_EQ(manifest["streamTypeFilter"], "metadata");
    EXPECT_EQ(manifest["preferredStream"], "secondary");
}

TEST_F(EngineManifestTest, CarriesTheSettingsModel) {
    EXPECT_EQ(manifest["deviceAgentSettingsModel"], OrderedJson::parse(settingsModel()));
}

TEST_F(EngineManifestTest, EveryRepeaterCountAndFigureMaxPointsIsTheTextEight) {
    std::vector<OrderedJson> counts;
    std::vector<OrderedJson> maxPoints;
    collect(manifest, "count", counts);
    collect(manifest, "maxPoints", maxPoints);
    EXPECT_EQ(counts, std::vector<OrderedJson>(4, "8"));
    EXPECT_EQ(maxPoints, std::vector<OrderedJson>(3, "8"));
}

TEST_F(EngineManifestTest, FigureMinPointsAreNumbers) {
    std::vector<OrderedJson> minPoints;
    collect(manifest, "minPoints", minPoints);
    ASSERT_EQ(minPoints.size(), 3u);
    for (const auto& value : minPoints)
        EXPECT_TRUE(value.is_number_integer()) << value;
    EXPECT_EQ(minPoints, (std::vector<OrderedJson>{4, 4, 2}));
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
