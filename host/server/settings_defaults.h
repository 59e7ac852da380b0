// Settings defaults: what the server puts into a device agent's settings before anyone changed
// them, read from the settings model the engine manifest declares under
// "deviceAgentSettingsModel".
//
// The reading itself is the plugin's own settingsModelDefaults, the one its tests use, so that
// the host, the plugin and the tests agree on what a fresh camera starts with: one text value per
// named item, repeaters expanded with "#" replaced by the copy's number from 1, figures as the
// empty figure.
//
// Threading: free functions without shared state.
#pragma once

#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace lumo::host {

/**
 * The settings model of an engine manifest; it may be given as an object or as the JSON text of
 * one. A manifest without a model gives a null model. @return False, with a one-line reason,
 * when the manifest or the model is not valid JSON.
 */
bool settingsModelFromEngineManifest(const std::string& engineManifest, nlohmann::json* outModel,
                                     std::string* outError);

/**
 * The starting value of every named item of the engine manifest's settings model, by name; none
 * for a manifest without a model. @return False, with a one-line reason, when the manifest is
 * not valid JSON or the model holds no defaults a server could keep.
 */
bool settingsDefaults(const std::string& engineManifest, std::map<std::string, std::string>* out,
                      std::string* outError);

}  // namespace lumo::host
