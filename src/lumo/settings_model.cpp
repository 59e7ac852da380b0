#include "lumo/settings_model.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

namespace qo::vms_server_plugins::analytics::lumo {

namespace {

// The model in eight pieces; kRepeaterCount goes between each two of them: the "count" of the
// four repeaters and the "maxPoints" of the three drawn figures.

constexpr char kPieceObjectDetection[] = R"json({
    "type": "Settings",
    "items": [],
    "sections": [
        {
            "type": "Section",
            "caption": "Object Detection",
            "items": [
                {
                    "type": "SwitchButton",
                    "caption": "Enable",
                    "name": "AIX_OBJECT_DETECTION_ENABLE",
                    "description": "Object Detection Enable/Disable",
                    "defaultValue": true
                },
                {
                    "type": "GroupBox",
                    "caption": "Calibration",
                    "items": [
                        {
                            "type": "GroupBox",
                            "caption": "Box",
                            "items": [
                                {
                                    "type": "SpinBox",
                                    "caption": "Delay Level<br>(-20 ~ +20)",
                                    "name": "TS_CALIBRATION",
                                    "defaultValue": 0,
                                    "minValue": -20,
                                    "maxValue": 20,
                                    "description": "Subtract(-): Display the box faster<br>Add(+): Display the box slower",
                                    "isActive": true
                                }
                            ]
                        }
                    ]
                }
            ],
            "sections": [
                {
                    "type": "Section",
                    "caption": "Configuration",
                    "items": [
                        {
                            "type": "GroupBox",
                            "caption": "Configuration",
                            "items": [
                                {
                                    "type": "GroupBox",
                                    "caption": "Object",
                                    "items": [
                                        {
                                            "type": "GroupBox",
                                            "caption": "Person",
                                            "items": [
                                                {"type": "CheckBox", "name": "AIX_PERSON_DETECTION_ENABLE", "caption": "Detect", "defaultValue": true},
                                                {
                                                    "type": "ComboBox",
                                                    "name": "AIX_PERSON_DISPLAY_TYPE",
                                                    "caption": "Display Type",
                                                    "defaultValue": "1",
                                                    "range": ["0", "1"],
                                                    "itemCaptions": {"0": "Off", "1": "Class"}
                                                },
                                                {
                                                    "type": "ComboBox",
                                                    "name": "AIX_PERSON_SENSITIVITY",
                                                    "caption": "Sensitivity",
                                                    "defaultValue": "0",
                                                    "range": ["0", "1", "2", "3"],
                                                    "itemCaptions": {"0": "Ultra High", "1": "High", "2": "Middle", "3": "Low"}
                                                },
                                                {"type": "CheckBox", "name": "AIX_PERSON_SMARTOBJECT_ENABLE", "caption": "Smart Shot", "defaultValue": true}
                                            ]
                                        },
                                        {
                                            "type": "GroupBox",
                                            "caption": "Bicycle",
                                            "items": [
                                                {"type": "CheckBox", "name": "AIX_BICYCLE_DETECTION_ENABLE", "caption": "Detect", "defaultValue": true},
                                                {
                                                    "type": "ComboBox",
                                                    "name": "AIX_BICYCLE_DISPLAY_TYPE",
                                                    "caption": "Display Type",
                                                    "defaultValue": "1",
                                                    "range": ["0", "1"],
                                                    "itemCaptions": {"0": "Off", "1": "Class"}
                                                },
                                                {
                                                    "type": "ComboBox",
                                                    "name": "AIX_BICYCLE_SENSITIVITY",
                                                    "caption": "Sensitivity",
                                                    "defaultValue": "0",
                                                    "range": ["0", "1", "2", "3"],
                                                    "itemCaptions": {"0": "Ultra High", "1": "High", "2": "Middle", "3": "Low"}
                                                },
                                                {"type": "CheckBox", "name": "AIX_BICYCLE_SMARTOBJECT_ENABLE", "caption": "Smart Shot", "defaultValue": true}
                                            ]
                                        },
                                        {
                                            "type": "GroupBox",
                                            "caption": "Car",
                                            "items": [
                                                {"type": "CheckBox", "name": "AIX_CAR_DETECTION_ENABLE", "caption": "Detect", "defaultValue": true},
                                                {
                                                    "type": "ComboBox",
                                                    "name": "AIX_CAR_DISPLAY_TYPE",
                                                    "caption": "Display Type",
                                                    "defaultValue": "1",
                                                    "range": ["0", "1"],
                                                    "itemCaptions": {"0": "Off", "1": "Class"}
                                                },
                                                {
                                                    "type": "ComboBox",
                                                    "name": "AIX_CAR_SENSITIVITY",
                                                    "caption": "Sensitivity",
                                                    "defaultValue": "0",
                                                    "range": ["0", "1", "2", "3"],
                                                    "itemCaptions": {"0": "Ultra High", "1": "High", "2": "Middle", "3": "Low"}
                                                },
                                                {"type": "CheckBox", "name": "AIX_CAR_SMARTOBJECT_ENABLE", "caption": "Smart Shot", "defaultValue": true}
                                            ]
                                        },
                                        {
                                            "type": "GroupBox",
                                            "caption": "Size",
                                            "items": [
                                                {
                                                    "type": "ObjectSizeConstraints",
                                                    "name": "AIX_OBJECT_DETECTION_SIZE",
                                                    "caption": "Constraints",
                                                    "defaultValue": {"minimum": [0.006, 0.01], "maximum": [1.0, 1.0]}
                                                }
                                            ]
                                        }
                                    ]
                                }
                            ]
                        }
                    ]
                },
                {
                    "type": "Section",
                    "caption": "Exclude Regions",
                    "items": [
                        {
                            "type": "GroupBox",
                            "caption": "Exclude Regions",
                            "items": [
                                {
                                    "type": "Repeater",
                                    "count": ")json";

constexpr char kPieceExcludeRegionTemplate[] = R"json(",
                                    "template": {
                                        "type": "GroupBox",
                                        "caption": "Exclude Region #",
                                        "filledCheckItems": ["AIX_EXCLUDE_REGION_POSITION#"],
                                        "items": [
                                            {"type": "CheckBox", "name": "AIX_EXCLUDE_REGION_ENABLE#", "caption": "Enable Exclude Region", "defaultValue": false},
                                            {
                                                "type": "PolygonFigure",
                                                "name": "AIX_EXCLUDE_REGION_POSITION#",
                                                "caption": "Label",
                                                "minPoints": 4,
                                                "maxPoints": ")json";

constexpr char kPieceExcludeRegionRest[] = R"json("
                                            },
                                            {
                                                "type": "GroupBox",
                                                "caption": "Type",
                                                "items": [
                                                    {"type": "RadioButtonGroup", "name": "AIX_EXCLUDE_REGION_TYPE#", "defaultValue": "Region", "range": ["Region", "Spot"]}
                                                ]
                                            },
                                            {
                                                "type": "GroupBox",
                                                "caption": "Object",
                                                "items": [
                                                    {"type": "CheckBox", "name": "AIX_EXCLUDE_REGION_PERSON_ENABLE#", "caption": "Person", "defaultValue": false, "enabled": true},
                                                    {"type": "CheckBox", "name": "AIX_EXCLUDE_REGION_BICYCLE_ENABLE#", "caption": "Bicycle", "defaultValue": false, "enabled": true},
                                                    {"type": "CheckBox", "name": "AIX_EXCLUDE_REGION_CAR_ENABLE#", "caption": "Car", "defaultValue": false, "enabled": true}
                                                ]
                                            }
                                        ]
                                    }
                                }
                            ]
                        }
                    ]
                }
            ]
        },
        {
            "type": "Section",
            "caption": "Video Surveillance",
            "items": [
                {
                    "type": "GroupBox",
                    "caption": "Highlight Objects Triggered by Region Events",
                    "items": [
                        {
                            "type": "GroupBox",
                            "caption": "Display Time",
                            "items": [
                                {
                                    "type": "ComboBox",
                                    "name": "HL_DURATION",
                                    "caption": "Duration",
                                    "defaultValue": "5",
                                    "range": ["0", "1", "5", "10", "30", "60"],
                                    "itemCaptions": {"0": "Off", "1": "1 sec", "5": "5 sec", "10": "10 sec", "30": "30 sec", "60": "60 sec"}
                                }
                            ]
                        }
                    ]
                }
            ],
            "sections": [
                {
                    "type": "Section",
                    "caption": "Regions",
                    "items": [
                        {
                            "type": "GroupBox",
                            "caption": "Regions",
                            "items": [
                                {
                                    "type": "Repeater",
                                    "count": ")json";

constexpr char kPieceRegionTemplate[] = R"json(",
                                    "template": {
                                        "type": "GroupBox",
                                        "caption": "Region #",
                                        "filledCheckItems": ["AIX_REGION_POSITION#"],
                                        "items": [
                                            {"type": "CheckBox", "name": "AIX_REGION_ENABLE#", "caption": "Enable Region Events", "defaultValue": false},
                                            {
                                                "type": "PolygonFigure",
                                                "name": "AIX_REGION_POSITION#",
                                                "caption": "Label",
                                                "minPoints": 4,
                                                "maxPoints": ")json";

constexpr char kPieceRegionRest[] = R"json("
                                            },
                                            {
                                                "type": "GroupBox",
                                                "caption": "Events",
                                                "items": [
                                                    {
                                                        "type": "GroupBox",
                                                        "caption": "Appear",
                                                        "items": [
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_PERSON_APPEAR#", "caption": "Person", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_BICYCLE_APPEAR#", "caption": "Bicycle", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_CAR_APPEAR#", "caption": "Car", "defaultValue": false, "enabled": true}
                                                        ]
                                                    },
                                                    {
                                                        "type": "GroupBox",
                                                        "caption": "Stay",
                                                        "items": [
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_PERSON_STAY#", "caption": "Person", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_BICYCLE_STAY#", "caption": "Bicycle", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_CAR_STAY#", "caption": "Car", "defaultValue": false, "enabled": true}
                                                        ]
                                                    },
                                                    {
                                                        "type": "GroupBox",
                                                        "caption": "Direction",
                                                        "items": [
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_PERSON_DIRECTION#", "caption": "Person", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_BICYCLE_DIRECTION#", "caption": "Bicycle", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_CAR_DIRECTION#", "caption": "Car", "defaultValue": false, "enabled": true}
                                                        ]
                                                    },
                                                    {
                                                        "type": "GroupBox",
                                                        "caption": "Enter",
                                                        "items": [
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_PERSON_ENTER#", "caption": "Person", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_BICYCLE_ENTER#", "caption": "Bicycle", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_CAR_ENTER#", "caption": "Car", "defaultValue": false, "enabled": true}
                                                        ]
                                                    },
                                                    {
                                                        "type": "GroupBox",
                                                        "caption": "Exit",
                                                        "items": [
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_PERSON_EXIT#", "caption": "Person", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_BICYCLE_EXIT#", "caption": "Bicycle", "defaultValue": false, "enabled": true},
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_CAR_EXIT#", "caption": "Car", "defaultValue": false, "enabled": true}
                                                        ]
                                                    },
                                                    {
                                                        "type": "GroupBox",
                                                        "caption": "Loitering",
                                                        "items": [
                                                            {"type": "CheckBox", "name": "AIX_REGION_EVENT_PERSON_LOITERING#", "caption": "Person", "defaultValue": false, "enabled": true}
                                                        ]
                                                    },
                                                    {
                                                        "type": "SpinBox",
                                                        "caption": "Stay Duration (sec)",
                                                        "name": "AIX_REGION_EVENT_STAYDURATION#",
                                                        "defaultValue": 1,
                                                        "minValue": 1,
                                                        "maxValue": 600
                                                    },
                                                    {
                                                        "type": "SpinBox",
                                                        "caption": "Loitering Time (sec)",
                                                        "name": "AIX_REGION_EVENT_LOITERINGDURATION#",
                                                        "defaultValue": 1,
                                                        "minValue": 1,
                                                        "maxValue": 600
                                                    }
                                                ]
                                            }
                                        ]
                                    }
                                }
                            ]
                        }
                    ]
                },
                {
                    "type": "Section",
                    "caption": "Lines",
                    "items": [
                        {
                            "type": "GroupBox",
                            "caption": "Lines",
                            "items": [
                                {
                                    "type": "Repeater",
                                    "count": ")json";

constexpr char kPieceLineTemplate[] = R"json(",
                                    "template": {
                                        "type": "GroupBox",
                                        "caption": "Line #",
                                        "filledCheckItems": ["AIX_LINE_POSITION#"],
                                        "items": [
                                            {"type": "CheckBox", "name": "AIX_LINE_ENABLE#", "caption": "Enable Line Counting", "defaultValue": false},
                                            {
                                                "type": "LineFigure",
                                                "name": "AIX_LINE_POSITION#",
                                                "caption": "Label",
                                                "minPoints": 2,
                                                "maxPoints": ")json";

constexpr char kPieceLineRest[] = R"json("
                                            },
                                            {
                                                "type": "GroupBox",
                                                "caption": "Object",
                                                "items": [
                                                    {"type": "CheckBox", "name": "AIX_LINE_PERSON_ENABLE#", "caption": "Person", "defaultValue": false, "enabled": true},
                                                    {"type": "CheckBox", "name": "AIX_LINE_BICYCLE_ENABLE#", "caption": "Bicycle", "defaultValue": false, "enabled": true},
                                                    {"type": "CheckBox", "name": "AIX_LINE_CAR_ENABLE#", "caption": "Car", "defaultValue": false, "enabled": true}
                                                ]
                                            }
                                        ]
                                    }
                                }
                            ]
                        }
                    ],
                    "sections": [
                        {
                            "type": "Section",
                            "caption": "OSD Settings",
                            "items": [
                                {
                                    "type": "GroupBox",
                                    "caption": "OSD Settings",
                                    "items": [
                                        {
                                            "type": "GroupBox",
                                            "caption": "Reset Count",
                                            "items": [
                                                {"type": "CheckBox", "name": "AIX_LINE_COUNT_RESET_ALL", "caption": "All Lines Now", "defaultValue": false},
                                                {
                                                    "type": "GroupBox",
                                                    "caption": "Schedule",
                                                    "items": [
                                                        {"type": "CheckBox", "name": "AIX_LINE_DAILYRESET_ENABLE", "caption": "Daily", "defaultValue": false, "enabled": true},
                                                        {"type": "SpinBox", "caption": "Hour", "name": "AIX_LINE_DAILYRESET_HOUR", "defaultValue": 0, "minValue": 0, "maxValue": 23},
                                                        {"type": "SpinBox", "caption": "Minute", "name": "AIX_LINE_DAILYRESET_MIN", "defaultValue": 0, "minValue": 0, "maxValue": 59}
                                                    ]
                                                }
                                            ]
                                        },
                                        {
                                            "type": "GroupBox",
                                            "caption": "Display Time",
                                            "items": [
                                                {
                                                    "type": "ComboBox",
                                                    "name": "AIX_LINE_COUNTOSD_DISPLAY_TIME",
                                                    "caption": "Duration",
                                                    "defaultValue": "1",
                                                    "range": ["1", "5", "10", "30", "60"],
                                                    "itemCaptions": {"1": "1 sec", "5": "5 sec", "10": "10 sec", "30": "30 sec", "60": "60 sec"}
                                                },
                                                {"type": "CheckBox", "name": "AIX_LINE_COUNTOSD_DISPLAY_ALLWAYS", "caption": "Continuously", "defaultValue": false, "enabled": true}
                                            ]
                                        },
                                        {
                                            "type": "Repeater",
                                            "count": ")json";

constexpr char kPieceLineDisplayTemplate[] = R"json(",
                                            "template": {
                                                "type": "GroupBox",
                                                "caption": "Line #",
                                                "filledCheckItems": ["AIX_LINE_POSITION#"],
                                                "items": [
                                                    {"type": "CheckBox", "name": "AIX_LINE_COUNT_RESET#", "caption": "Reset Count", "defaultValue": false},
                                                    {"type": "CheckBox", "name": "AIX_LINE_COUNTOSD_DISPLAY_ENABLE#", "caption": "Display String", "defaultValue": false},
                                                    {"type": "CheckBox", "name": "AIX_LINE_COUNTOSD_DISPLAY_EVENT_TYPE#", "caption": "Display Event Type", "defaultValue": false, "enabled": true},
                                                    {"type": "TextField", "name": "AIX_LINE_COUNTOSD_STRING#", "caption": "OSD String", "defaultValue": "%L#%"},
                                                    {"type": "Banner", "icon": "info", "text": "%L#% : replaced by line count"},
                                                    {"type": "SpinBox", "caption": "X-Coords<br>(0 ~ 1000)", "name": "AIX_LINE_COUNTOSD_X#", "defaultValue": 0, "minValue": 0, "maxValue": 1000},
                                                    {"type": "SpinBox", "caption": "Y-Coords<br>(0 ~ 1000)", "name": "AIX_LINE_COUNTOSD_Y#", "defaultValue": 0, "minValue": 0, "maxValue": 1000},
                                                    {"type": "SpinBox", "caption": "Font Size<br>(12 ~ 84)", "name": "AIX_LINE_COUNTOSD_FONTSIZE#", "defaultValue": 50, "minValue": 12, "maxValue": 84},
                                                    {
                                                        "type": "ComboBox",
                                                        "name": "AIX_LINE_COUNTOSD_COLOR#",
                                                        "caption": "Color",
                                                        "defaultValue": "0",
                                                        "range": ["0", "1", "2", "3", "4", "5", "6", "7", "8", "9"],
                                                        "itemCaptions": {
                                                            "0": "White", "1": "Gray1", "2": "Gray2", "3": "Gray3", "4": "Black",
                                                            "5": "Red", "6": "Green", "7": "Blue", "8": "Yellow", "9": "Orange"
                                                        }
                                                    }
                                                ]
                                            }
                                        }
                                    ]
                                }
                            ]
                        }
                    ]
                }
            ]
        },
        {
            "type": "Section",
            "caption": "Tampering",
            "items": [
                {
                    "type": "SwitchButton",
                    "caption": "Enable",
                    "name": "AIX_TAMPERING_ENABLE",
                    "description": "Tampering Enable/Disable",
                    "defaultValue": true
                },
                {
                    "type": "GroupBox",
                    "caption": "Configuration",
                    "items": [
                        {
                            "type": "GroupBox",
                            "caption": "Tampering",
                            "items": [
                                {
                                    "type": "ComboBox",
                                    "name": "AIX_TAMPERING_SENSITIVITY",
                                    "caption": "Sensitivity",
                                    "defaultValue": "1",
                                    "range": ["0", "1", "2"],
                                    "itemCaptions": {"0": "High", "1": "Middle", "2": "Low"}
                                },
                                {
                                    "type": "ComboBox",
                                    "name": "AIX_TAMPERING_DURATION",
                                    "caption": "Duration",
                                    "defaultValue": "3",
                                    "range": ["1", "3", "5", "10"],
                                    "itemCaptions": {"1": "1 sec", "3": "3 sec", "5": "5 sec", "10": "10 sec"}
                                }
                            ]
                        }
                    ]
                }
            ]
        }
    ]
})json";

