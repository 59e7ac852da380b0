// The plugin, engine and device-agent manifests and the settings dialog every camera gets, compared
// whole in their order, and the reading of a model's defaults the way the server stores them.
#include <cctype>
#include <map>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "lumo/manifests.h"
#include "lumo/settings_model.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using OrderedJson = nlohmann::ordered_json;  // compares objects key by key in order
using Json = nlohmann::json;                 // key order inside an element is free
using Defaults = std::map<std::string, std::string>;

// The pattern once per name, `mark` standing for the name and `upperMark` for it in capitals.
std::string each(std::initializer_list<std::string> names, const std::string& pattern,
                 char mark = '@', char upperMark = '^') {
    std::string text;
    for (const std::string& name : names) {
        std::string upper = name;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const char c : pattern)
            text += c == mark ? name : c == upperMark ? upper : std::string(1, c);
    }
    return text;
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

const std::string kDeviceAgentOutline =
    R"outline(supportedTypes
  {"objectTypeId":"qo.lumo.Head","attributes":["Object ID"]}
  {"objectTypeId":"qo.lumo.Human","attributes":["Object ID","Gender","Top Color","Bottom Color","Eyewear","Mask","Hat","Helmet","Bag"]}
)outline" +
    each({"Car", "Truck", "Bus", "Bicycle", "Motorcycle"},
         R"outline(  {"objectTypeId":"qo.lumo.@","attributes":["Object ID","Color","Speed"]}
)outline") +
    R"outline(  {"eventTypeId":"qo.lumo.LineCounting","attributes":["Video Source","Rule","Count"]}
  {"eventTypeId":"qo.lumo.Tampering","attributes":["Source","State"]}
  {"eventTypeId":"qo.lumo.SettingChanged","attributes":["Video Source Token","Data"]}
  {"eventTypeId":"qo.lumo.Events","attributes":["Key","Value"]}
)outline" +
    each({"Appear", "Stay", "Direction", "Enter", "Exit"},
         R"outline(  {"eventTypeId":"qo.lumo.@","attributes":["Key","Value"]}
)outline") +
    R"outline(  {"eventTypeId":"qo.lumo.Loitering","attributes":["Key","Value"]}
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
)outline" +
    each(
        {"Appear", "Stay", "Direction", "Enter", "Exit"},
        R"outline(    {"id":"qo.lumo.@","name":"@","groupId":"qo.lumo.Events","attributes":[{"type":"String","name":"Key"},{"type":"String","name":"Value"}]}
)outline") +
    R"outline(    {"id":"qo.lumo.Loitering","name":"Loitering","groupId":"qo.lumo.Events","attributes":[{"type":"String","name":"Key"},{"type":"String","name":"Value"}]}
  groups
    {"id":"qo.lumo.Events","name":"Region Events"}
  enumTypes
    {"id":"qo.lumo.Gender","name":"Gender","items":["Male","Female"]}
    {"id":"qo.lumo.Bag","name":"Bag","items":["Handbag","Backpack"]}
  colorTypes
    {"id":"qo.lumo.Color","name":"Color","items":[{"name":"Black","rgb":"#000000"},{"name":"Blue","rgb":"#0000FF"},{"name":"Brown","rgb":"#A52A2A"},{"name":"Cyan","rgb":"#00FFFF"},{"name":"Green","rgb":"#008000"},{"name":"Gray","rgb":"#808080"},{"name":"Orange","rgb":"#FFA500"},{"name":"Pink","rgb":"#FFC0CB"},{"name":"Purple","rgb":"#800080"},{"name":"Red","rgb":"#FF0000"},{"name":"White","rgb":"#FFFFFF"}]}
)outline";

