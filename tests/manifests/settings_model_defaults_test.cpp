#include <map>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "lumo/manifests.h"
#include "lumo/settings_model.h"
#include "manifests/expected_settings.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using Defaults = std::map<std::string, std::string>;

std::string nameOf(const char* element) {
    return nlohmann::json::parse(element).at("name").get<std::string>();
}

std::string withCopyNumber(std::string name, int copy) {
    const auto mark = name.find('#');
    return name.replace(mark, 1, std::to_string(copy));
}

class ModelDefaultsTest : public ::testing::Test {
protected:
    const Defaults defaults = settingsModelDefaults(settingsModel());
};

TEST_F(ModelDefaultsTest, YieldsEachOutsideItemOnceAndEachTemplateItemPerCopy) {
    size_t inRepeaters = 0;
    for (const auto& [name, value] : defaults) {
        (void)value;
        EXPECT_EQ(name.find('#'), std::string::npos) << name;
        if (name.back() >= '1' && name.back() <= '8')
            ++inRepeaters;
    }
    EXPECT_EQ(inRepeaters, 39u * 8u);
    EXPECT_EQ(defaults.size(), 25u + 39u * 8u);
}

TEST_F(ModelDefaultsTest, StoresEveryDefaultAsTheServerWould) {
    Defaults expected;
    for (const auto& item : lumo_test::kItemsOutsideRepeaters)
        expected[nameOf(item.element)] = item.stored;
    for (const auto& templ : lumo_test::kTemplates) {
        for (const auto& item : templ.items) {
            for (int copy = 1; copy <= 8; ++copy)
                expected[withCopyNumber(nameOf(item.element), copy)] = item.stored;
        }
    }
    EXPECT_EQ(defaults, expected);
}

TEST_F(ModelDefaultsTest, EngineManifestCarriesTheSameSettings) {
    const auto manifest = nlohmann::ordered_json::parse(engineManifest());
    EXPECT_EQ(settingsModelDefaults(manifest["deviceAgentSettingsModel"].dump()), defaults);
}

// Small models written for the case at hand.
class DefaultsReadingTest : public ::testing::Test {
protected:
    static std::string repeaterWith(const std::string& count, const std::string& item) {
        return R"({"type":"Settings","items":[{"type":"Repeater",)" + count +
               R"("template":{"type":"GroupBox","caption":"Slot #","items":[)" + item + "]}}]}";
    }
};

TEST_F(DefaultsReadingTest, NumbersEveryCopyFromOne) {
    const auto defaults = settingsModelDefaults(repeaterWith(
        R"("count":"12",)", R"({"type":"CheckBox","name":"A#_B#","defaultValue":true})"));
    ASSERT_EQ(defaults.size(), 12u);
    EXPECT_EQ(defaults.count("A1_B1"), 1u);
    EXPECT_EQ(defaults.count("A12_B12"), 1u);
    EXPECT_EQ(defaults.count("A0_B0"), 0u);
}

TEST_F(DefaultsReadingTest, AcceptsANumericCountAndAnEmptyRepeater) {
    const std::string item = R"({"type":"CheckBox","name":"A#","defaultValue":false})";
    EXPECT_EQ(settingsModelDefaults(repeaterWith(R"("count":2,)", item)),
              (Defaults{{"A1", "false"}, {"A2", "false"}}));
    EXPECT_TRUE(settingsModelDefaults(repeaterWith(R"("count":"0",)", item)).empty());
}

TEST_F(DefaultsReadingTest, RejectsACountThatIsNoWholeNumber) {
    const std::string item = R"({"type":"CheckBox","name":"A#","defaultValue":false})";
    for (const char* count :
         {R"("count":"-1",)", R"("count":"two",)", R"("count":"",)", R"("count":"1.5",)",
          R"("count":2.5,)", R"("count":-3,)", R"("count":"99999999999",)", ""}) {
        EXPECT_THROW(settingsModelDefaults(repeaterWith(count, item)), std::invalid_argument)
            << count;
    }
}

// A template item without its "#" would make every copy the same setting.
TEST_F(DefaultsReadingTest, RejectsANameThatOccursTwice) {
    EXPECT_THROW(settingsModelDefaults(repeaterWith(
                     R"("count":"2",)", R"({"type":"CheckBox","name":"A","defaultValue":false})")),
                 std::invalid_argument);
}

TEST_F(DefaultsReadingTest, RejectsTextThatIsNoJsonObject) {
    for (const char* text : {"", "[]", "\"Settings\"", "{\"type\":", "not json"})
        EXPECT_THROW(settingsModelDefaults(text), std::invalid_argument) << text;
}

TEST_F(DefaultsReadingTest, WritesValuesAsText) {
    const auto defaults = settingsModelDefaults(R"({"type":"Settings","sections":[
        {"type":"Section","caption":"S","items":[
            {"type":"SpinBox","name":"NEGATIVE","defaultValue":-20},
            {"type":"SpinBox","name":"WHOLE_AS_FLOAT","defaultValue":5.0},
            {"type":"SpinBox","name":"FRACTION","defaultValue":0.5},
            {"type":"CheckBox","name":"OFF","defaultValue":false},
            {"type":"TextField","name":"MARKED","defaultValue":"%L#%"},
            {"type":"TextField","name":"NO_DEFAULT"},
            {"type":"LineFigure","name":"FIGURE","maxPoints":"8"},
            {"type":"ObjectSizeConstraints","name":"SIZE",
             "defaultValue":{"minimum":[0.25,0.5],"maximum":[1,1]}}]}]})");
    EXPECT_EQ(defaults, (Defaults{
                            {"NEGATIVE", "-20"},
                            {"WHOLE_AS_FLOAT", "5"},
                            {"FRACTION", "0.5"},
                            {"OFF", "false"},
                            {"MARKED", "%L#%"},
                            {"NO_DEFAULT", ""},
                            {"FIGURE", R"({"figure":null,"label":"","showOnCamera":false})"},
                            {"SIZE", R"({"minimum":[0.25,0.5],"maximum":[1,1]})"},
                        }));
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
