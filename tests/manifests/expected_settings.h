// The settings dialog every camera must get, item by item: each named element as it must stand
// in the model (JSON, compared exactly, so value types count) and the text the server stores as
// its default. Shared by the tests of the model and of the reading of its defaults.
#pragma once

#include <vector>

namespace lumo_test {

struct ExpectedItem {
    const char* element;
    const char* stored;
};

struct ExpectedTemplate {
    const char* caption;
    const char* filledCheckItem;
    std::vector<ExpectedItem> items;
};

inline const std::vector<ExpectedItem> kItemsOutsideRepeaters = {
    {R"j({"type":"SwitchButton","caption":"Enable","name":"AIX_OBJECT_DETECTION_ENABLE","description":"Object Detection Enable/Disable","defaultValue":true})j",
     "true"},
    {R"j({"type":"SpinBox","caption":"Delay Level<br>(-20 ~ +20)","name":"TS_CALIBRATION","defaultValue":0,"minValue":-20,"maxValue":20,"description":"Subtract(-): Display the box faster<br>Add(+): Display the box slower","isActive":true})j",
     "0"},
    {R"j({"type":"CheckBox","name":"AIX_PERSON_DETECTION_ENABLE","caption":"Detect","defaultValue":true})j",
     "true"},
    {R"j({"type":"ComboBox","name":"AIX_PERSON_DISPLAY_TYPE","caption":"Display Type","defaultValue":"1","range":["0","1"],"itemCaptions":{"0":"Off","1":"Class"}})j",
     "1"},
    {R"j({"type":"ComboBox","name":"AIX_PERSON_SENSITIVITY","caption":"Sensitivity","defaultValue":"0","range":["0","1","2","3"],"itemCaptions":{"0":"Ultra High","1":"High","2":"Middle","3":"Low"}})j",
     "0"},
    {R"j({"type":"CheckBox","name":"AIX_PERSON_SMARTOBJECT_ENABLE","caption":"Smart Shot","defaultValue":true})j",
     "true"},
    {R"j({"type":"CheckBox","name":"AIX_BICYCLE_DETECTION_ENABLE","caption":"Detect","defaultValue":true})j",
     "true"},
    {R"j({"type":"ComboBox","name":"AIX_BICYCLE_DISPLAY_TYPE","caption":"Display Type","defaultValue":"1","range":["0","1"],"itemCaptions":{"0":"Off","1":"Class"}})j",
     "1"},
    {R"j({"type":"ComboBox","name":"AIX_BICYCLE_SENSITIVITY","caption":"Sensitivity","defaultValue":"0","range":["0","1","2","3"],"itemCaptions":{"0":"Ultra High","1":"High","2":"Middle","3":"Low"}})j",
     "0"},
    {R"j({"type":"CheckBox","name":"AIX_BICYCLE_SMARTOBJECT_ENABLE","caption":"Smart Shot","defaultValue":true})j",
     "true"},
    {R"j({"type":"CheckBox","name":"AIX_CAR_DETECTION_ENABLE","caption":"Detect","defaultValue":true})j",
     "true"},
    {R"j({"type":"ComboBox","name":"AIX_CAR_DISPLAY_TYPE","caption":"Display Type","defaultValue":"1","range":["0","1"],"itemCaptions":{"0":"Off","1":"Class"}})j",
     "1"},
    {R"j({"type":"ComboBox","name":"AIX_CAR_SENSITIVITY","caption":"Sensitivity","defaultValue":"0","range":["0","1","2","3"],"itemCaptions":{"0":"Ultra High","1":"High","2":"Middle","3":"Low"}})j",
     "0"},
    {R"j({"type":"CheckBox","name":"AIX_CAR_SMARTOBJECT_ENABLE","caption":"Smart Shot","defaultValue":true})j",
     "true"},
    {R"j({"type":"ObjectSizeConstraints","name":"AIX_OBJECT_DETECTION_SIZE","caption":"Constraints","defaultValue":{"minimum":[0.006,0.01],"maximum":[1.0,1.0]}})j",
     R"({"minimum":[0.006,0.01],"maximum":[1.0,1.0]})"},
    {R"j({"type":"ComboBox","name":"HL_DURATION","caption":"Duration","defaultValue":"5","range":["0","1","5","10","30","60"],"itemCaptions":{"0":"Off","1":"1 sec","5":"5 sec","10":"10 sec","30":"30 sec","60":"60 sec"}})j",
     "5"},
    {R"j({"type":"CheckBox","name":"AIX_LINE_COUNT_RESET_ALL","caption":"All Lines Now","defaultValue":false})j",
     "false"},
    {R"j({"type":"CheckBox","name":"AIX_LINE_DAILYRESET_ENABLE","caption":"Daily","defaultValue":false,"enabled":true})j",
     "false"},
    {R"j({"type":"SpinBox","caption":"Hour","name":"AIX_LINE_DAILYRESET_HOUR","defaultValue":0,"minValue":0,"maxValue":23})j",
     "0"},
    {R"j({"type":"SpinBox","caption":"Minute","name":"AIX_LINE_DAILYRESET_MIN","defaultValue":0,"minValue":0,"maxValue":59})j",
     "0"},
    {R"j({"type":"ComboBox","name":"AIX_LINE_COUNTOSD_DISPLAY_TIME","caption":"Duration","defaultValue":"1","range":["1","5","10","30","60"],"itemCaptions":{"1":"1 sec","5":"5 sec","10":"10 sec","30":"30 sec","60":"60 sec"}})j",
     "1"},
    {R"j({"type":"CheckBox","name":"AIX_LINE_COUNTOSD_DISPLAY_ALLWAYS","caption":"Continuously","defaultValue":false,"enabled":true})j",
     "false"},
    {R"j({"type":"SwitchButton","caption":"Enable","name":"AIX_TAMPERING_ENABLE","description":"Tampering Enable/Disable","defaultValue":true})j",
     "true"},
    {R"j({"type":"ComboBox","name":"AIX_TAMPERING_SENSITIVITY","caption":"Sensitivity","defaultValue":"1","range":["0","1","2"],"itemCaptions":{"0":"High","1":"Middle","2":"Low"}})j",
     "1"},
    {R"j({"type":"ComboBox","name":"AIX_TAMPERING_DURATION","caption":"Duration","defaultValue":"3","range":["1","3","5","10"],"itemCaptions":{"1":"1 sec","3":"3 sec","5":"5 sec","10":"10 sec"}})j",
     "3"},
};

inline constexpr char kEmptyFigure[] = R"({"figure":null,"label":"","showOnCamera":false})";

// Templates in the order of their repeaters in the dialog.
inline const std::vector<ExpectedTemplate> kTemplates = {
    {"Exclude Region #",
     "AIX_EXCLUDE_REGION_POSITION#",
     {
         {R"j({"type":"CheckBox","name":"AIX_EXCLUDE_REGION_ENABLE#","caption":"Enable Exclude Region","defaultValue":false})j",
          "false"},
         {R"j({"type":"PolygonFigure","name":"AIX_EXCLUDE_REGION_POSITION#","caption":"Label","minPoints":4,"maxPoints":"8"})j",
          kEmptyFigure},
         {R"j({"type":"RadioButtonGroup","name":"AIX_EXCLUDE_REGION_TYPE#","defaultValue":"Region","range":["Region","Spot"]})j",
          "Region"},
         {R"j({"type":"CheckBox","name":"AIX_EXCLUDE_REGION_PERSON_ENABLE#","caption":"Person","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_EXCLUDE_REGION_BICYCLE_ENABLE#","caption":"Bicycle","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_EXCLUDE_REGION_CAR_ENABLE#","caption":"Car","defaultValue":false,"enabled":true})j",
          "false"},
     }},
    {"Region #",
     "AIX_REGION_POSITION#",
     {
         {R"j({"type":"CheckBox","name":"AIX_REGION_ENABLE#","caption":"Enable Region Events","defaultValue":false})j",
          "false"},
         {R"j({"type":"PolygonFigure","name":"AIX_REGION_POSITION#","caption":"Label","minPoints":4,"maxPoints":"8"})j",
          kEmptyFigure},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_PERSON_APPEAR#","caption":"Person","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_BICYCLE_APPEAR#","caption":"Bicycle","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_CAR_APPEAR#","caption":"Car","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_PERSON_STAY#","caption":"Person","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_BICYCLE_STAY#","caption":"Bicycle","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_CAR_STAY#","caption":"Car","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_PERSON_DIRECTION#","caption":"Person","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_BICYCLE_DIRECTION#","caption":"Bicycle","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_CAR_DIRECTION#","caption":"Car","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_PERSON_ENTER#","caption":"Person","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_BICYCLE_ENTER#","caption":"Bicycle","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_CAR_ENTER#","caption":"Car","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_PERSON_EXIT#","caption":"Person","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_BICYCLE_EXIT#","caption":"Bicycle","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_CAR_EXIT#","caption":"Car","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_REGION_EVENT_PERSON_LOITERING#","caption":"Person","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"SpinBox","caption":"Stay Duration (sec)","name":"AIX_REGION_EVENT_STAYDURATION#","defaultValue":1,"minValue":1,"maxValue":600})j",
          "1"},
         {R"j({"type":"SpinBox","caption":"Loitering Time (sec)","name":"AIX_REGION_EVENT_LOITERINGDURATION#","defaultValue":1,"minValue":1,"maxValue":600})j",
          "1"},
     }},
    {"Line #",
     "AIX_LINE_POSITION#",
     {
         {R"j({"type":"CheckBox","name":"AIX_LINE_ENABLE#","caption":"Enable Line Counting","defaultValue":false})j",
          "false"},
         {R"j({"type":"LineFigure","name":"AIX_LINE_POSITION#","caption":"Label","minPoints":2,"maxPoints":"8"})j",
          kEmptyFigure},
         {R"j({"type":"CheckBox","name":"AIX_LINE_PERSON_ENABLE#","caption":"Person","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_LINE_BICYCLE_ENABLE#","caption":"Bicycle","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_LINE_CAR_ENABLE#","caption":"Car","defaultValue":false,"enabled":true})j",
          "false"},
     }},
    {"Line #",
     "AIX_LINE_POSITION#",
     {
         {R"j({"type":"CheckBox","name":"AIX_LINE_COUNT_RESET#","caption":"Reset Count","defaultValue":false})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_LINE_COUNTOSD_DISPLAY_ENABLE#","caption":"Display String","defaultValue":false})j",
          "false"},
         {R"j({"type":"CheckBox","name":"AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE#","caption":"Display Event Type","defaultValue":false,"enabled":true})j",
          "false"},
         {R"j({"type":"TextField","name":"AIX_LINE_COUNTOSD_STRING#","caption":"OSD String","defaultValue":"%L#%"})j",
          "%L#%"},
         {R"j({"type":"SpinBox","caption":"X-Coords<br>(0 ~ 1000)","name":"AIX_LINE_COUNTOSD_X#","defaultValue":0,"minValue":0,"maxValue":1000})j",
          "0"},
         {R"j({"type":"SpinBox","caption":"Y-Coords<br>(0 ~ 1000)","name":"AIX_LINE_COUNTOSD_Y#","defaultValue":0,"minValue":0,"maxValue":1000})j",
          "0"},
         {R"j({"type":"SpinBox","caption":"Font Size<br>(12 ~ 84)","name":"AIX_LINE_COUNTOSD_FONTSIZE#","defaultValue":50,"minValue":12,"maxValue":84})j",
          "50"},
         {R"j({"type":"ComboBox","name":"AIX_LINE_COUNTOSD_COLOR#","caption":"Color","defaultValue":"0","range":["0","1","2","3","4","5","6","7","8","9"],"itemCaptions":{"0":"White","1":"Gray1","2":"Gray2","3":"Gray3","4":"Black","5":"Red","6":"Green","7":"Blue","8":"Yellow","9":"Orange"}})j",
          "0"},
     }},
};

}  // namespace lumo_test
