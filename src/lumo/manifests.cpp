#include "lumo/manifests.h"

#include <vector>

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

// The device-agent manifest is assembled from entries laid out as the server's own documents
// are: four spaces a level, one member or list entry a line, short entries kept on one line.

// What every object carries; the head and the vehicle type add nothing to it.
constexpr char kBaseObjectAttributes[] = R"json([
                    {"type": "Number", "name": "Object ID", "subtype": "integer"},
                    {"type": "Number", "name": "Likelihood"}
                ])json";

constexpr char kPersonAttributes[] = R"json([
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
                ])json";

constexpr char kVehicleAttributes[] = R"json([
                    {"type": "Number", "name": "Object ID", "subtype": "integer"},
                    {"type": "Number", "name": "Likelihood"},
                    {"type": "String", "name": "Vehicle Type"},
                    {"type": "Number", "name": "Type Likelihood"},
                    {"type": "Color", "name": "Color", "subtype": "qo.lumo.Color"},
                    {"type": "Number", "name": "Speed", "subtype": "integer"}
                ])json";

constexpr char kLineCountingAttributes[] = R"json([
                    {"type": "String", "name": "Video Source"},
                    {"type": "String", "name": "Rule"},
                    {"type": "Number", "name": "Count"}
                ])json";

constexpr char kBehaviorChangedAttributes[] = R"json([
                    {"type": "String", "name": "Video Source"},
                    {"type": "String", "name": "Rule"},
                    {"type": "Number", "name": "Object ID"},
                    {"type": "String", "name": "Class Type"},
                    {"type": "String", "name": "Actions"},
                    {"type": "String", "name": "States"}
                ])json";

constexpr char kTamperingAttributes[] = R"json([
                    {"type": "String", "name": "Source"},
                    {"type": "String", "name": "State"}
                ])json";

constexpr char kSettingChangedAttributes[] = R"json([
                    {"type": "String", "name": "Video Source Token"},
                    {"type": "String", "name": "Data"}
                ])json";

constexpr char kRegionEventAttributes[] = R"json([
                    {"type": "String", "name": "Key"},
                    {"type": "String", "name": "Value"}
                ])json";

constexpr char kEnumTypes[] = R"json([
            {"id": "qo.lumo.Gender", "name": "Gender", "items": ["Male", "Female"]},
            {"id": "qo.lumo.Bag", "name": "Bag", "items": ["Handbag", "Backpack"]}
        ])json";

constexpr char kColorTypes[] = R"json([
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
        ])json";

std::string quoted(const std::string& text) {
    return '"' + text + '"';
}

/** "key": value, the value given as JSON text. */
std::string member(const char* key, const std::string& value) {
    return quoted(key) + ": " + value;
}

/** The entries one a line at the given indent, separated by commas, in brackets or braces. */
std::string block(char open, const std::vector<std::string>& entries, const std::string& indent,
                  char close) {
    std::string text(1, open);
    text += '\n';
    for (size_t i = 0; i < entries.size(); ++i)
        text += indent + "    " + entries[i] + (i + 1 < entries.size() ? ",\n" : "\n");
    return text + indent + close;
}

constexpr char kEntryIndent[] = "            ";  // an entry of a type library list

std::string libraryEntry(const std::vector<std::string>& members) {
    return block('{', members, kEntryIndent, '}');
}

// A type the agent reports and the attributes it fills in: one line of "supportedTypes".
std::string supportedType(const char* key, const char* id, const std::string& attributes) {
    return "{" + member(key, quoted(id)) + ", " + member("attributes", attributes) + "}";
}

