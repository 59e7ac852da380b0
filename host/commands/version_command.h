// `lumo-host version`: the plugin library's SDK version, the name this server gives its library
// context, and whether the library can create the plugin object.
//
// Threading: called from one thread.
#pragma once

#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

namespace lumo::host {

struct VersionOptions {
    std::string pluginPath;
};

CLI::App* addVersionCommand(CLI::App& root, VersionOptions& options);
int runVersion(const VersionOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lumo::host
