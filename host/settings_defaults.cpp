#include "host/settings_defaults.h"

#include <algorithm>

namespace lumo::host {

namespace {

using nlohmann::json;

// More copies than any dialog shows; guards against a count that is a typo.
constexpr int kMaxRepeaterCount = 1000;

int repeaterCount(const json& element) {
    const auto count = element.find("count");
    if (count == element.end())
        return 0;
    int value = 0;
    if (count->is_number_integer()) {
        value = count->get<int>();
    } else if (count->is_string()) {
        try {
            value = std::stoi(count->get<std::string>());
        } catch (const std::exception&) {
            return 0;
        }
    }
    return std::clamp(value, 0, kMaxRepeaterCount);
}

std::string numberedName(std::string name, int copyNumber) {
    if (copyNumber <= 0)
        return name;
    const std::string number = std::to_string(copyNumber);
    for (size_t at = name.find('#'); at != std::string::npos;
         at = name.find('#', at + number.size()))
        name.replace(at, 1, number);
    return name;
}

void collectDefaults(const json& element, int copyNumber, std::map<std::string, std::string>* out) {
    if (!element.is_object())
        return;

    const auto type = element.find("type");
    if (type != element.end() && type->is_string() && *type == "Repeater") {
        const auto templateElement = element.find("template");
        if (templateElement == element.end())
            return;
        const int count = repeaterCount(element);
        for (int copy = 1; copy <= count; ++copy)
            collectDefaults(*templateElement, copy, out);
        return;
    }

    const auto name = element.find("name");
    const auto defaultValue = element.find("defaultValue");
    if (name != element.end() && name->is_string()) {
        (*out)[numberedName(name->get<std::string>(), copyNumber)] =
            defaultValue == element.end() ? std::string() : settingValueText(*defaultValue);
    }

    for (const char* children : {"items", "sections"}) {
        const auto list = element.find(children);
        if (list == element.end() || !list->is_array())
            continue;
        for (const json& child : *list)
            collectDefaults(child, copyNumber, out);
    }
}

}  // namespace

bool settingsModelFromEngineManifest(const std::string& engineManifest, nlohmann::json* outModel,
                                     std::string* outError) {
    const json manifest = json::parse(engineManifest, nullptr, /*allow_exceptions*/ false);
    if (manifest.is_discarded() || !manifest.is_object()) {
        *outError = "the engine manifest is not a JSON object";
        return false;
    }
    const auto model = manifest.find("deviceAgentSettingsModel");
    if (model == manifest.end()) {
        *outModel = json();
        return true;
    }
    if (model->is_string()) {
        json parsed = json::parse(model->get<std::string>(), nullptr, false);
        if (parsed.is_discarded() || !parsed.is_object()) {
            *outError = "the engine manifest's deviceAgentSettingsModel is not a JSON object";
            return false;
        }
        *outModel = std::move(parsed);
        return true;
    }
    if (!model->is_object()) {
        *outError = "the engine manifest's deviceAgentSettingsModel is not a JSON object";
        return false;
    }
    *outModel = *model;
    return true;
}

std::map<std::string, std::string> settingsDefaults(const nlohmann::json& model) {
    std::map<std::string, std::string> defaults;
    collectDefaults(model, 0, &defaults);
    return defaults;
}

std::string settingValueText(const nlohmann::json& value) {
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_boolean())
        return value.get<bool>() ? "true" : "false";
    return value.dump();
}

}  // namespace lumo::host
