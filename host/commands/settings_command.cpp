#include "commands/settings_command.h"

#include <memory>

#include "commands/camera_check.h"
#include "commands/command_line.h"
#include "commands/command_options.h"
#include "server/media_server.h"
#include "server/plugin_library.h"

namespace lumo::host {

namespace {

// Where lumo-camera listens when started without options.
constexpr const char* kDefaultCameraUrl = "http://127.0.0.2/";
constexpr const char* kDefaultLogin = "admin";
constexpr const char* kDefaultPassword = "admin";

struct SettingsCommand {
    SettingsRequest request;
    bool help = false;
};

SettingsCommand parseSettingsArguments(const std::vector<std::string>& args) {
    SettingsCommand command;
    SettingsRequest& request = command.request;
    request.device.url = kDefaultCameraUrl;
    request.device.login = kDefaultLogin;
    request.device.password = kDefaultPassword;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            command.help = true;
            return command;
        }
    }
    if (args.size() < 2 || (args[1] != "get" && args[1] != "set"))
        throw UsageError("settings needs get or set");
    request.set = args[1] == "set";

    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) == 0) {
            if (arg != "--plugin" && arg != "--camera" && arg != "--login" && arg != "--password")
                throw UsageError("unknown option " + arg);
            if (i + 1 >= args.size())
                throw UsageError(arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--plugin")
                request.pluginPath = value;
            else if (arg == "--camera")
                request.device.url = value;
            else if (arg == "--login")
                request.device.login = value;
            else
                request.device.password = value;
            continue;
        }
        const size_t equals = arg.find('=');
        if (!request.set || equals == std::string::npos || equals == 0) {
            throw UsageError(request.set ? "settings set wants NAME=VALUE, not " + arg
                                         : "settings get takes no " + arg);
        }
        request.changes[arg.substr(0, equals)] = arg.substr(equals + 1);
    }
    if (request.set && request.changes.empty())
        throw UsageError("settings set needs at least one NAME=VALUE");
    if (cameraAddress(request.device.url).empty()) {
        throw UsageError("--camera " + request.device.url +
                         " holds no IPv4 address, which is what the plugin reaches the camera at");
    }
    if (request.pluginPath.empty())
        request.pluginPath = PluginLibrary::defaultPath();
    return command;
}

/** Starts the server and binds the camera; says why not on `err`. */
bool bindCamera(MediaServer& server, const SettingsRequest& request, MediaServer::CameraId* camera,
                std::ostream& err) {
    std::string error;
    if (!server.start(&error) || !server.addCamera(request.device, camera, &error)) {
        err << "lumo-host: " << error << std::endl;
        return false;
    }
    return true;
}

/** @return Whether the readback should follow; *status holds the exit status so far. */
bool applyChanges(const PluginLibrary& library, const SettingsRequest& request,
                  const MediaServerOptions& options, std::ostream& err, int* status) {
    MediaServer server(library.entryPoints(), options);
    MediaServer::CameraId camera = 0;
    *status = kExitFailure;
    if (!bindCamera(server, request, &camera, err))
        return false;
    for (const auto& [name, value] : request.changes) {
        if (server.settingsDefaults().count(name) == 0) {
            err << "lumo-host: the dialog has no setting " << name
                << ": lumo-host settings get lists them all" << std::endl;
            *status = kExitUsage;
            return false;
        }
    }

    SettingsAnswer answer = server.changeSettings(camera, request.changes);
    // After enabling object detection the plugin writes nothing more until the dialog is applied
    // again, as a user then does; with nothing left to write this second round writes nothing.
    if (answer.ok)
        answer = server.changeSettings(camera, {});
    if (!answer.ok) {
        err << "lumo-host: the plugin refused the settings: " << answer.error << std::endl;
        return false;
    }

    // The plugin's write threads and its hold-off keep the agent alive until they are over.
    const ShutdownReport report = server.shutdown(request.writeWait);
    *status = kExitOk;
    if (report.liveCount > 0) {
        err << "lumo-host: the plugin's writes to the camera at "
            << cameraAddress(request.device.url) << " did not end within "
            << request.writeWait.count() / 1000.0 << " s: the values below may not show them"
            << std::endl;
        *status = kExitFailure;
    }
    return true;
}

int printDialog(const PluginLibrary& library, const SettingsRequest& request,
                const MediaServerOptions& options, std::ostream& out, std::ostream& err) {
    MediaServer server(library.entryPoints(), options);
    MediaServer::CameraId camera = 0;
    if (!bindCamera(server, request, &camera, err))
        return kExitFailure;
    const SettingsAnswer answer = server.pluginSideSettings(camera);
    if (!answer.ok) {
        err << "lumo-host: the plugin could not read the camera's settings: " << answer.error
            << std::endl;
        return kExitFailure;
    }
    for (const auto& [name, value] : server.cameraSettings(camera))
        out << name << '=' << value << '\n';
    out.flush();
    // A setting the camera did not give shows the dialog's own value; say which and why.
    for (const auto& [name, cause] : answer.errors)
        err << "lumo-host: " << name << " not read from the camera (" << cause
            << "): the value printed is the dialog's own" << std::endl;

    const ShutdownReport report = server.shutdown();
    if (report.liveCount > 0) {
        err << "lumo-host: the plugin did not release " << report.describeLiveObjects()
            << std::endl;
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int runSettings(const SettingsRequest& request, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto library = PluginLibrary::load(request.pluginPath, &error);
    if (!library) {
        err << "lumo-host: " << error << std::endl;
        return kExitFailure;
    }
    error = checkCamera(cameraAddress(request.device.url), request.device.login,
                        request.device.password);
    if (!error.empty()) {
        err << "lumo-host: " << error << std::endl;
        return kExitFailure;
    }

    MediaServerOptions options;
    options.unitTestOptions = request.unitTestOptions;
    int status = kExitOk;
    if (request.set && !applyChanges(*library, request, options, err, &status))
        return status;
    const int printed = printDialog(*library, request, options, out, err);
    return printed != kExitOk ? printed : status;
}

int runSettingsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runCommand(args, out, err, parseSettingsArguments, [&](const SettingsCommand& command) {
        return runSettings(command.request, out, err);
    });
}

}  // namespace lumo::host
