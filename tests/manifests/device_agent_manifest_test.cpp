#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "lumo/manifests.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

// Key order counts in this manifest, and ordered_json compares objects in order.
using OrderedJson = nlohmann::ordered_json;
using Names = std::vector<std::string>;

struct Attribute {
    const char* name;
    const char* type;
    const char* subtype;  // "" where none
};
using Attributes = std::vector<Attribute>;

struct SupportedType {
    const char* key;
    const char* id;
    Names attributes;
};

struct ObjectType {
    const char* id;
    const char* name;
    const char* icon;
    const char* base;  // "" where none
    Attributes attributes;
};

struct EventType {
    const char* id;
    const char* name;
    const char* groupId;  // "" where none
    Attributes attributes;
};

const Names kVehicleSupported = {"Object ID", "Color", "Speed"};
const Names kKeyValue = {"Key", "Value"};

const std::vector<SupportedType> kSupportedTypes = {
    {"objectTypeId", "qo.lumo.Head", {"Object ID"}},
    {"objectTypeId",
     "qo.lumo.Human",
     {"Object ID", "Gender", "Top Color", "Bottom Color", "Eyewear", "Mask", "Hat", "Helmet",
      "Bag"}},
    {"objectTypeId", "qo.lumo.Car", kVehicleSupported},
    {"objectTypeId", "qo.lumo.Truck", kVehicleSupported},
    {"objectTypeId", "qo.lumo.Bus", kVehicleSupported},
    {"objectTypeId", "qo.lumo.Bicycle", kVehicleSupported},
    {"objectTypeId", "qo.lumo.Motorcycle", kVehicleSupported},
    {"eventTypeId", "qo.lumo.LineCounting", {"Video Source", "Rule", "Count"}},
    {"eventTypeId", "qo.lumo.Tampering", {"Source", "State"}},
    {"eventTypeId", "qo.lumo.SettingChanged", {"Video Source Token", "Data"}},
    {"eventTypeId", "qo.lumo.Events", kKeyValue},
    {"eventTypeId", "qo.lumo.Appear", kKeyValue},
    {"eventTypeId", "qo.lumo.Stay", kKeyValue},
    {"eventTypeId", "qo.lumo.Direction", kKeyValue},
    {"eventTypeId", "qo.lumo.Enter", kKeyValue},
    {"eventTypeId", "qo.lumo.Exit", kKeyValue},
    {"eventTypeId", "qo.lumo.Loitering", kKeyValue},
};

const Attributes kIdAndLikelihood = {{"Object ID", "Number", "integer"},
                                     {"Likelihood", "Number", ""}};
const Attributes kVehicleAttributes = {
    {"Object ID", "Number", "integer"},  {"Likelihood", "Number", ""},
    {"Vehicle Type", "String", ""},      {"Type Likelihood", "Number", ""},
    {"Color", "Color", "qo.lumo.Color"}, {"Speed", "Number", "integer"},
};

const std::vector<ObjectType> kObjectTypes = {
    {"qo.lumo.Head", "Head", "qo.base.face", "", kIdAndLikelihood},
    {"qo.lumo.Human",
     "Person",
     "qo.base.person",
     "",
     {
         {"Object ID", "Number", "integer"},
         {"Likelihood", "Number", ""},
         {"Gender", "Enum", "qo.lumo.Gender"},
         {"Top Color", "Color", "qo.lumo.Color"},
         {"Top Color 2", "Color", "qo.lumo.Color"},
         {"Bottom Color", "Color", "qo.lumo.Color"},
         {"Eyewear", "Boolean", ""},
         {"Mask", "Boolean", ""},
         {"Hat", "Boolean", ""},
         {"Helmet", "Boolean", ""},
         {"Bag", "Enum", "qo.lumo.Bag"},
         {"Behaviour", "String", ""},
     }},
    {"qo.lumo.Vehicle", "Vehicle", "qo.base.vehicle", "", kIdAndLikelihood},
    {"qo.lumo.Car", "Car", "qo.base.car", "qo.lumo.Vehicle", kVehicleAttributes},
    {"qo.lumo.Truck", "Truck", "qo.base.truck", "qo.lumo.Vehicle", kVehicleAttributes},
    {"qo.lumo.Bus", "Bus", "qo.base.bus", "qo.lumo.Vehicle", kVehicleAttributes},
    {"qo.lumo.Bicycle", "Bicycle", "qo.base.bike", "qo.lumo.Vehicle", kVehicleAttributes},
    {"qo.lumo.Motorcycle", "Motorcycle", "qo.base.bike", "qo.lumo.Vehicle", kVehicleAttributes},
};

