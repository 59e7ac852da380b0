// The three manifests through which the integration introduces itself to the server: the plugin
// manifest (who the plugin is), the engine manifest (what the engine consumes and the settings
// model of every camera) and the device-agent manifest (the types an agent reports and their
// type library). All are fixed JSON texts; none depends on a camera.
//
// Everything here may run on any number of threads at once.
#pragma once

#include <string>

namespace qo::vms_server_plugins::analytics::lumo {

/** The integration's version, as the plugin manifest states it. */
inline constexpr char VERSION[] = "1.0.0";

/** The plugin manifest: id, name, description, version and vendor, ending in a line feed. */
std::string pluginManifest();

/**
 * The engine manifest: the metadata of the camera's secondary stream, and the settings model
 * under "deviceAgentSettingsModel".
 */
std::string engineManifest();

/**
 * The device-agent manifest: "supportedTypes" and "typeLibrary", ending in a line feed. Built
 * once, on first use, so it is safe to ask for from any static initialiser.
 */
const std::string& deviceAgentManifest();

}  // namespace qo::vms_server_plugins::analytics::lumo
