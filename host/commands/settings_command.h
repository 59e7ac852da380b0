// `lumo-host settings get|set`: the settings dialog of one camera as the plugin fills it from a
// real or substitute camera, and changes to it written to the camera through the plugin.
//
// get binds the camera as a server does (start-up; the default settings, which the plugin answers
// with a readback of the whole model), opens the dialog (the plugin-side settings) and prints what
// the dialog shows. set binds the camera, applies the changes as a user applies the dialog,
// releases the camera once the plugin's writes and its hold-off are over, and then prints what a
// freshly bound camera's dialog shows. Before the plugin starts, one authenticated read tells a
// camera that is not there from a login it refuses.
//
// Threading: called from one thread; the plugin and the camera check run on their own.
#pragma once

#include <chrono>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "server/device_info.h"

namespace lumo::host {

struct SettingsRequest {
    bool set = false;
    std::string pluginPath;
    DeviceDescription device;
    /** set: the values the user changes, by setting name. */
    std::map<std::string, std::string> changes;
    /** Handed to qoSetUnitTestOptions when not empty. */
    std::map<std::string, std::string> unitTestOptions;
    /** set: how long the plugin's writes may take before the readback goes ahead anyway. */
    std::chrono::milliseconds writeWait{30'000};
};

/** Runs the request: one NAME=VALUE line per setting to `out`, sorted by name; one-line errors to
 * `err`. @return The exit status. */
int runSettings(const SettingsRequest& request, std::ostream& out, std::ostream& err);

struct SettingsOptions {
    SettingsRequest request;
    /** set: NAME=VALUE words as given. */
    std::vector<std::string> changes;
};

CLI::App* addSettingsCommand(CLI::App& root, SettingsOptions& options);
/** Completes the request from the words read; throws a UsageError for what cannot run. */
void checkSettingsCommand(const CLI::App& command, SettingsOptions& options);
int runSettingsCommand(const SettingsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lumo::host
