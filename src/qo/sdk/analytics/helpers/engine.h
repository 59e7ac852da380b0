// Engine: the base of the analytics engine, which the plugin creates once and which makes one
// device agent per camera. It keeps the engine settings the server sends, serves the manifest,
// forwards diagnostic events to the server's engine handler and runs server-requested actions. A
// derived class supplies manifestString() and doObtainDeviceAgent(), and may override
// settingsReceived() and executeAction().
//
// Every line it writes starts with its print prefix, "[<library>_engine_<engine id>] ".
//
// Threading: server threads call the operations. m_mutex guards the handler, so a diagnostic
// event never reaches a handler that is being replaced; m_settings has its own lock. The print
// prefix changes only in setEngineInfo(), which the server calls before it uses the engine from
// other threads.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "qo/sdk/analytics/helpers/settings_store.h"
#include "qo/sdk/analytics/i_engine.h"
#include "qo/sdk/helpers/log_utils.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"
#include "qo/sdk/uuid.h"

namespace qo::sdk::analytics {

class Engine : public RefCountable<IEngine> {
public:
    using Map = std::map<std::string, std::string>;

    ~Engine() override;

    void setEngineInfo(const IEngineInfo* engineInfo) override;
    void doSetSettings(Result<const ISettingsResponse*>* outResult,
                       const IStringMap* settings) override;
    /** Leaves the result as passed unless overridden. */
    void getPluginSideSettings(Result<const ISettingsResponse*>* outResult) const override;
    void getManifest(Result<const IString*>* outResult) const override;
    /** Every device is compatible unless overridden. */
    bool isCompatible(const IDeviceInfo* deviceInfo) const override;
    void doExecuteAction(Result<IAction::Result>* outResult, const IAction* action) override;
    void setHandler(IHandler* handler) override;
    /** Leaves the result as passed unless overridden. */
    void doGetSettingsOnActiveSettingChange(
        Result<const IActiveSettingChangedResponse*>* outResult,
        const IActiveSettingChangedAction* activeSettingChangedAction) override;

    /** "[<library>[_<override>]_engine[_<engine id>]] ". */
    static std::string makePrintPrefix(const std::string& overridePrintPrefix,
                                       const IEngineInfo* engineInfo);

protected:
    /** @param printPrefix Put after the library name in the print prefix; empty for none. */
    explicit Engine(bool enableOutput, std::string printPrefix = "");

    /** The engine manifest (JSON text). */
    virtual std::string manifestString() const = 0;

    /** Called after every settings update; the settings are then in currentSettings(). */
    virtual Result<const ISettingsResponse*> settingsReceived();

    virtual Result<IAction::Result> executeAction(const std::string& actionId, Uuid objectTrackId,
                                                  Uuid deviceId, int64_t timestampUs,
                                                  Ptr<const IObjectTrackInfo> objectTrackInfo,
                                                  const Map& params);

    /** Delivers an event to the server's handler; dropped with a report when there is none. */
    void pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level level, std::string caption,
                                   std::string description);

    /** The stored value; a missing setting is reported and reads as the empty string. */
    std::string settingValue(const std::string& settingName) const;
    Map currentSettings() const;

    const LogUtils& log() const { return m_log; }

private:
    void printLine(const std::string& text) const;
    void reportException(const char* caller, const char* hook, const char* what) const;

    LogUtils m_log;
    mutable std::mutex m_mutex;
    SettingsStore m_settings{m_log};
    Ptr<IHandler> m_handler;  // Guarded by m_mutex.
    const std::string m_overridingPrintPrefix;
};

}  // namespace qo::sdk::analytics
