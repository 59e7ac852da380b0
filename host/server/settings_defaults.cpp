#include "server/settings_defaults.h"

#include <exception>

#include "lumo/settings_model.h"

namespace lumo::host {

using nlohmann::json;

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

bool settingsDefaults(const std::string& engineManifest, std::map<std::string, std::string>* out,
                      std::string* outError) {
    // Kept in the manifest's own key order: an object's default is stored as its compact text.
    const auto manifest = nlohmann::ordered_json::parse(engineManifest, nullptr, false);
    if (manifest.is_discarded() || !manifest.is_object()) {
        *outError = "the engine manifest is not a JSON object";
        return false;
    }
    const auto model = manifest.find("deviceAgentSettingsModel");
    if (model == manifest.end()) {
        out->clear();
        return true;
    }
    try {
        *out = qo::vms_server_plugins::analytics::lumo::settingsModelDefaults(
            model->is_string() ? model->get<std::string>() : model->dump());
    } catch (const std::exception& e) {
        *outError = std::string("the engine manifest's deviceAgentSettingsModel: ") + e.what();
        return false;
    }
    return true;
}

}  // namespace lumo::host
