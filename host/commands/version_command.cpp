#include "commands/version_command.h"

#include "commands/command_line.h"
#include "commands/option_reader.h"
#include "server/media_server.h"
#include "server/plugin_library.h"

namespace lumo::host {

CLI::App* addVersionCommand(CLI::App& root, VersionOptions& options) {
    CLI::App* command = addCommand(root, "version");
    addValue(command, "--plugin", options.pluginPath);
    return command;
}

int runVersion(const VersionOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto library = PluginLibrary::load(
        options.pluginPath.empty() ? PluginLibrary::defaultPath() : options.pluginPath, &error);
    if (!library) {
        err << "lumo-host: " << error << std::endl;
        return kExitFailure;
    }
    const PluginEntryPoints& entryPoints = library->entryPoints();
    const char* version = entryPoints.sdkVersion();
    const std::string name = libraryContextName(library->path());
    qo::sdk::ILibContext* const context = entryPoints.libContext();
    if (!context) {
        err << "lumo-host: qoLibContext() of " << library->path() << " returned null" << std::endl;
        return kExitFailure;
    }
    context->setName(name.c_str());

    out << "plugin library: " << library->path() << "\n"
        << "SDK version: " << (version ? version : "(null)") << "\n"
        << "library context name: " << name << "\n"
        << "createQoPlugin: "
        << (library->hasCreatePlugin() ? "exported"
                                       : "not exported (the plugin object cannot be created)")
        << std::endl;
    return kExitOk;
}

}  // namespace lumo::host