const Attributes kKeyValueAttributes = {{"Key", "String", ""}, {"Value", "String", ""}};

const std::vector<EventType> kEventTypes = {
    {"qo.lumo.LineCounting",
     "Line Counting",
     "",
     {{"Video Source", "String", ""}, {"Rule", "String", ""}, {"Count", "Number", ""}}},
    {"qo.lumo.BehaviorAnal",
     "Behavior Changed",
     "",
     {{"Video Source", "String", ""},
      {"Rule", "String", ""},
      {"Object ID", "Number", ""},
      {"Class Type", "String", ""},
      {"Actions", "String", ""},
      {"States", "String", ""}}},
    {"qo.lumo.Tampering", "Tampering", "", {{"Source", "String", ""}, {"State", "String", ""}}},
    {"qo.lumo.SettingChanged",
     "AI Settings Changed",
     "",
     {{"Video Source Token", "String", ""}, {"Data", "String", ""}}},
    {"qo.lumo.Appear", "Appear", "qo.lumo.Events", kKeyValueAttributes},
    {"qo.lumo.Stay", "Stay", "qo.lumo.Events", kKeyValueAttributes},
    {"qo.lumo.Direction", "Direction", "qo.lumo.Events", kKeyValueAttributes},
    {"qo.lumo.Enter", "Enter", "qo.lumo.Events", kKeyValueAttributes},
    {"qo.lumo.Exit", "Exit", "qo.lumo.Events", kKeyValueAttributes},
    {"qo.lumo.Loitering", "Loitering", "qo.lumo.Events", kKeyValueAttributes},
};

const std::vector<std::pair<const char*, const char*>> kColors = {
    {"Black", "#000000"},  {"Blue", "#0000FF"}, {"Brown", "#A52A2A"},  {"Cyan", "#00FFFF"},
    {"Green", "#008000"},  {"Gray", "#808080"}, {"Orange", "#FFA500"}, {"Pink", "#FFC0CB"},
    {"Purple", "#800080"}, {"Red", "#FF0000"},  {"White", "#FFFFFF"},
};

OrderedJson attributesJson(const Attributes& attributes) {
    OrderedJson result = OrderedJson::array();
    for (const auto& attribute : attributes) {
        OrderedJson item = {{"type", attribute.type}, {"name", attribute.name}};
        if (*attribute.subtype)
            item["subtype"] = attribute.subtype;
        result.push_back(item);
    }
    return result;
}

Names keysOf(const OrderedJson& object) {
    Names keys;
    for (const auto& item : object.items())
        keys.push_back(item.key());
    return keys;
}

std::set<std::string> idsOf(const OrderedJson& entries) {
    std::set<std::string> ids;
    for (const auto& entry : entries)
        ids.insert(entry.at("id").get<std::string>());
    return ids;
}

class DeviceAgentManifestTest : public ::testing::Test {
protected:
    const std::string& text = deviceAgentManifest();
    const OrderedJson manifest = OrderedJson::parse(text);
    const OrderedJson& library = manifest.at("typeLibrary");
};

TEST_F(DeviceAgentManifestTest, IsOneObjectEndingInALineFeed) {
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.front(), '{');
    EXPECT_EQ(text.substr(text.size() - 2), "}\n");
    EXPECT_EQ(keysOf(manifest), (Names{"supportedTypes", "typeLibrary"}));
    EXPECT_EQ(keysOf(library),
              (Names{"objectTypes", "eventTypes", "groups", "enumTypes", "colorTypes"}));
}

TEST_F(DeviceAgentManifestTest, IsBuiltOnceAndSharedByAllCallers) {
    EXPECT_EQ(&deviceAgentManifest(), &text);
}