using Json = nlohmann::ordered_json;

// What the server stores for a figure that nobody has drawn yet.
constexpr char kEmptyFigure[] = R"({"figure":null,"label":"","showOnCamera":false})";

bool isFigure(const Json& element) {
    const auto type = element.find("type");
    return type != element.end() && type->is_string() &&
           (*type == "PolygonFigure" || *type == "LineFigure");
}

std::string defaultText(const Json& element) {
    const auto value = element.find("defaultValue");
    if (value == element.end())
        return isFigure(element) ? kEmptyFigure : "";
    if (value->is_boolean())
        return value->get<bool>() ? "true" : "false";
    if (value->is_string())
        return value->get<std::string>();
    if (value->is_number_integer())
        return value->dump();
    if (value->is_number_float()) {
        // A whole number written with a fraction ("5.0") is still stored as "5".
        const double number = value->get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9.0e15) {
            return std::to_string(static_cast<long long>(number));
        }
    }
    return value->dump();
}

int repeaterCount(const Json& repeater) {
    const auto count = repeater.find("count");
    if (count != repeater.end()) {
        if (count->is_number_unsigned() &&
            count->get<unsigned long long>() <=
                static_cast<unsigned long long>(std::numeric_limits<int>::max())) {
            return static_cast<int>(count->get<unsigned long long>());
        }
        if (count->is_string()) {
            const auto& text = count->get_ref<const std::string&>();
            if (!text.empty() && text.size() <= 9 &&
                text.find_first_not_of("0123456789") == std::string::npos) {
                return std::stoi(text);
            }
        }
    }
    throw std::invalid_argument("repeater count is not a whole number: " +
                                (count == repeater.end() ? std::string("none") : count->dump()));
}

