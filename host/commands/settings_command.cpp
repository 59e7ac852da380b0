#include "commands/settings_command.h"

#include <memory>

#include "commands/camera_check.h"
#include "commands/command_line.h"
#include "commands/option_reader.h"
#include "server/host_session.h"

namespace lumo::host {

namespace {

// Where lumo-camera listens when started without options.
constexpr const char* kDefaultCameraUrl = "http://127.0.0.2/";
constexpr const char* kDefaultLogin = "admin";
constexpr const char* kDefaultPassword = "admin";

/** @return Whether the readback should follow; *status holds the exit status so far. */
bool applyChanges(HostSession& session, const SettingsRequest& request,
                  const MediaServerOptions& options, std::ostream& err, int* status) {
    HostSession::CameraId camera = 0;
    *status = kExitFailure;
    if (!session.start(options) || !session.bind(request.device, &camera))
        return false;
    MediaServer& server = session.server();
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
    const ShutdownReport report = session.shutdown(request.writeWait);
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

int printDialog(HostSession& session, const SettingsRequest& request,
                const MediaServerOptions& options, std::ostream& out, std::ostream& err) {
    HostSession::CameraId camera = 0;
    if (!session.start(options) || !session.bind(request.device, &camera))
        return kExitFailure;
    const SettingsAnswer answer = session.server().pluginSideSettings(camera);
    if (!answer.ok) {
        err << "lumo-host: the plugin could not read the camera's settings: " << answer.error
            << std::endl;
        return kExitFailure;
    }
    for (const auto& [name, value] : session.server().cameraSettings(camera))
        out << name << '=' << value << '\n';
    out.flush();
    // A setting the camera did not give shows the dialog's own value; say which and why.
    for (const auto& [name, cause] : answer.errors)
        err << "lumo-host: " << name << " not read from the camera (" << cause
            << "): the value printed is the dialog's own" << std::endl;

    session.shutdown();
    return session.checkLeaks() ? kExitOk : kExitFailure;
}

}  // namespace

int runSettings(const SettingsRequest& request, std::ostream& out, std::ostream& err) {
    HostSession session(err);
    if (!session.load(request.pluginPath))
        return kExitFailure;
    const std::string error = checkCamera(cameraAddress(request.device.url), request.device.login,
                                          request.device.password);
    if (!error.empty()) {
        err << "lumo-host: " << error << std::endl;
        return kExitFailure;
    }

    MediaServerOptions options;
    options.unitTestOptions = request.unitTestOptions;
    int status = kExitOk;
    if (request.set && !applyChanges(session, request, options, err, &status))
        return status;
    const int printed = printDialog(session, request, options, out, err);
    return printed != kExitOk ? printed : status;
}

CLI::App* addSettingsCommand(CLI::App& root, SettingsOptions& options) {
    CLI::App* command = addCommand(root, "settings");
    SettingsRequest& request = options.request;
    request.device.url = kDefaultCameraUrl;
    request.device.login = kDefaultLogin;
    request.device.password = kDefaultPassword;
    for (const char* name : {"get", "set"}) {
        CLI::App* action = addCommand(*command, name);
        addValue(action, "--plugin", request.pluginPath);
        addValue(action, "--camera", request.device.url);
        addValue(action, "--login", request.device.login);
        addValue(action, "--password", request.device.password);
        if (action->get_name() == "set")
            action->add_option("changes", options.changes);
    }
    return command;
}

void checkSettingsCommand(const CLI::App& command, SettingsOptions& options) {
    const auto actions = command.get_subcommands();
    if (actions.empty())
        throw UsageError("settings needs get or set");
    SettingsRequest& request = options.request;
    request.set = actions.front()->get_name() == "set";
    for (const std::string& word : actions.front()->remaining()) {
        if (word.rfind("--", 0) == 0)
            throw UsageError("unknown option " + word);
        throw UsageError("settings get takes no " + word);
    }
    for (const std::string& change : options.changes) {
        const size_t equals = change.find('=');
        if (equals == std::string::npos || equals == 0)
            throw UsageError("settings set wants NAME=VALUE, not " + change);
        request.changes[change.substr(0, equals)] = change.substr(equals + 1);
    }
    if (request.set && request.changes.empty())
        throw UsageError("settings set needs at least one NAME=VALUE");
    if (cameraAddress(request.device.url).empty()) {
        throw UsageError("--camera " + request.device.url +
                         " holds no IPv4 address, which is what the plugin reaches the camera at");
    }
}

int runSettingsCommand(const SettingsOptions& options, std::ostream& out, std::ostream& err) {
    return runSettings(options.request, out, err);
}

}  // namespace lumo::host