TEST_F(DeviceAgentManifestTest, ListsTheSupportedTypesInOrder) {
    const auto& supported = manifest.at("supportedTypes");
    ASSERT_EQ(supported.size(), kSupportedTypes.size());
    for (size_t i = 0; i < kSupportedTypes.size(); ++i) {
        const auto& row = kSupportedTypes[i];
        const OrderedJson expected = {{row.key, row.id}, {"attributes", row.attributes}};
        EXPECT_EQ(supported[i], expected) << "entry " << i + 1;
    }
}

TEST_F(DeviceAgentManifestTest, DescribesTheEightObjectTypes) {
    const auto& objectTypes = library.at("objectTypes");
    ASSERT_EQ(objectTypes.size(), kObjectTypes.size());
    for (size_t i = 0; i < kObjectTypes.size(); ++i) {
        const auto& row = kObjectTypes[i];
        OrderedJson expected = {{"id", row.id}, {"name", row.name}, {"icon", row.icon}};
        if (*row.base)
            expected["base"] = row.base;
        expected["attributes"] = attributesJson(row.attributes);
        EXPECT_EQ(objectTypes[i], expected) << row.id;
    }
}

TEST_F(DeviceAgentManifestTest, DescribesTheTenEventTypes) {
    const auto& eventTypes = library.at("eventTypes");
    ASSERT_EQ(eventTypes.size(), kEventTypes.size());
    for (size_t i = 0; i < kEventTypes.size(); ++i) {
        const auto& row = kEventTypes[i];
        OrderedJson expected = {{"id", row.id}, {"name", row.name}};
        if (*row.groupId)
            expected["groupId"] = row.groupId;
        expected["attributes"] = attributesJson(row.attributes);
        EXPECT_EQ(eventTypes[i], expected) << row.id;
    }
}

TEST_F(DeviceAgentManifestTest, DescribesTheGroupAndTheEnumerations) {
    EXPECT_EQ(library.at("groups"), OrderedJson::parse(R"([
        {"id": "qo.lumo.Events", "name": "Region Events"}])"));
    EXPECT_EQ(library.at("enumTypes"), OrderedJson::parse(R"([
        {"id": "qo.lumo.Gender", "name": "Gender", "items": ["Male", "Female"]},
        {"id": "qo.lumo.Bag", "name": "Bag", "items": ["Handbag", "Backpack"]}])"));
}

TEST_F(DeviceAgentManifestTest, DescribesTheElevenColours) {
    OrderedJson items = OrderedJson::array();
    for (const auto& [name, rgb] : kColors)
        items.push_back({{"name", name}, {"rgb", rgb}});
    const OrderedJson expected = {{"id", "qo.lumo.Color"}, {"name", "Color"}, {"items", items}};
    EXPECT_EQ(library.at("colorTypes"), OrderedJson::array({expected}));
}

// A reference to a type that the library does not declare makes the server reject or misread
// the manifest.
TEST_F(DeviceAgentManifestTest, EveryReferenceNamesADeclaredType) {
    const auto objectIds = idsOf(library.at("objectTypes"));
    const auto eventIds = idsOf(library.at("eventTypes"));
    const auto groupIds = idsOf(library.at("groups"));
    const auto enumIds = idsOf(library.at("enumTypes"));
    const auto colorIds = idsOf(library.at("colorTypes"));

    for (const auto& supported : manifest.at("supportedTypes")) {
        if (supported.contains("objectTypeId")) {
            EXPECT_EQ(objectIds.count(supported["objectTypeId"]), 1u) << supported;
        } else {
            const auto id = supported.at("eventTypeId").get<std::string>();
            EXPECT_TRUE(eventIds.count(id) || groupIds.count(id)) << id;
        }
    }
    for (const auto& type : library.at("objectTypes")) {
        if (type.contains("base")) {
            EXPECT_EQ(objectIds.count(type["base"]), 1u) << type["id"];
        }
    }
    for (const auto& type : library.at("eventTypes")) {
        if (type.contains("groupId")) {
            EXPECT_EQ(groupIds.count(type["groupId"]), 1u) << type["id"];
        }
    }
    for (const auto& type : library.at("objectTypes")) {
        for (const auto& attribute : type.at("attributes")) {
            if (attribute["type"] == "Color") {
                EXPECT_EQ(colorIds.count(attribute.at("subtype")), 1u) << attribute;
            } else if (attribute["type"] == "Enum") {
                EXPECT_EQ(enumIds.count(attribute.at("subtype")), 1u) << attribute;
            }
        }
    }
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
