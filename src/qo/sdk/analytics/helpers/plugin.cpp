#include "qo/sdk/analytics/helpers/plugin.h"

#include <exception>
#include <utility>

#include "qo/kit/debug.h"
#include "qo/kit/utils.h"
#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/string.h"

namespace qo::sdk::analytics {

namespace {

constexpr const char* kNoDoObtainEngineMessage =
    "Either doObtainEngine() should be overridden, or the constructor with createEngine argument "
    "(deprecated) should be called.";

constexpr const char* kNoManifestStringMessage =
    "Either manifestString() should be overridden, or the constructor with pluginManifest argument "
    "(deprecated) should be called.";

constexpr const char* kUnableToCreateEngine = "Unable to create Engine";

}  // namespace

Plugin::Plugin() {
    logLifeCycleEvent("Created");
}

Plugin::Plugin(std::string pluginManifest, CreateEngine createEngine)
    : m_pluginManifest(std::move(pluginManifest)), m_createEngine(std::move(createEngine)) {
    logLifeCycleEvent("Created");
}

Plugin::~Plugin() {
    logLifeCycleEvent("Destroyed");
    m_utilityProvider.reset();
}

void Plugin::setUtilityProvider(IUtilityProvider* utilityProvider) {
    m_utilityProvider = shareToPtr(utilityProvider);
}

void Plugin::getManifest(Result<const IString*>* outResult) const {
    if (!outResult)
        return;
    // The server must not see an exception; a derived manifestString() may still throw one.
    try {
        *outResult = new String(m_pluginManifest.empty() ? manifestString() : m_pluginManifest);
    } catch (const std::exception& e) {
        logError(std::string("manifestString() threw an exception: ") + e.what());
        *outResult = error(ErrorCode::otherError, "manifestString() failed.");
    } catch (...) {
        logError("manifestString() threw an unknown exception");
        *outResult = error(ErrorCode::otherError, "manifestString() failed.");
    }
}

void Plugin::doCreateEngine(Result<IEngine*>* outResult) {
    if (!outResult)
        return;
    const char* const hook = m_createEngine ? "createEngine()" : "doObtainEngine()";
    try {
        if (m_createEngine) {
            if (IEngine* const engine = m_createEngine(this)) {
                *outResult = engine;
                return;
            }
            logError(kUnableToCreateEngine);
            *outResult = error(ErrorCode::otherError, kUnableToCreateEngine);
            return;
        }
        const Result<IEngine*> result = doObtainEngine();
        if (result.error.errorMessage)
            logError(result.error.errorMessage->str());
        *outResult = result;
    } catch (const std::exception& e) {
        logError(std::string(hook) + " threw an exception: " + e.what());
        *outResult = error(ErrorCode::otherError, kUnableToCreateEngine);
    } catch (...) {
        logError(std::string(hook) + " threw an unknown exception");
        *outResult = error(ErrorCode::otherError, kUnableToCreateEngine);
    }
}

std::string Plugin::instanceId() const {
    return "";
}

Result<IEngine*> Plugin::doObtainEngine() {
    QO_ASSERT(false, kNoDoObtainEngineMessage);
    return error(ErrorCode::internalError, kNoDoObtainEngineMessage);
}

std::string Plugin::manifestString() const {
    QO_ASSERT(false, kNoManifestStringMessage);
    return "";
}

void Plugin::logLifeCycleEvent(const std::string& event) const {
    QO_PRINT(event + " IPlugin @" + kit::utils::toString(static_cast<const void*>(this)) + " of " +
             libContext().name());
}

void Plugin::logError(const std::string& message) const {
    QO_PRINT("ERROR: " + libContext().name() + ": " + message);
}

}  // namespace qo::sdk::analytics
