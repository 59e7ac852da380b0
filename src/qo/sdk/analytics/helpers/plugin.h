// Plugin: the base of the library's root object, the one the server gets from createQoPlugin().
// It hands the plugin manifest to the server, creates the engine on request and keeps the server's
// utility provider. A derived class supplies the manifest and the engine by overriding
// manifestString() and doObtainEngine(); the older way, a manifest text and an engine factory given
// to the constructor, takes precedence when used.
//
// Threading: the server calls one operation at a time; no lock of its own. Only the reference
// count may change from several threads.
#pragma once

#include <functional>
#include <string>

#include "qo/sdk/analytics/i_plugin.h"
#include "qo/sdk/i_utility_provider.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics {

class Plugin : public RefCountable<IPlugin> {
public:
    /** Returns a new engine with one reference for the caller, or null on failure. */
    using CreateEngine = std::function<IEngine*(Plugin* plugin)>;

    Plugin();
    /** Prefer overriding manifestString() and doObtainEngine(). */
    Plugin(std::string pluginManifest, CreateEngine createEngine);
    ~Plugin() override;

    void setUtilityProvider(IUtilityProvider* utilityProvider) override;
    void getManifest(Result<const IString*>* outResult) const override;
    void doCreateEngine(Result<IEngine*>* outResult) override;

    virtual std::string instanceId() const;

    /** The provider the server gave, or null. */
    Ptr<IUtilityProvider> utilityProvider() const { return m_utilityProvider; }

protected:
    /** The engine with one reference for the caller, or an error. */
    virtual Result<IEngine*> doObtainEngine();
    /** The plugin manifest (JSON text). */
    virtual std::string manifestString() const;

    void logLifeCycleEvent(const std::string& event) const;
    void logError(const std::string& message) const;

private:
    const std::string m_pluginManifest;
    const CreateEngine m_createEngine;
    Ptr<IUtilityProvider> m_utilityProvider;
};

}  // namespace qo::sdk::analytics