TEST(ManifestTest, ManifestsAreTheFixedTextsAndTheDeviceAgentsListsEveryTypeWithItsAttributes) {
    EXPECT_EQ(pluginManifest(),
              "{\n    \"id\": \"qo.lumo\",\n    \"name\": \"LUMO AI Camera Plugin\",\n"
              "    \"description\": \"A plugin to support in-camera analytics for Lumovane IP "
              "cameras.\",\n    \"version\": \"1.0.0\",\n    \"vendor\": \"Lumovane\"\n}\n");
    EXPECT_EQ(OrderedJson::parse(engineManifest()),
              (OrderedJson{{"streamTypeFilter", "metadata"},
                           {"preferredStream", "secondary"},
                           {"deviceAgentSettingsModel", OrderedJson::parse(settingsModel())}}));
    EXPECT_EQ(outline(OrderedJson::parse(deviceAgentManifest())), kDeviceAgentOutline);
}

// One line per element, indented by nesting: kind, name, and every other key but its children
// (JSON types visible, so "8" and 8 differ).
std::string modelOutline(const Json& element, int depth = 0) {
    Json own = element;
    for (const char* key : {"type", "name", "template", "items", "sections"}) {
        if (own.contains(key) && !(own[key].is_array() && own[key].empty()))
            own.erase(key);
    }
    std::string text = std::string(depth * 2, ' ') + element.at("type").get<std::string>();
    if (element.contains("name"))
        text += " " + element["name"].get<std::string>();
    text += (own.empty() ? "" : " " + own.dump()) + "\n";
    if (element.contains("template"))
        text += modelOutline(element["template"], depth + 1);
    for (const auto& child : element.value("items", Json::array()))
        text += modelOutline(child, depth + 1);
    for (const auto& child : element.value("sections", Json::array()))
        text += modelOutline(child, depth + 1);
    return text;
}

