#include "lumo/manifests.h"

#include <initializer_list>

#include "lumo/constants.h"
#include "lumo/settings_model.h"

namespace qo::vms_server_plugins::analytics::lumo {

namespace {

constexpr char kPluginManifestHead[] = R"json({
    "id": "qo.lumo",
    "name": "LUMO AI Camera Plugin",
    "description": "A plugin to support in-camera analytics for Lumovane IP cameras.",
    "version": ")json";

constexpr char kPluginManifestTail[] = R"json(",
    "vendor": "Lumovane"
}
)json";

constexpr char kEngineManifestHead[] = R"json({
    "streamTypeFilter": "metadata",
    "preferredStream": "secondary",
    "deviceAgentSettingsModel": )json";

constexpr char kEngineManifestTail[] = "\n}\n";

constexpr char kVehicleAttributes[] = R"json([
                    {"type": "Number", "name": "Object ID", "subtype": "integer"},
                    {"type": "Number", "name": "Likelihood"},
                    {"type": "String", "name": "Vehicle Type"},
                    {"type": "Number", "name": "Type Likelihood"},
                    {"type": "Color", "name": "Color", "subtype": "qo.lumo.Color"},
                    {"type": "Number", "name": "Speed", "subtype": "integer"}
                ])json";

constexpr char kRegionEventAttributes[] = R"json([
                    {"type": "String", "name": "Key"},
                    {"type": "String", "name": "Value"}
                ])json";

std::string concat(std::initializer_list<const char*> pieces) {
    std::string text;
    for (const char* piece : pieces)
        text += piece;
    return text;
}