std::string replaceMarks(std::string name, const std::string& number) {
    for (size_t pos = name.find('#'); pos != std::string::npos; pos = name.find('#', pos)) {
        name.replace(pos, 1, number);
        pos += number.size();
    }
    return name;
}

// The copy number is empty outside repeaters; inside, every "#" of a name becomes it.
void collectDefaults(const Json& element, const std::string& copyNumber,
                     std::map<std::string, std::string>& defaults) {
    if (element.is_array()) {
        for (const auto& child : element)
            collectDefaults(child, copyNumber, defaults);
        return;
    }
    if (!element.is_object())
        return;

    const auto type = element.find("type");
    if (type != element.end() && *type == "Repeater") {
        const int count = repeaterCount(element);
        const auto templ = element.find("template");
        if (templ == element.end())
            return;
        for (int copy = 1; copy <= count; ++copy)
            collectDefaults(*templ, std::to_string(copy), defaults);
        return;
    }

    const auto name = element.find("name");
    if (name != element.end() && name->is_string()) {
        std::string settingName = name->get<std::string>();
        if (!copyNumber.empty())
            settingName = replaceMarks(std::move(settingName), copyNumber);
        if (!defaults.emplace(settingName, defaultText(element)).second)
            throw std::invalid_argument("setting name occurs twice: " + settingName);
    }

    for (const char* key : {"items", "sections"}) {
        const auto children = element.find(key);
        if (children != element.end())
            collectDefaults(*children, copyNumber, defaults);
    }
}

}  // namespace

