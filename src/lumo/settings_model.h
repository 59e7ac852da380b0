// The settings model of every device agent: the JSON description of the dialog that the server
// builds for each camera (sections, group boxes, the repeaters of regions, exclude regions and
// lines, and every named item with its caption, default and limits). The engine manifest carries
// it; the server keeps one text value per named item and hands the values to the device agent.
//
// Also the reading of a model's defaults the way the server stores them, which lets a host and
// the tests know the settings a fresh camera starts with.
//
// Everything here is pure and may run on any number of threads at once.
#pragma once

#include <map>
#include <string>

namespace qo::vms_server_plugins::analytics::lumo {

/**
 * Copies made of each repeater and the most points of a drawn figure: the camera keeps eight
 * regions, eight exclude regions and eight lines, each of at most eight points.
 */
inline constexpr int kRepeaterCount = 8;

/** The settings model, one JSON object of type "Settings". */
std::string settingsModel();

/**
 * Every named item of the model with its default value as the server stores it, as text:
 * booleans "true"/"false", whole numbers in decimal, texts as they are, objects and arrays as
 * compact JSON, and a figure without default as the empty figure
 * {"figure":null,"label":"","showOnCamera":false}. Repeaters are expanded: the template's items
 * appear once per copy with "#" in their names replaced by the copy's number, from 1.
 *
 * Throws std::invalid_argument for text that is not a JSON object, a repeater whose "count" is
 * not a non-negative whole number, or a name that occurs twice.
 */
std::map<std::string, std::string> settingsModelDefaults(const std::string& modelJson);

}  // namespace qo::vms_server_plugins::analytics::lumo