std::string supportedTypes() {
    const std::string vehicle = R"(["Object ID", "Color", "Speed"])";
    const std::string regionEvent = R"(["Key", "Value"])";
    const auto object = [](const char* id, const std::string& attributes) {
        return supportedType("objectTypeId", id, attributes);
    };
    const auto event = [](const char* id, const std::string& attributes) {
        return supportedType("eventTypeId", id, attributes);
    };
    return block('[',
                 {object(kObjectTypeHead, R"(["Object ID"])"),
                  object(kObjectTypeHuman, R"(["Object ID", "Gender", "Top Color", )"
                                           R"("Bottom Color", "Eyewear", "Mask", "Hat", )"
                                           R"("Helmet", "Bag"])"),
                  object(kObjectTypeCar, vehicle), object(kObjectTypeTruck, vehicle),
                  object(kObjectTypeBus, vehicle), object(kObjectTypeBicycle, vehicle),
                  object(kObjectTypeMotorcycle, vehicle),
                  event(kEventTypeLineCounting, R"(["Video Source", "Rule", "Count"])"),
                  event(kEventTypeTampering, R"(["Source", "State"])"),
                  event(kEventTypeSettingChanged, R"(["Video Source Token", "Data"])"),
                  event(kEventTypeGroup, regionEvent), event(kEventTypeAppear, regionEvent),
                  event(kEventTypeStay, regionEvent), event(kEventTypeDirection, regionEvent),
                  event(kEventTypeEnter, regionEvent), event(kEventTypeExit, regionEvent),
                  event(kEventTypeLoitering, regionEvent)},
                 "    ", ']');
}

std::string objectType(const char* id, const char* name, const char* icon, const char* attributes) {
    return libraryEntry({member("id", quoted(id)), member("name", quoted(name)),
                         member("icon", quoted(icon)), member("attributes", attributes)});
}

// Every vehicle kind derives from the vehicle type and carries the same attributes.
std::string vehicleType(const char* id, const char* name, const char* icon) {
    return libraryEntry({member("id", quoted(id)), member("name", quoted(name)),
                         member("icon", quoted(icon)), member("base", quoted(kObjectTypeVehicle)),
                         member("attributes", kVehicleAttributes)});
}

std::string objectTypes() {
    return block(
        '[',
        {objectType(kObjectTypeHead, "Head", "qo.base.face", kBaseObjectAttributes),
         objectType(kObjectTypeHuman, "Person", "qo.base.person", kPersonAttributes),
         objectType(kObjectTypeVehicle, "Vehicle", "qo.base.vehicle", kBaseObjectAttributes),
         vehicleType(kObjectTypeCar, "Car", "qo.base.car"),
         vehicleType(kObjectTypeTruck, "Truck", "qo.base.truck"),
         vehicleType(kObjectTypeBus, "Bus", "qo.base.bus"),
         vehicleType(kObjectTypeBicycle, "Bicycle", "qo.base.bike"),
         vehicleType(kObjectTypeMotorcycle, "Motorcycle", "qo.base.bike")},
        "        ", ']');
}

std::string eventType(const char* id, const char* name, const char* attributes) {
    return libraryEntry(
        {member("id", quoted(id)), member("name", quoted(name)), member("attributes", attributes)});
}

// The region events stand together in the dialog under one group.
std::string regionEventType(const char* id, const char* name) {
    return libraryEntry({member("id", quoted(id)), member("name", quoted(name)),
                         member("groupId", quoted(kEventTypeGroup)),
                         member("attributes", kRegionEventAttributes)});
}

std::string eventTypes() {
    return block(
        '[',
        {eventType(kEventTypeLineCounting, "Line Counting", kLineCountingAttributes),
         eventType(kEventTypeBehaviorChanged, "Behavior Changed", kBehaviorChangedAttributes),
         eventType(kEventTypeTampering, "Tampering", kTamperingAttributes),
         eventType(kEventTypeSettingChanged, "AI Settings Changed", kSettingChangedAttributes),
         regionEventType(kEventTypeAppear, "Appear"), regionEventType(kEventTypeStay, "Stay"),
         regionEventType(kEventTypeDirection, "Direction"),
         regionEventType(kEventTypeEnter, "Enter"), regionEventType(kEventTypeExit, "Exit"),
         regionEventType(kEventTypeLoitering, "Loitering")},
        "        ", ']');
}

std::string groups() {
    return block('[',
                 {"{" + member("id", quoted(kEventTypeGroup)) + ", " +
                  member("name", quoted("Region Events")) + "}"},
                 "        ", ']');
}

std::string typeLibrary() {
    return block('{',
                 {member("objectTypes", objectTypes()), member("eventTypes", eventTypes()),
                  member("groups", groups()), member("enumTypes", kEnumTypes),
                  member("colorTypes", kColorTypes)},
                 "    ", '}');
}

std::string buildDeviceAgentManifest() {
    return block('{',
                 {member("supportedTypes", supportedTypes()), member("typeLibrary", typeLibrary())},
                 "", '}') +
           "\n";
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