std::string settingsModel() {
    const std::string count = std::to_string(kRepeaterCount);
    std::string model;
    model.reserve(sizeof(kPieceObjectDetection) + sizeof(kPieceExcludeRegionTemplate) +
                  sizeof(kPieceExcludeRegionRest) + sizeof(kPieceRegionTemplate) +
                  sizeof(kPieceRegionRest) + sizeof(kPieceLineTemplate) + sizeof(kPieceLineRest) +
                  sizeof(kPieceLineDisplayTemplate) + 7 * count.size());
    model.append(kPieceObjectDetection).append(count);
    model.append(kPieceExcludeRegionTemplate).append(count);
    model.append(kPieceExcludeRegionRest).append(count);
    model.append(kPieceRegionTemplate).append(count);
    model.append(kPieceRegionRest).append(count);
    model.append(kPieceLineTemplate).append(count);
    model.append(kPieceLineRest).append(count);
    model.append(kPieceLineDisplayTemplate);
    return model;
}

std::map<std::string, std::string> settingsModelDefaults(const std::string& modelJson) {
    const Json model = Json::parse(modelJson, nullptr, /*allow_exceptions*/ false);
    if (!model.is_object())
        throw std::invalid_argument("settings model is not a JSON object");
    std::map<std::string, std::string> defaults;
    collectDefaults(model, "", defaults);
    return defaults;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
