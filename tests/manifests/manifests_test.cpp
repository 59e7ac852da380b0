// The plugin, engine and device-agent manifests, compared whole: every field, type and attribute
// in its order.
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "lumo/manifests.h"
#include "lumo/settings_model.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using OrderedJson = nlohmann::ordered_json;  // compares objects key by key in order

TEST(ManifestTest, PluginManifestIsTheFixedTextWithTheVersionInserted) {
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

TEST(ManifestTest, EngineManifestCarriesTheSettingsModel) {
    EXPECT_EQ(OrderedJson::parse(engineManifest()),
              (OrderedJson{{"streamTypeFilter", "metadata"},
                           {"preferredStream", "secondary"},
                           {"deviceAgentSettingsModel", OrderedJson::parse(settingsModel())}}));
}

// Each list of the manifest under its key, one entry per line.
std::string outline(const OrderedJson& object, const std::string& indent = "") {
    std::string text;
    for (const auto& [key, value] : object.items()) {
        text += indent + key + "\n";
        if (value.is_object())
            text += outline(value, indent + "  ");
        for (const auto& entry : value.is_array() ? value : OrderedJson::array())
            text += indent + "  " + entry.dump() + "\n";
    }
    return text;
}

constexpr char kDeviceAgentOutline[] = R"outline(supportedTypes
  {"objectTypeId":"qo.lumo.Head","attributes":["Object ID"]}
  {"objectTypeId":"qo.lumo.Human","attributes":["Object ID","Gender","Top Color","Bottom Color","Eyewear","Mask","Hat","Helmet","Bag"]}
  {"objectTypeId":"qo.lumo.Car","attributes":["Object ID","Color","Speed"]}
  {"objectTypeId":"qo.lumo.Truck","attributes":["Object ID","Color","Speed"]}
  {"objectTypeId":"qo.lumo.Bus","attributes":["Object ID","Color","Speed"]}
  {"objectTypeId":"qo.lumo.Bicycle","attributes":["Object ID","Color","Speed"]}
  {"objectTypeId":"qo.lumo.Motorcycle","attributes":["Object ID","Color","Speed"]}
  {"eventTypeId":"qo.lumo.LineCounting","attributes":["Video Source","Rule","Count"]}
  {"eventTypeId":"qo.lumo.Tampering","attributes":["Source","State"]}
  {"eventTypeId":"qo.lumo.SettingChanged","attributes":["Video Source Token","Data"]}
  {"eventTypeId":"qo.lumo.Events","attributes":["Key","Value"]}
  {"eventTypeId":"qo.lumo.Appear","attributes":["Key","Value"]}
  {"eventTypeId":"qo.lumo.Stay","attributes":["Key","Value"]}
  {"eventTypeId":"qo.lumo.Direction","attributes":["Key","Value"]}
  {"eventTypeId":"qo.lumo.Enter","attributes":["Key","Value"]}
  {"eventTypeId":"qo.lumo.Exit","attributes":["Key","Value"]}
  {"eventTypeId":"qo.lumo.Loitering","attributes":["Key","Value"]}
typeLibrary
  objectTypes
    {"id":"qo.lumo.Head","name":"Head","icon":"qo.base.face","attributes":[{"type":"Number","name":"Object ID","subtype":"integer"},{"type":"Number","name":"Likelihood"}]}
    {"id":"qo.lumo.Human","name":"Person","icon":"qo.base.person","attributes":[{"type":"Number","name":"Object ID","subtype":"integer"},{"type":"Number","name":"Likelihood"},{"type":"Enum","name":"Gender","subtype":"qo.lumo.Gender"},{"type":"Color","name":"Top Color","subtype":"qo.lumo.Color"},{"type":"Color","name":"Top Color 2","subtype":"qo.lumo.Color"},{"type":"Color","name":"Bottom Color","subtype":"qo.lumo.Color"},{"type":"Boolean","name":"Eyewear"},{"type":"Boolean","name":"Mask"},{"type":"Boolean","name":"Hat"},{"type":"Boolean","name":"Helmet"},{"type":"Enum","name":"Bag","subtype":"qo.lumo.Bag"},{"type":"String","name":"Behaviour"}]}
    {"id":"qo.lumo.Vehicle","name":"Vehicle","icon":"qo.base.vehicle","attributes":[{"type":"Number","name":"Object ID","subtype":"integer"},{"type":"Number","name":"Likelihood"}]}
    {"id":"qo.lumo.Car","name":"Car","icon":"qo.base.car","base":"qo.lumo.Vehicle","attributes":[{"type":"Number","name":"Object ID","subtype":"integer"},{"type":"Number","name":"Likelihood"},{"type":"String","name":"Vehicle Type"},{"type":"Number","name":"Type Likelihood"},{"type":"Color","name":"Color","subtype":"qo.lumo.Color"},{"type":"Number","name":"Speed","subtype":"integer"}]}
    {"id":"qo.lumo.Truck","name":"Truck","icon":"qo.base.truck","base":"qo.lumo.Vehicle","attributes":[{"type":"Number","name":"Object ID","subtype":"integer"},{"type":"Number","name":"Likelihood"},{"type":"String","name":"Vehicle Type"},{"type":"Number","name":"Type Likelihood"},{"type":"Color","name":"Color","subtype":"qo.lumo.Color"},{"type":"Number","name":"Speed","subtype":"integer"}]}
    {"id":"qo.lumo.Bus","name":"Bus","icon":"qo.base.bus","base":"qo.lumo.Vehicle","attributes":[{"type":"Number","name":"Object ID","subtype":"integer"},{"type":"Number","name":"Likelihood"},{"type":"String","name":"Vehicle Type"},{"type":"Number","name":"Type Likelihood"},{"type":"Color","name":"Color","subtype":"qo.lumo.Color"},{"type":"Number","name":"Speed","subtype":"integer"}]}
    {"id":"qo.lumo.Bicycle","name":"Bicycle","icon":"qo.base.bike","base":"qo.lumo.Vehicle","attributes":[{"type":"Number","name":"Object ID","subtype":"integer"},{"type":"Number","name":"Likelihood"},{"type":"String","name":"Vehicle Type"},{"type":"Number","name":"Type Likelihood"},{"type":"Color","name":"Color","subtype":"qo.lumo.Color"},{"type":"Number","name":"Speed","subtype":"integer"}]}
    {"id":"qo.lumo.Motorcycle","name":"Motorcycle","icon":"qo.base.bike","base":"qo.lumo.Vehicle","attributes":[{"type":"Number","name":"Object ID","subtype":"integer"},{"type":"Number","name":"Likelihood"},{"type":"String","name":"Vehicle Type"},{"type":"Number","name":"Type Likelihood"},{"type":"Color","name":"Color","subtype":"qo.lumo.Color"},{"type":"Number","name":"Speed","subtype":"integer"}]}
  eventTypes
    {"id":"qo.lumo.LineCounting","name":"Line Counting","attributes":[{"type":"String","name":"Video Source"},{"type":"String","name":"Rule"},{"type":"Number","name":"Count"}]}
    {"id":"qo.lumo.BehaviorAnal","name":"Behavior Changed","attributes":[{"type":"String","name":"Video Source"},{"type":"String","name":"Rule"},{"type":"Number","name":"Object ID"},{"type":"String","name":"Class Type"},{"type":"String","name":"Actions"},{"type":"String","name":"States"}]}
    {"id":"qo.lumo.Tampering","name":"Tampering","attributes":[{"type":"String","name":"Source"},{"type":"String","name":"State"}]}
    {"id":"qo.lumo.SettingChanged","name":"AI Settings Changed","attributes":[{"type":"String","name":"Video Source Token"},{"type":"String","name":"Data"}]}
    {"id":"qo.lumo.Appear","name":"Appear","groupId":"qo.lumo.Events","attributes":[{"type":"String","name":"Key"},{"type":"String","name":"Value"}]}
    {"id":"qo.lumo.Stay","name":"Stay","groupId":"qo.lumo.Events","attributes":[{"type":"String","name":"Key"},{"type":"String","name":"Value"}]}
    {"id":"qo.lumo.Direction","name":"Direction","groupId":"qo.lumo.Events","attributes":[{"type":"String","name":"Key"},{"type":"String","name":"Value"}]}
    {"id":"qo.lumo.Enter","name":"Enter","groupId":"qo.lumo.Events","attributes":[{"type":"String","name":"Key"},{"type":"String","name":"Value"}]}
    {"id":"qo.lumo.Exit","name":"Exit","groupId":"qo.lumo.Events","attributes":[{"type":"String","name":"Key"},{"type":"String","name":"Value"}]}
    {"id":"qo.lumo.Loitering","name":"Loitering","groupId":"qo.lumo.Events","attributes":[{"type":"String","name":"Key"},{"type":"String","name":"Value"}]}
  groups
    {"id":"qo.lumo.Events","name":"Region Events"}
  enumTypes
    {"id":"qo.lumo.Gender","name":"Gender","items":["Male","Female"]}
    {"id":"qo.lumo.Bag","name":"Bag","items":["Handbag","Backpack"]}
  colorTypes
    {"id":"qo.lumo.Color","name":"Color","items":[{"name":"Black","rgb":"#000000"},{"name":"Blue","rgb":"#0000FF"},{"name":"Brown","rgb":"#A52A2A"},{"name":"Cyan","rgb":"#00FFFF"},{"name":"Green","rgb":"#008000"},{"name":"Gray","rgb":"#808080"},{"name":"Orange","rgb":"#FFA500"},{"name":"Pink","rgb":"#FFC0CB"},{"name":"Purple","rgb":"#800080"},{"name":"Red","rgb":"#FF0000"},{"name":"White","rgb":"#FFFFFF"}]}
)outline";

TEST(ManifestTest, DeviceAgentManifestListsEveryTypeWithItsAttributes) {
    const std::string& text = deviceAgentManifest();
    EXPECT_EQ(outline(OrderedJson::parse(text)), kDeviceAgentOutline);
    EXPECT_EQ(text.substr(text.size() - 2), "}\n");
    EXPECT_EQ(&deviceAgentManifest(), &text) << "built once and shared by all callers";
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
