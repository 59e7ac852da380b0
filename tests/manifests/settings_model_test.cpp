// The settings dialog every camera gets, element by element, and the reading of a model's
// defaults the way the server stores them.
#include <map>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "lumo/manifests.h"
#include "lumo/settings_model.h"

namespace qo::vms_server_plugins::analytics::lumo {
namespace {

using Json = nlohmann::json;  // key order inside an element is free: compared as maps
using Defaults = std::map<std::string, std::string>;

// One line per element, indented by nesting: its kind, its name, and every other key but its
// children (JSON types visible, so "8" and 8 differ). Children: template, then items, then
// sections.
std::string outline(const Json& element, int depth = 0) {
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
        text += outline(element["template"], depth + 1);
    for (const char* key : {"items", "sections"}) {
        for (const auto& child : element.value(key, Json::array()))
            text += outline(child, depth + 1);
    }
    return text;
}

constexpr char kOutline[] = R"outline(Settings {"items":[]}
  Section {"caption":"Object Detection"}
    SwitchButton AIX_OBJECT_DETECTION_ENABLE {"caption":"Enable","defaultValue":true,"description":"Object Detection Enable/Disable"}
    GroupBox {"caption":"Calibration"}
      GroupBox {"caption":"Box"}
        SpinBox TS_CALIBRATION {"caption":"Delay Level<br>(-20 ~ +20)","defaultValue":0,"description":"Subtract(-): Display the box faster<br>Add(+): Display the box slower","isActive":true,"maxValue":20,"minValue":-20}
    Section {"caption":"Configuration"}
      GroupBox {"caption":"Configuration"}
        GroupBox {"caption":"Object"}
          GroupBox {"caption":"Person"}
            CheckBox AIX_PERSON_DETECTION_ENABLE {"caption":"Detect","defaultValue":true}
            ComboBox AIX_PERSON_DISPLAY_TYPE {"caption":"Display Type","defaultValue":"1","itemCaptions":{"0":"Off","1":"Class"},"range":["0","1"]}
            ComboBox AIX_PERSON_SENSITIVITY {"caption":"Sensitivity","defaultValue":"0","itemCaptions":{"0":"Ultra High","1":"High","2":"Middle","3":"Low"},"range":["0","1","2","3"]}
            CheckBox AIX_PERSON_SMARTOBJECT_ENABLE {"caption":"Smart Shot","defaultValue":true}
          GroupBox {"caption":"Bicycle"}
            CheckBox AIX_BICYCLE_DETECTION_ENABLE {"caption":"Detect","defaultValue":true}
            ComboBox AIX_BICYCLE_DISPLAY_TYPE {"caption":"Display Type","defaultValue":"1","itemCaptions":{"0":"Off","1":"Class"},"range":["0","1"]}
            ComboBox AIX_BICYCLE_SENSITIVITY {"caption":"Sensitivity","defaultValue":"0","itemCaptions":{"0":"Ultra High","1":"High","2":"Middle","3":"Low"},"range":["0","1","2","3"]}
            CheckBox AIX_BICYCLE_SMARTOBJECT_ENABLE {"caption":"Smart Shot","defaultValue":true}
          GroupBox {"caption":"Car"}
            CheckBox AIX_CAR_DETECTION_ENABLE {"caption":"Detect","defaultValue":true}
            ComboBox AIX_CAR_DISPLAY_TYPE {"caption":"Display Type","defaultValue":"1","itemCaptions":{"0":"Off","1":"Class"},"range":["0","1"]}
            ComboBox AIX_CAR_SENSITIVITY {"caption":"Sensitivity","defaultValue":"0","itemCaptions":{"0":"Ultra High","1":"High","2":"Middle","3":"Low"},"range":["0","1","2","3"]}
            CheckBox AIX_CAR_SMARTOBJECT_ENABLE {"caption":"Smart Shot","defaultValue":true}
          GroupBox {"caption":"Size"}
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
              GroupBox {"caption":"Appear"}
                CheckBox AIX_REGION_EVENT_PERSON_APPEAR# {"caption":"Person","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_BICYCLE_APPEAR# {"caption":"Bicycle","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_CAR_APPEAR# {"caption":"Car","defaultValue":false,"enabled":true}
              GroupBox {"caption":"Stay"}
                CheckBox AIX_REGION_EVENT_PERSON_STAY# {"caption":"Person","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_BICYCLE_STAY# {"caption":"Bicycle","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_CAR_STAY# {"caption":"Car","defaultValue":false,"enabled":true}
              GroupBox {"caption":"Direction"}
                CheckBox AIX_REGION_EVENT_PERSON_DIRECTION# {"caption":"Person","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_BICYCLE_DIRECTION# {"caption":"Bicycle","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_CAR_DIRECTION# {"caption":"Car","defaultValue":false,"enabled":true}
              GroupBox {"caption":"Enter"}
                CheckBox AIX_REGION_EVENT_PERSON_ENTER# {"caption":"Person","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_BICYCLE_ENTER# {"caption":"Bicycle","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_CAR_ENTER# {"caption":"Car","defaultValue":false,"enabled":true}
              GroupBox {"caption":"Exit"}
                CheckBox AIX_REGION_EVENT_PERSON_EXIT# {"caption":"Person","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_BICYCLE_EXIT# {"caption":"Bicycle","defaultValue":false,"enabled":true}
                CheckBox AIX_REGION_EVENT_CAR_EXIT# {"caption":"Car","defaultValue":false,"enabled":true}
              GroupBox {"caption":"Loitering"}
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

TEST(SettingsModelTest, EveryElementStandsInTheDialogTreeWithItsKeys) {
    EXPECT_EQ(outline(Json::parse(settingsModel())), kOutline);
}

TEST(SettingsModelTest, ServerStoresEveryDefaultAsText) {
    const Defaults defaults = settingsModelDefaults(settingsModel());
    EXPECT_EQ(defaults.size(), 25u + 39u * 8u);
    EXPECT_EQ(defaults.count("AIX_LINE_CAR_ENABLE8") + defaults.count("AIX_LINE_CAR_ENABLE9") +
                  defaults.count("AIX_LINE_CAR_ENABLE0"),
              1u);
    const Defaults some = {
        {"AIX_OBJECT_DETECTION_SIZE", R"({"minimum":[0.006,0.01],"maximum":[1.0,1.0]})"},
        {"AIX_EXCLUDE_REGION_TYPE1", "Region"},
        {"AIX_REGION_POSITION8", R"({"figure":null,"label":"","showOnCamera":false})"},
        {"AIX_LINE_COUNTOSD_STRING2", "%L#%"},
    };
    for (const auto& [name, value] : some)
        EXPECT_EQ(defaults.count(name) ? defaults.at(name) : "missing", value) << name;
    const auto manifest = nlohmann::ordered_json::parse(engineManifest());
    EXPECT_EQ(settingsModelDefaults(manifest["deviceAgentSettingsModel"].dump()), defaults);
}

// Small models written for the case at hand.
std::string repeaterWith(const std::string& count, const std::string& item) {
    return R"({"type":"Settings","items":[{"type":"Repeater",)" + count +
           R"("template":{"type":"GroupBox","caption":"Slot #","items":[)" + item + "]}}]}";
}

TEST(ModelDefaultsTest, ValuesAreWrittenAsTextAndCopiesNumberedFromOne) {
    const std::pair<std::string, std::string> items[] = {
        {R"("type":"SpinBox","defaultValue":-20)", "-20"},
        {R"("type":"SpinBox","defaultValue":5.0)", "5"},
        {R"("type":"SpinBox","defaultValue":0.5)", "0.5"},
        {R"("type":"CheckBox","defaultValue":false)", "false"},
        {R"("type":"TextField","defaultValue":"%L#%")", "%L#%"},
        {R"("type":"TextField")", ""},
        {R"("type":"LineFigure","maxPoints":"8")",
         R"({"figure":null,"label":"","showOnCamera":false})"},
        {R"("type":"ObjectSizeConstraints","defaultValue":{"minimum":[0.25,0.5],"maximum":[1,1]})",
         R"({"minimum":[0.25,0.5],"maximum":[1,1]})"}};
    for (const auto& [item, stored] : items) {
        EXPECT_EQ(settingsModelDefaults(R"({"type":"Settings","sections":[{"type":"Section",)"
                                        R"("caption":"S","items":[{"name":"X",)" +
                                        item + "}]}]}"),
                  (Defaults{{"X", stored}}))
            << item;
    }
    const std::string item = R"({"type":"CheckBox","name":"A#_B#","defaultValue":true})";
    const auto twelve = settingsModelDefaults(repeaterWith(R"("count":"12",)", item));
    EXPECT_EQ(twelve.size(), 12u);
    EXPECT_EQ(twelve.count("A1_B1") + twelve.count("A12_B12") + twelve.count("A0_B0"), 2u);
    EXPECT_EQ(settingsModelDefaults(repeaterWith(R"("count":2,)", item)),
              (Defaults{{"A1_B1", "true"}, {"A2_B2", "true"}}));
    EXPECT_TRUE(settingsModelDefaults(repeaterWith(R"("count":"0",)", item)).empty());
}

TEST(ModelDefaultsTest, RejectsBadCountsRepeatedNamesAndTextThatIsNoJsonObject) {
    const std::string item = R"({"type":"CheckBox","name":"A#","defaultValue":false})";
    for (const char* count :
         {R"("count":"-1",)", R"("count":"two",)", R"("count":"",)", R"("count":"1.5",)",
          R"("count":2.5,)", R"("count":-3,)", R"("count":"99999999999",)", ""}) {
        EXPECT_THROW(settingsModelDefaults(repeaterWith(count, item)), std::invalid_argument)
            << count;
    }
    // A template item without its "#" would make every copy the same setting.
    EXPECT_THROW(settingsModelDefaults(repeaterWith(
                     R"("count":"2",)", R"({"type":"CheckBox","name":"A","defaultValue":false})")),
                 std::invalid_argument);
    for (const char* text : {"", "[]", "\"Settings\"", "{\"type\":", "not json"})
        EXPECT_THROW(settingsModelDefaults(text), std::invalid_argument) << text;
}

}  // namespace
}  // namespace qo::vms_server_plugins::analytics::lumo
