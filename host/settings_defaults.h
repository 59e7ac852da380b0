// Settings defaults: what the server puts into a device agent's settings before anyone changed
// them, read from the settings model the engine manifest declares under
// "deviceAgentSettingsModel".
//
// The server keeps one text value per named item. Repeaters are expanded as the server's dialog
// does: "count" copies of the template, with "#" in each item name replaced by the copy's number
// from 1. Items without "defaultValue" (the figures) start as the empty text.
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

/** The starting value of every named item of the model, by name. */
std::map<std::string, std::string> settingsDefaults(const nlohmann::json& model);

/** A default in the text form settings travel in: texts as they are, booleans "true"/"false",
 * numbers in decimal, objects and arrays as compact JSON. */
std::string settingValueText(const nlohmann::json& value);

}  // namespace lumo::host