std::string buildDeviceAgentManifest() {
    // clang-format off
    return concat({R"json({
    "supportedTypes": [
        {"objectTypeId": ")json", kObjectTypeHead, R"json(", "attributes": ["Object ID"]},
        {"objectTypeId": ")json", kObjectTypeHuman, R"json(", "attributes": ["Object ID", "Gender", "Top Color", "Bottom Color", "Eyewear", "Mask", "Hat", "Helmet", "Bag"]},
        {"objectTypeId": ")json", kObjectTypeCar, R"json(", "attributes": ["Object ID", "Color", "Speed"]},
        {"objectTypeId": ")json", kObjectTypeTruck, R"json(", "attributes": ["Object ID", "Color", "Speed"]},
        {"objectTypeId": ")json", kObjectTypeBus, R"json(", "attributes": ["Object ID", "Color", "Speed"]},
        {"objectTypeId": ")json", kObjectTypeBicycle, R"json(", "attributes": ["Object ID", "Color", "Speed"]},
        {"objectTypeId": ")json", kObjectTypeMotorcycle, R"json(", "attributes": ["Object ID", "Color", "Speed"]},
        {"eventTypeId": ")json", kEventTypeLineCounting, R"json(", "attributes": ["Video Source", "Rule", "Count"]},
        {"eventTypeId": ")json", kEventTypeTampering, R"json(", "attributes": ["Source", "State"]},
        {"eventTypeId": ")json", kEventTypeSettingChanged, R"json(", "attributes": ["Video Source Token", "Data"]},
        {"eventTypeId": ")json", kEventTypeGroup, R"json(", "attributes": ["Key", "Value"]},
        {"eventTypeId": ")json", kEventTypeAppear, R"json(", "attributes": ["Key", "Value"]},
        {"eventTypeId": ")json", kEventTypeStay, R"json(", "attributes": ["Key", "Value"]},
        {"eventTypeId": ")json", kEventTypeDirection, R"json(", "attributes": ["Key", "Value"]},
        {"eventTypeId": ")json", kEventTypeEnter, R"json(", "attributes": ["Key", "Value"]},
        {"eventTypeId": ")json", kEventTypeExit, R"json(", "attributes": ["Key", "Value"]},
        {"eventTypeId": ")json", kEventTypeLoitering, R"json(", "attributes": ["Key", "Value"]}
    ],
    "typeLibrary": {
        "objectTypes": [
            {
                "id": ")json", kObjectTypeHead, R"json(",
                "name": "Head",
                "icon": "qo.base.face",
                "attributes": [
                    {"type": "Number", "name": "Object ID", "subtype": "integer"},
                    {"type": "Number", "name": "Likelihood"}
                ]
            },
            {
                "id": ")json", kObjectTypeHuman, R"json(",
                "name": "Person",
                "icon": "qo.base.person",
                "attributes": [
                    {"type": "Number", "name": "Object ID", "subtype": "integer"},
                    {"type": "Number", "name": "Likelihood"},
                    {"type": "Enum", "name": "Gender", "subtype": "qo.lumo.Gender"},
                    {"type": "Color", "name": "Top Color", "subtype": "qo.lumo.Color"},
                    {"type": "Color", "name": "Top Color 2", "subtype": "qo.lumo.Color"},
                    {"type": "Color", "name": "Bottom Color", "subtype": "qo.lumo.Color"},
                    {"type": "Boolean", "name": "Eyewear"},
                    {"type": "Boolean", "name": "Mask"},
                    {"type": "Boolean", "name": "Hat"},
                    {"type": "Boolean", "name": "Helmet"},
                    {"type": "Enum", "name": "Bag", "subtype": "qo.lumo.Bag"},
                    {"type": "String", "name": "Behaviour"}
                ]
            },
            {
                "id": ")json", kObjectTypeVehicle, R"json(",
                "name": "Vehicle",
                "icon": "qo.base.vehicle",
                "attributes": [
                    {"type": "Number", "name": "Object ID", "subtype": "integer"},
                    {"type": "Number", "name": "Likelihood"}
                ]
            },
            {
                "id": ")json", kObjectTypeCar, R"json(",
                "name": "Car",
                "icon": "qo.base.car",
                "base": ")json", kObjectTypeVehicle, R"json(",
                "attributes": )json", kVehicleAttributes, R"json(
            },
            {
                "id": ")json", kObjectTypeTruck, R"json(",
                "name": "Truck",
                "icon": "qo.base.truck",
                "base": ")json", kObjectTypeVehicle, R"json(",
                "attributes": )json", kVehicleAttributes, R"json(
            },
            {
                "id": ")json", kObjectTypeBus, R"json(",
                "name": "Bus",
                "icon": "qo.base.bus",
                "base": ")json", kObjectTypeVehicle, R"json(",
                "attributes": )json", kVehicleAttributes, R"json(
            },
            {
                "id": ")json", kObjectTypeBicycle, R"json(",
                "name": "Bicycle",
                "icon": "qo.base.bike",
                "base": ")json", kObjectTypeVehicle, R"json(",
                "attributes": )json", kVehicleAttributes, R"json(
            },
            {
                "id": ")json", kObjectTypeMotorcycle, R"json(",
                "name": "Motorcycle",
                "icon": "qo.base.bike",
                "base": ")json", kObjectTypeVehicle, R"json(",
                "attributes": )json", kVehicleAttributes, R"json(
            }
        ],
        "eventTypes": [
            {
                "id": ")json", kEventTypeLineCounting, R"json(",
                "name": "Line Counting",
                "attributes": [
                    {"type": "String", "name": "Video Source"},
                    {"type": "String", "name": "Rule"},
                    {"type": "Number", "name": "Count"}
                ]
            },
            {
                "id": ")json", kEventTypeBehaviorChanged, R"json(",
                "name": "Behavior Changed",
                "attributes": [
                    {"type": "String", "name": "Video Source"},
                    {"type": "String", "name": "Rule"},
                    {"type": "Number", "name": "Object ID"},
                    {"type": "String", "name": "Class Type"},
                    {"type": "String", "name": "Actions"},
                    {"type": "String", "name": "States"}
                ]
            },
            {
                "id": ")json", kEventTypeTampering, R"json(",
                "name": "Tampering",
                "attributes": [
                    {"type": "String", "name": "Source"},
                    {"type": "String", "name": "State"}
                ]
            },
            {
                "id": ")json", kEventTypeSettingChanged, R"json(",
                "name": "AI Settings Changed",
                "attributes": [
                    {"type": "String", "name": "Video Source Token"},
                    {"type": "String", "name": "Data"}
                ]
            },
            {
                "id": ")json", kEventTypeAppear, R"json(",
                "name": "Appear",
                "groupId": ")json", kEventTypeGroup, R"json(",
                "attributes": )json", kRegionEventAttributes, R"json(
            },
            {
                "id": ")json", kEventTypeStay, R"json(",
                "name": "Stay",
                "groupId": ")json", kEventTypeGroup, R"json(",
                "attributes": )json", kRegionEventAttributes, R"json(
            },
            {
                "id": ")json", kEventTypeDirection, R"json(",
                "name": "Direction",
                "groupId": ")json", kEventTypeGroup, R"json(",
                "attributes": )json", kRegionEventAttributes, R"json(
            },
            {
                "id": ")json", kEventTypeEnter, R"json(",
                "name": "Enter",
                "groupId": ")json", kEventTypeGroup, R"json(",
                "attributes": )json", kRegionEventAttributes, R"json(
            },
            {
                "id": ")json", kEventTypeExit, R"json(",
                "name": "Exit",
                "groupId": ")json", kEventTypeGroup, R"json(",
                "attributes": )json", kRegionEventAttributes, R"json(
            },
            {
                "id": ")json", kEventTypeLoitering, R"json(",
                "name": "Loitering",
                "groupId": ")json", kEventTypeGroup, R"json(",
                "attributes": )json", kRegionEventAttributes, R"json(
            }
        ],
        "groups": [
            {"id": ")json", kEventTypeGroup, R"json(", "name": "Region Events"}
        ],
        "enumTypes": [
            {"id": "qo.lumo.Gender", "name": "Gender", "items": ["Male", "Female"]},
            {"id": "qo.lumo.Bag", "name": "Bag", "items": ["Handbag", "Backpack"]}
        ],
        "colorTypes": [
            {
                "id": "qo.lumo.Color",
                "name": "Color",
                "items": [
                    {"name": "Black", "rgb": "#000000"},
                    {"name": "Blue", "rgb": "#0000FF"},
                    {"name": "Brown", "rgb": "#A52A2A"},
                    {"name": "Cyan", "rgb": "#00FFFF"},
                    {"name": "Green", "rgb": "#008000"},
                    {"name": "Gray", "rgb": "#808080"},
                    {"name": "Orange", "rgb": "#FFA500"},
                    {"name": "Pink", "rgb": "#FFC0CB"},
                    {"name": "Purple", "rgb": "#800080"},
                    {"name": "Red", "rgb": "#FF0000"},
                    {"name": "White", "rgb": "#FFFFFF"}
                ]
            }
        ]
    }
}
)json"});
    // clang-format on
}

}  // namespace

std::string pluginManifest() {
    return std::string(kPluginManifestHead) + VERSION + kPluginManifestTail;
}

std::string engineManifest() {
    return kEngineManifestHead + settingsModel() + kEngineManifestTail;
}

const std::string& deviceAgentManifest() {
    // A function-local value rather than a namespace-level one: agents may be made, and the
    // manifest asked for, from static initialisers of other files.
    static const std::string devManifest = buildDeviceAgentManifest();
    return devManifest;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
