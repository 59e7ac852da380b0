// MediaServer: the server's side of the plugin's life, from loading to shutdown, for one plugin
// and any number of cameras.
//
// start() runs the server's start-up: the SDK version, the library context's name, the object
// registry, createQoPlugin, the plugin manifest, the utility provider, the engine with its
// information, handler and manifest (whose settings model gives every camera its defaults).
// addCamera() binds a camera: the agent from the engine, its handler, its manifest, the needed
// metadata types and the default settings. Data packets, settings changes, plugin-side settings
// and active setting changes then go to a camera's agent; shutdown() finalises and releases
// agents, engine and plugin, and reports the plugin objects still alive.
//
// Every reference a result carries is released here; failures come back as one-line texts.
//
// Threading: driven from one thread, like a server's control thread. The handlers it installs
// take deliveries from the plugin's threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "qo/sdk/analytics/i_consuming_device_agent.h"
#include "qo/sdk/analytics/i_plugin.h"
#include "qo/sdk/ptr.h"
#include "server/device_agent_handler.h"
#include "server/device_info.h"
#include "server/engine_handler.h"
#include "server/object_registry.h"
#include "server/plugin_entry_points.h"

namespace lumo::host {

struct MediaServerOptions {
    /** Empty: derived from the library file name ("liblumo_analytics_plugin.so" ->
     * "lumo_analytics_plugin"). */
    std::string contextName;
    bool installRegistry = true;
    /** Handed to qoSetUnitTestOptions when not empty. */
    std::map<std::string, std::string> unitTestOptions;
    std::string engineId = "lumo-engine";
};

/** The answer to a settings call. */
struct SettingsAnswer {
    bool ok = false;
    std::string error;  // Empty when ok.
    bool hasResponse = false;
    std::map<std::string, std::string> values;
    std::map<std::string, std::string> errors;
    bool hasModel = false;
    std::string model;
};

/** What shutdown leaves behind. */
struct ShutdownReport {
    bool registryInstalled = false;
    /** Plugin objects still alive, by class; empty when everything was released. */
    std::map<std::string, int> liveObjects;
    int liveCount = 0;

    /** "none", or "N (Class: n, ...)". */
    std::string describeLiveObjects() const;
};

class MediaServer {
public:
    using CameraId = size_t;

    explicit MediaServer(PluginEntryPoints entryPoints, MediaServerOptions options = {});
    ~MediaServer();

    MediaServer(const MediaServer&) = delete;
    MediaServer& operator=(const MediaServer&) = delete;

    /** The start-up sequence; on failure releases what it obtained. */
    bool start(std::string* outError);
    bool isRunning() const { return m_plugin != nullptr; }

    const std::string& sdkVersion() const { return m_sdkVersion; }
    const std::string& contextName() const { return m_contextName; }
    const std::string& pluginManifest() const { return m_pluginManifest; }
    const std::string& engineManifest() const { return m_engineManifest; }
    const nlohmann::json& settingsModel() const { return m_settingsModel; }
    const std::map<std::string, std::string>& settingsDefaults() const {
        return m_settingsDefaults;
    }
    /** Null unless a registry was installed. */
    ObjectRegistry* registry() const { return m_registry; }
    /** Null before start() and after shutdown(). */
    EngineHandler* engineHandler() const { return m_engineHandler.get(); }

    /**
     * Binds a camera to the plugin. With sendDefaultSettings the agent gets the model's defaults,
     * as a newly bound camera does. @return Whether the camera was bound; *outCamera names it.
     */
    bool addCamera(const DeviceDescription& description, CameraId* outCamera, std::string* outError,
                   bool sendDefaultSettings = true);
    /** Unbinds a camera as a server does when the user removes it: finalize(), then the last
     * reference. Its id is not given again. */
    void removeCamera(CameraId camera);
    /** Cameras bound so far, removed ones included. */
    size_t cameraCount() const { return m_cameras.size(); }

    // Cameras are valid from addCamera() until removeCamera() or shutdown().
    const std::string& agentManifest(CameraId camera) const;
    DeviceAgentHandler& agentHandler(CameraId camera) const;
    /** The values the server's dialog holds for the camera. */
    const std::map<std::string, std::string>& cameraSettings(CameraId camera) const;

    bool pushMetadata(CameraId camera, std::string document, int64_t timestampUs,
                      std::string* outError);
    bool pushVideoFrame(CameraId camera, int32_t width, int32_t height, int64_t timestampUs,
                        std::string* outError, const std::string& codec = "H264");

    /** The user changes values: the dialog's values with the changes go to the agent, and the
     * values the agent answers replace what the dialog shows. */
    SettingsAnswer changeSettings(CameraId camera,
                                  const std::map<std::string, std::string>& changes);
    /** The dialog opens: the agent's values replace what the dialog shows. */
    SettingsAnswer pluginSideSettings(CameraId camera);
    /** The user turns an active setting; the dialog keeps the new value. */
    SettingsAnswer activeSettingChange(CameraId camera, const std::string& name,
                                       const std::string& value);

    /**
     * Finalises and releases every agent, then the engine and the plugin; waits up to
     * `settleTime` for plugin objects still held by the plugin's own threads to go. The registry
     * belongs to the loaded library, so the report covers every server of this process on it.
     */
    ShutdownReport shutdown(std::chrono::milliseconds settleTime = std::chrono::milliseconds(1000));

private:
    struct Camera {
        qo::sdk::Ptr<DeviceInfo> deviceInfo;
        qo::sdk::Ptr<DeviceAgentHandler> handler;
        qo::sdk::Ptr<qo::sdk::analytics::IDeviceAgent> agent;
        qo::sdk::Ptr<qo::sdk::analytics::IConsumingDeviceAgent0> consumingAgent;
        std::string manifest;
        std::map<std::string, std::string> settings;
    };

    Camera& camera(CameraId id) const;
    SettingsAnswer sendSettings(Camera& camera, const std::map<std::string, std::string>& values);
    void releaseAll();

    const PluginEntryPoints m_entryPoints;
    const MediaServerOptions m_options;

    std::string m_sdkVersion;
    std::string m_contextName;
    std::string m_pluginManifest;
    std::string m_engineManifest;
    nlohmann::json m_settingsModel;
    std::map<std::string, std::string> m_settingsDefaults;
    ObjectRegistry* m_registry = nullptr;  // Owned by the plugin's library context.

    qo::sdk::Ptr<qo::sdk::analytics::IPlugin> m_plugin;
    qo::sdk::Ptr<qo::sdk::analytics::IEngine> m_engine;
    qo::sdk::Ptr<EngineHandler> m_engineHandler;
    std::vector<std::unique_ptr<Camera>> m_cameras;  // Null where a camera was removed.
};

}  // namespace lumo::host