const std::string kOutline =
    R"outline(Settings {"items":[]}
  Section {"caption":"Object Detection"}
    SwitchButton AIX_OBJECT_DETECTION_ENABLE {"caption":"Enable","defaultValue":true,"description":"Object Detection Enable/Disable"}
    GroupBox {"caption":"Calibration"}
      GroupBox {"caption":"Box"}
        SpinBox TS_CALIBRATION {"caption":"Delay Level<br>(-20 ~ +20)","defaultValue":0,"description":"Subtract(-): Display the box faster<br>Add(+): Display the box slower","isActive":true,"maxValue":20,"minValue":-20}
    Section {"caption":"Configuration"}
      GroupBox {"caption":"Configuration"}
        GroupBox {"caption":"Object"}
)outline" +
    each({"Person", "Bicycle", "Car"}, R"outline(          GroupBox {"caption":"@"}
            CheckBox AIX_^_DETECTION_ENABLE {"caption":"Detect","defaultValue":true}
            ComboBox AIX_^_DISPLAY_TYPE {"caption":"Display Type","defaultValue":"1","itemCaptions":{"0":"Off","1":"Class"},"range":["0","1"]}
            ComboBox AIX_^_SENSITIVITY {"caption":"Sensitivity","defaultValue":"0","itemCaptions":{"0":"Ultra High","1":"High","2":"Middle","3":"Low"},"range":["0","1","2","3"]}
            CheckBox AIX_^_SMARTOBJECT_ENABLE {"caption":"Smart Shot","defaultValue":true}
)outline") +
    R"outline(          GroupBox {"caption":"Size"}
            ObjectSizeConstraints AIX_OBJECT_DETECTION_SIZE {"caption":"Constraints","defaultValue":{"maximum":[1.0,1.0],"minimum":[0.006,0.01]}}
    Section {"caption":"Exclude Regions"}
      GroupBox {"caption":"Exclude Regions"}
        Repeater {"count":"8"}
          GroupBox {"caption":"Exclude Region #","filledCheckItems":["AIX_EXCLUDE_REGION_POSITION#"]}
            CheckBox AIX_EXCLUDE_REGION_ENABLE# {"caption":"Enable Exclude Region","defaultValue":false}
            PolygonFigure AIX_EXCLUDE_REGION_POSITION# {"caption":"Label","maxPoints":"8","minPoints":4}
            GroupBox {"caption":"Type"}
              RadioButtonGroup AIX_EXCLUDE_REGION_TYPE# {"defaultValue":"Region","range":["Region","Spot"]}
            GroupBox {"caption":"Object"}
              CheckBox AIX_EXCLUDE_REGION_PERSON_ENABLE# {"caption":"Person","defaultValue":false,"enabled":true}
              CheckBox AIX_EXCLUDE_REGION_BICYCLE_ENABLE# {"caption":"Bicycle","defaultValue":false,"enabled":true}
              CheckBox AIX_EXCLUDE_REGION_CAR_ENABLE# {"caption":"Car","defaultValue":false,"enabled":true}
  Section {"caption":"Video Surveillance"}
    GroupBox {"caption":"Highlight Objects Triggered by Region Events"}
      GroupBox {"caption":"Display Time"}
        ComboBox HL_DURATION {"caption":"Duration","defaultValue":"5","itemCaptions":{"0":"Off","1":"1 sec","10":"10 sec","30":"30 sec","5":"5 sec","60":"60 sec"},"range":["0","1","5","10","30","60"]}
    Section {"caption":"Regions"}
      GroupBox {"caption":"Regions"}
        Repeater {"count":"8"}
          GroupBox {"caption":"Region #","filledCheckItems":["AIX_REGION_POSITION#"]}
            CheckBox AIX_REGION_ENABLE# {"caption":"Enable Region Events","defaultValue":false}
            PolygonFigure AIX_REGION_POSITION# {"caption":"Label","maxPoints":"8","minPoints":4}
            GroupBox {"caption":"Events"}
)outline" +
    each({"Appear", "Stay", "Direction", "Enter", "Exit"},
         R"outline(              GroupBox {"caption":"@"}
)outline" + each(
                {"Person", "Bicycle", "Car"},
                R"outline(                CheckBox AIX_REGION_EVENT_~_^# {"caption":"$","defaultValue":false,"enabled":true}
)outline",
                '$', '~')) +
    R"outline(              GroupBox {"caption":"Loitering"}
                CheckBox AIX_REGION_EVENT_PERSON_LOITERING# {"caption":"Person","defaultValue":false,"enabled":true}
              SpinBox AIX_REGION_EVENT_STAYDURATION# {"caption":"Stay Duration (sec)","defaultValue":1,"maxValue":600,"minValue":1}
              SpinBox AIX_REGION_EVENT_LOITERINGDURATION# {"caption":"Loitering Time (sec)","defaultValue":1,"maxValue":600,"minValue":1}
    Section {"caption":"Lines"}
      GroupBox {"caption":"Lines"}
        Repeater {"count":"8"}
          GroupBox {"caption":"Line #","filledCheckItems":["AIX_LINE_POSITION#"]}
            CheckBox AIX_LINE_ENABLE# {"caption":"Enable Line Counting","defaultValue":false}
            LineFigure AIX_LINE_POSITION# {"caption":"Label","maxPoints":"8","minPoints":2}
            GroupBox {"caption":"Object"}
              CheckBox AIX_LINE_PERSON_ENABLE# {"caption":"Person","defaultValue":false,"enabled":true}
              CheckBox AIX_LINE_BICYCLE_ENABLE# {"caption":"Bicycle","defaultValue":false,"enabled":true}
              CheckBox AIX_LINE_CAR_ENABLE# {"caption":"Car","defaultValue":false,"enabled":true}
      Section {"caption":"OSD Settings"}
        GroupBox {"caption":"OSD Settings"}
          GroupBox {"caption":"Reset Count"}
            CheckBox AIX_LINE_COUNT_RESET_ALL {"caption":"All Lines Now","defaultValue":false}
            GroupBox {"caption":"Schedule"}
              CheckBox AIX_LINE_DAILYRESET_ENABLE {"caption":"Daily","defaultValue":false,"enabled":true}
              SpinBox AIX_LINE_DAILYRESET_HOUR {"caption":"Hour","defaultValue":0,"maxValue":23,"minValue":0}
              SpinBox AIX_LINE_DAILYRESET_MIN {"caption":"Minute","defaultValue":0,"maxValue":59,"minValue":0}
          GroupBox {"caption":"Display Time"}
            ComboBox AIX_LINE_COUNTOSD_DISPLAY_TIME {"caption":"Duration","defaultValue":"1","itemCaptions":{"1":"1 sec","10":"10 sec","30":"30 sec","5":"5 sec","60":"60 sec"},"range":["1","5","10","30","60"]}
            CheckBox AIX_LINE_COUNTOSD_DISPLAY_ALLWAYS {"caption":"Continuously","defaultValue":false,"enabled":true}
          Repeater {"count":"8"}
            GroupBox {"caption":"Line #","filledCheckItems":["AIX_LINE_POSITION#"]}
              CheckBox AIX_LINE_COUNT_RESET# {"caption":"Reset Count","defaultValue":false}
              CheckBox AIX_LINE_COUNTOSD_DISPLAY_ENABLE# {"caption":"Display String","defaultValue":false}
              CheckBox AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE# {"caption":"Display Event Type","defaultValue":false,"enabled":true}
              TextField AIX_LINE_COUNTOSD_STRING# {"caption":"OSD String","defaultValue":"%L#%"}
              Banner {"icon":"info","text":"%L#% : replaced by line count"}
              SpinBox AIX_LINE_COUNTOSD_X# {"caption":"X-Coords<br>(0 ~ 1000)","defaultValue":0,"maxValue":1000,"minValue":0}
              SpinBox AIX_LINE_COUNTOSD_Y# {"caption":"Y-Coords<br>(0 ~ 1000)","defaultValue":0,"maxValue":1000,"minValue":0}
              SpinBox AIX_LINE_COUNTOSD_FONTSIZE# {"caption":"Font Size<br>(12 ~ 84)","defaultValue":50,"maxValue":84,"minValue":12}
              ComboBox AIX_LINE_COUNTOSD_COLOR# {"caption":"Color","defaultValue":"0","itemCaptions":{"0":"White","1":"Gray1","2":"Gray2","3":"Gray3","4":"Black","5":"Red","6":"Green","7":"Blue","8":"Yellow","9":"Orange"},"range":["0","1","2","3","4","5","6","7","8","9"]}
  Section {"caption":"Tampering"}
    SwitchButton AIX_TAMPERING_ENABLE {"caption":"Enable","defaultValue":true,"description":"Tampering Enable/Disable"}
    GroupBox {"caption":"Configuration"}
      GroupBox {"caption":"Tampering"}
        ComboBox AIX_TAMPERING_SENSITIVITY {"caption":"Sensitivity","defaultValue":"1","itemCaptions":{"0":"High","1":"Middle","2":"Low"},"range":["0","1","2"]}
        ComboBox AIX_TAMPERING_DURATION {"caption":"Duration","defaultValue":"3","itemCaptions":{"1":"1 sec","10":"10 sec","3":"3 sec","5":"5 sec"},"range":["1","3","5","10"]}
)outline";

TEST(SettingsModelTest, EveryElementStandsInTheDialogTreeAndEveryDefaultIsStoredAsText) {
    EXPECT_EQ(modelOutline(Json::parse(settingsModel())), kOutline);
    const Defaults defaults = settingsModelDefaults(settingsModel());
    EXPECT_EQ(defaults.size(), 25u + 39u * 8u);
    EXPECT_EQ(defaults.count("AIX_LINE_CAR_ENABLE8") + defaults.count("AIX_LINE_CAR_ENABLE0"), 1u);
    EXPECT_EQ(defaults.at("AIX_REGION_POSITION8"),
              R"({"figure":null,"label":"","showOnCamera":false})");
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
