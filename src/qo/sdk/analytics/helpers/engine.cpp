#include "qo/sdk/analytics/helpers/engine.h"

#include <exception>
#include <sstream>
#include <utility>

#include "qo/kit/utils.h"
#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/plugin_diagnostic_event.h"
#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/uuid_helper.h"

namespace qo::sdk::analytics {

namespace {

std::string textOrEmpty(const char* text) {
    return text ? text : "";
}

}  // namespace

Engine::Engine(bool enableOutput, std::string printPrefix)
    : m_log(enableOutput, makePrintPrefix(printPrefix, nullptr)),
      m_overridingPrintPrefix(std::move(printPrefix)) {
    printLine("Created IEngine @" + kit::utils::toString(static_cast<const void*>(this)) + " of " +
              libContext().name());
}

Engine::~Engine() {
    std::ostringstream address;
    address << static_cast<const void*>(this);
    printLine("Destroyed " + address.str());
    m_handler.reset();
}

std::string Engine::makePrintPrefix(const std::string& overridePrintPrefix,
                                    const IEngineInfo* engineInfo) {
    std::string prefix = "[" + libContext().name();
    if (!overridePrintPrefix.empty())
        prefix += "_" + overridePrintPrefix;
    prefix += "_engine";
    if (engineInfo)
        prefix += "_" + textOrEmpty(engineInfo->id());
    return prefix + "] ";
}

void Engine::setEngineInfo(const IEngineInfo* engineInfo) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.setPrintPrefix(makePrintPrefix(m_overridingPrintPrefix, engineInfo));
}

void Engine::doSetSettings(Result<const ISettingsResponse*>* outResult,
                           const IStringMap* settings) {
    if (!outResult)
        return;
    if (!m_settings.merge(settings)) {
        *outResult = error(ErrorCode::invalidParams, "Unable to convert the input string map");
        return;
    }
    try {
        *outResult = settingsReceived();
    } catch (const std::exception& e) {
        reportException("doSetSettings", "settingsReceived", e.what());
        *outResult = error(ErrorCode::otherError, "settingsReceived() failed.");
    } catch (...) {
        reportException("doSetSettings", "settingsReceived", nullptr);
        *outResult = error(ErrorCode::otherError, "settingsReceived() failed.");
    }
}

void Engine::getPluginSideSettings(Result<const ISettingsResponse*>* /*outResult*/) const {}

void Engine::getManifest(Result<const IString*>* outResult) const {
    if (!outResult)
        return;
    try {
        *outResult = new String(manifestString());
    } catch (const std::exception& e) {
        reportException("getManifest", "manifestString", e.what());
        *outResult = error(ErrorCode::otherError, "manifestString() failed.");
    } catch (...) {
        reportException("getManifest", "manifestString", nullptr);
        *outResult = error(ErrorCode::otherError, "manifestString() failed.");
    }
}

bool Engine::isCompatible(const IDeviceInfo* /*deviceInfo*/) const {
    return true;
}

void Engine::doExecuteAction(Result<IAction::Result>* outResult, const IAction* action) {
    if (!outResult)
        return;
    if (!action) {
        printLine("doExecuteAction(): INTERNAL ERROR: action is null");
        *outResult = error(ErrorCode::invalidParams, "Action is null");
        return;
    }

    // Comes with a reference for us, released on every way out.
    const auto params = toPtr(action->params());
    const std::string actionId = textOrEmpty(action->actionId());
    Uuid objectTrackId;
    action->getObjectTrackId(&objectTrackId);
    Uuid deviceId;
    action->getDeviceId(&deviceId);
    const int64_t timestampUs = action->timestampUs();

    if (m_log.enableOutput()) {
        using Options = UuidHelper::FormatOptions;
        printLine("doExecuteAction():");
        printLine("{");
        printLine("    actionId: " + kit::utils::toString(actionId));
        printLine("    objectTrackId: " + UuidHelper::toStdString(objectTrackId, Options::all));
        printLine("    deviceId: " + UuidHelper::toStdString(deviceId, Options::all));
        printLine("    timestampUs: " + std::to_string(timestampUs));
    }

    Map paramMap;
    if (!m_log.convertAndOutputStringMap(&paramMap, params.get(), "params", 4)) {
        *outResult = error(ErrorCode::invalidParams, "Invalid action parameters");
        return;
    }

    if (m_log.enableOutput())
        printLine("}");

    // Asked for only once the parameters are known to be usable; it comes with a reference too.
    const auto objectTrackInfo = toPtr(action->objectTrackInfo());
    try {
        *outResult = executeAction(actionId, objectTrackId, deviceId, timestampUs, objectTrackInfo,
                                   paramMap);
    } catch (const std::exception& e) {
        reportException("doExecuteAction", "executeAction", e.what());
        *outResult = error(ErrorCode::otherError, "executeAction() failed.");
    } catch (...) {
        reportException("doExecuteAction", "executeAction", nullptr);
        *outResult = error(ErrorCode::otherError, "executeAction() failed.");
    }
}

void Engine::setHandler(IHandler* handler) {
    Ptr<IHandler> previous = shareToPtr(handler);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(previous, m_handler);
    }
    // The previous handler is released here, outside the lock: releasing calls into the server.
}

void Engine::doGetSettingsOnActiveSettingChange(
    Result<const IActiveSettingChangedResponse*>* /*outResult*/,
    const IActiveSettingChangedAction* /*activeSettingChangedAction*/) {}

Result<const ISettingsResponse*> Engine::settingsReceived() {
    return {};
}

Result<IAction::Result> Engine::executeAction(const std::string& /*actionId*/,
                                              Uuid /*objectTrackId*/, Uuid /*deviceId*/,
                                              int64_t /*timestampUs*/,
                                              Ptr<const IObjectTrackInfo> /*objectTrackInfo*/,
                                              const Map& /*params*/) {
    return {};
}

void Engine::pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level level, std::string caption,
                                       std::string description) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_handler) {
        printLine(
            "pushPluginDiagnosticEvent(): INTERNAL ERROR: setHandler() was not called; ignoring "
            "the Plugin Diagnostic Event.");
        return;
    }
    const auto event =
        makePtr<PluginDiagnosticEvent>(level, std::move(caption), std::move(description));
    if (m_log.enableOutput())
        printLine("Producing Plugin Diagnostic Event:\n" + event->toString());
    m_handler->handleDiagnosticEvent(event.get());
}

std::string Engine::settingValue(const std::string& settingName) const {
    return m_settings.value(settingName);
}

Engine::Map Engine::currentSettings() const {
    return m_settings.all();
}

void Engine::printLine(const std::string& text) const {
    m_log.print(text);
}

void Engine::reportException(const char* caller, const char* hook, const char* what) const {
    printLine(std::string(caller) + "(): ERROR: " + hook + "() threw " +
              (what ? std::string("an exception: ") + what : std::string("an unknown exception")));
}

}  // namespace qo::sdk::analytics
