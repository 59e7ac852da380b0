#include "server/media_server.h"

#include <stdexcept>

#include "qo/sdk/helpers/string_map.h"
#include "server/active_setting_changed_action.h"
#include "server/compressed_video_packet.h"
#include "server/custom_metadata_packet.h"
#include "server/engine_info.h"
#include "server/metadata_types.h"
#include "server/plugin_library.h"
#include "server/result_records.h"
#include "server/settings_defaults.h"
#include "server/utility_provider.h"

namespace lumo::host {

using qo::sdk::makePtr;
using qo::sdk::Ptr;
using qo::sdk::queryInterfacePtr;
using qo::sdk::Result;
using namespace qo::sdk::analytics;

namespace {

/** Takes a manifest result apart. @return Empty, or why there is no manifest. */
std::string takeManifest(Result<const qo::sdk::IString*>* result, std::string* outText) {
    const std::string error = takeError(&result->error);
    const Ptr<const qo::sdk::IString> text = takeValue(result);
    if (!error.empty())
        return error;
    if (!text)
        return "no manifest";
    *outText = text->str() ? text->str() : "";
    return "";
}

SettingsAnswer takeSettingsAnswer(Result<const qo::sdk::ISettingsResponse*>* result) {
    SettingsAnswer answer;
    answer.error = takeError(&result->error);
    const Ptr<const qo::sdk::ISettingsResponse> response = takeValue(result);
    answer.ok = answer.error.empty();
    answer.hasResponse = response != nullptr;
    SettingsResponseContents contents = readSettingsResponse(response.get());
    answer.values = std::move(contents.values);
    answer.errors = std::move(contents.errors);
    answer.hasModel = contents.hasModel;
    answer.model = std::move(contents.model);
    return answer;
}

void showValues(const SettingsAnswer& answer, std::map<std::string, std::string>* dialog) {
    for (const auto& [name, value] : answer.values)
        (*dialog)[name] = value;
}

}  // namespace

std::string ShutdownReport::describeLiveObjects() const {
    if (liveCount == 0)
        return "none";
    std::string text = std::to_string(liveCount) + " (";
    bool first = true;
    for (const auto& [className, count] : liveObjects) {
        text += (first ? "" : ", ") + className + ": " + std::to_string(count);
        first = false;
    }
    return text + ")";
}

MediaServer::MediaServer(PluginEntryPoints entryPoints, MediaServerOptions options)
    : m_entryPoints(std::move(entryPoints)), m_options(std::move(options)) {}

MediaServer::~MediaServer() {
    releaseAll();
}

bool MediaServer::start(std::string* outError) {
    if (m_plugin) {
        *outError = "the server is already running";
        return false;
    }
    const auto fail = [this, outError](std::string message) {
        releaseAll();
        *outError = std::move(message);
        return false;
    };
    const std::string& path = m_entryPoints.libraryPath;
    if (!m_entryPoints.sdkVersion || !m_entryPoints.libContext)
        return fail(path + " lacks the library entry points");

    const char* version = m_entryPoints.sdkVersion();
    m_sdkVersion = version ? version : "";

    qo::sdk::ILibContext* const context = m_entryPoints.libContext();
    if (!context)
        return fail("qoLibContext() of " + path + " returned null");
    m_contextName =
        m_options.contextName.empty() ? libraryContextName(path) : m_options.contextName;
    context->setName(m_contextName.c_str());
    if (m_options.installRegistry)
        m_registry = ObjectRegistry::installInto(context);
    if (!m_options.unitTestOptions.empty() && m_entryPoints.setUnitTestOptions) {
        const auto options = makePtr<qo::sdk::StringMap>(m_options.unitTestOptions);
        m_entryPoints.setUnitTestOptions(options.get());
    }

    if (!m_entryPoints.createPlugin) {
        return fail(
            path +
            " does not export createQoPlugin: the plugin object cannot be created (only its "
            "version and library context are available)");
    }
    {
        const Ptr<qo::sdk::IPlugin> plugin(m_entryPoints.createPlugin());
        if (!plugin)
            return fail("createQoPlugin() returned null");
        m_plugin = queryInterfacePtr<IPlugin>(plugin);
    }
    if (!m_plugin)
        return fail("the object createQoPlugin() returned is not an analytics plugin");

    Result<const qo::sdk::IString*> pluginManifest;
    m_plugin->getManifest(&pluginManifest);
    if (const std::string error = takeManifest(&pluginManifest, &m_pluginManifest); !error.empty())
        return fail("plugin manifest: " + error);

    m_plugin->setUtilityProvider(makePtr<UtilityProvider>().get());

    Result<IEngine*> engine;
    m_plugin->doCreateEngine(&engine);
    const std::string engineError = takeError(&engine.error);
    m_engine = takeValue(&engine);
    if (!engineError.empty())
        return fail("doCreateEngine: " + engineError);
    if (!m_engine)
        return fail("doCreateEngine gave no engine");

    m_engine->setEngineInfo(makePtr<EngineInfo>(m_options.engineId).get());
    m_engineHandler = makePtr<EngineHandler>();
    m_engine->setHandler(m_engineHandler.get());

    Result<const qo::sdk::IString*> engineManifest;
    m_engine->getManifest(&engineManifest);
    if (const std::string error = takeManifest(&engineManifest, &m_engineManifest); !error.empty())
        return fail("engine manifest: " + error);
    std::string modelError;
    if (!settingsModelFromEngineManifest(m_engineManifest, &m_settingsModel, &modelError))
        return fail(modelError);
    if (!lumo::host::settingsDefaults(m_engineManifest, &m_settingsDefaults, &modelError))
        return fail(modelError);
    return true;
}

bool MediaServer::addCamera(const DeviceDescription& description, CameraId* outCamera,
                            std::string* outError, bool sendDefaultSettings) {
    if (!m_engine) {
        *outError = "the server is not running";
        return false;
    }
    auto camera = std::make_unique<Camera>();
    camera->deviceInfo = makePtr<DeviceInfo>(description);
    camera->handler = makePtr<DeviceAgentHandler>();
    const std::string prefix = "camera " + description.id + ": ";

    if (!m_engine->isCompatible(camera->deviceInfo.get())) {
        *outError = prefix + "the engine does not take this camera";
        return false;
    }
    Result<IDeviceAgent*> agent;
    m_engine->doObtainDeviceAgent(&agent, camera->deviceInfo.get());
    const std::string agentError = takeError(&agent.error);
    camera->agent = takeValue(&agent);
    if (!agentError.empty() || !camera->agent) {
        *outError =
            prefix + "doObtainDeviceAgent: " + (agentError.empty() ? "no agent" : agentError);
        return false;
    }
    camera->consumingAgent = queryInterfacePtr<IConsumingDeviceAgent0>(camera->agent);
    if (!camera->consumingAgent) {
        *outError = prefix + "the device agent takes no data packets";
        return false;
    }

    camera->agent->setHandler(camera->handler.get());

    Result<const qo::sdk::IString*> manifest;
    camera->agent->getManifest(&manifest);
    if (const std::string error = takeManifest(&manifest, &camera->manifest); !error.empty()) {
        *outError = prefix + "device agent manifest: " + error;
        return false;
    }

    Result<void> needed;
    camera->agent->doSetNeededMetadataTypes(&needed, makePtr<MetadataTypes>().get());
    if (const std::string error = takeError(&needed.error); !error.empty()) {
        *outError = prefix + "doSetNeededMetadataTypes: " + error;
        return false;
    }

    camera->settings = m_settingsDefaults;
    if (sendDefaultSettings) {
        const SettingsAnswer answer = sendSettings(*camera, camera->settings);
        if (!answer.ok) {
            *outError = prefix + "doSetSettings: " + answer.error;
            return false;
        }
        showValues(answer, &camera->settings);
    }

    *outCamera = m_cameras.size();
    m_cameras.push_back(std::move(camera));
    return true;
}

void MediaServer::removeCamera(CameraId id) {
    Camera& cam = camera(id);
    if (const auto agent = queryInterfacePtr<IConsumingDeviceAgent1>(cam.agent))
        agent->finalize();
    cam.consumingAgent.reset();
    cam.agent.reset();
    cam.handler->takePackets();
    m_cameras[id].reset();
}

MediaServer::Camera& MediaServer::camera(CameraId id) const {
    if (id >= m_cameras.size() || !m_cameras[id])
        throw std::out_of_range("no camera " + std::to_string(id));
    return *m_cameras[id];
}

const std::string& MediaServer::agentManifest(CameraId id) const {
    return camera(id).manifest;
}

DeviceAgentHandler& MediaServer::agentHandler(CameraId id) const {
    return *camera(id).handler;
}

const std::map<std::string, std::string>& MediaServer::cameraSettings(CameraId id) const {
    return camera(id).settings;
}

bool MediaServer::pushMetadata(CameraId id, std::string document, int64_t timestampUs,
                               std::string* outError) {
    const auto packet = makePtr<CustomMetadataPacket>(std::move(document), timestampUs);
    Result<void> result;
    camera(id).consumingAgent->doPushDataPacket(&result, packet.get());
    *outError = takeError(&result.error);
    return outError->empty();
}

bool MediaServer::pushVideoFrame(CameraId id, int32_t width, int32_t height, int64_t timestampUs,
                                 std::string* outError, const std::string& codec) {
    const auto packet = makePtr<CompressedVideoPacket>(width, height, timestampUs, codec);
    Result<void> result;
    camera(id).consumingAgent->doPushDataPacket(&result, packet.get());
    *outError = takeError(&result.error);
    return outError->empty();
}

SettingsAnswer MediaServer::sendSettings(Camera& camera,
                                         const std::map<std::string, std::string>& values) {
    const auto map = makePtr<qo::sdk::StringMap>(values);
    Result<const qo::sdk::ISettingsResponse*> result;
    camera.agent->doSetSettings(&result, map.get());
    return takeSettingsAnswer(&result);
}

SettingsAnswer MediaServer::changeSettings(CameraId id,
                                           const std::map<std::string, std::string>& changes) {
    Camera& cam = camera(id);
    for (const auto& [name, value] : changes)
        cam.settings[name] = value;
    SettingsAnswer answer = sendSettings(cam, cam.settings);
    if (answer.ok)
        showValues(answer, &cam.settings);
    return answer;
}

SettingsAnswer MediaServer::pluginSideSettings(CameraId id) {
    Camera& cam = camera(id);
    Result<const qo::sdk::ISettingsResponse*> result;
    cam.agent->getPluginSideSettings(&result);
    SettingsAnswer answer = takeSettingsAnswer(&result);
    if (answer.ok)
        showValues(answer, &cam.settings);
    return answer;
}

SettingsAnswer MediaServer::activeSettingChange(CameraId id, const std::string& name,
                                                const std::string& value) {
    Camera& cam = camera(id);
    SettingsAnswer answer;
    const auto agent = queryInterfacePtr<IConsumingDeviceAgent>(cam.agent);
    if (!agent) {
        answer.error = "the device agent takes no active setting changes";
        return answer;
    }
    std::map<std::string, std::string> values = cam.settings;
    values[name] = value;
    const auto action = makePtr<ActiveSettingChangedAction>(name, m_settingsModel.dump(), values);

    Result<const IActiveSettingChangedResponse*> result;
    agent->doGetSettingsOnActiveSettingChange(&result, action.get());
    answer.error = takeError(&result.error);
    const Ptr<const IActiveSettingChangedResponse> response = takeValue(&result);
    answer.ok = answer.error.empty();
    answer.hasResponse = response != nullptr;
    if (response) {
        const Ptr<const qo::sdk::ISettingsResponse> settings(response->settingsResponse());
        SettingsResponseContents contents = readSettingsResponse(settings.get());
        answer.values = std::move(contents.values);
        answer.errors = std::move(contents.errors);
        answer.hasModel = contents.hasModel;
        answer.model = std::move(contents.model);
    }
    cam.settings = std::move(values);
    if (answer.ok)
        showValues(answer, &cam.settings);
    return answer;
}

void MediaServer::releaseAll() {
    for (const auto& cam : m_cameras) {
        if (!cam)
            continue;
        if (const auto agent = queryInterfacePtr<IConsumingDeviceAgent1>(cam->agent))
            agent->finalize();
    }
    for (const auto& cam : m_cameras) {
        if (!cam)
            continue;
        cam->consumingAgent.reset();
        cam->agent.reset();           // The agent's destructor lets its queued work finish.
        cam->handler->takePackets();  // Including what that work delivered.
    }
    m_cameras.clear();
    m_engine.reset();
    m_plugin.reset();
    m_engineHandler.reset();
}

ShutdownReport MediaServer::shutdown(std::chrono::milliseconds settleTime) {
    releaseAll();
    ShutdownReport report;
    report.registryInstalled = m_registry != nullptr;
    if (m_registry) {
        m_registry->waitUntilNoLiveObjects(settleTime);
        report.liveObjects = m_registry->liveObjects();
        for (const auto& [className, count] : report.liveObjects)
            report.liveCount += count;
    }
    return report;
}

}  // namespace lumo::host
