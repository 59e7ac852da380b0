#include "lumo/plugin.h"

#include <exception>

#include "lumo/engine.h"
#include "lumo/manifests.h"
#include "qo/kit/debug.h"
#include "qo/sdk/helpers/error.h"

namespace qo::vms_server_plugins::analytics::lumo {

qo::sdk::Result<qo::sdk::analytics::IEngine*> Plugin::doObtainEngine() {
    try {
        return new Engine();
    } catch (const std::exception& e) {
        return qo::sdk::error(qo::sdk::ErrorCode::otherError,
                              std::string("Unable to create Engine: ") + e.what());
    }
}

std::string Plugin::manifestString() const {
    return pluginManifest();
}

}  // namespace qo::vms_server_plugins::analytics::lumo

extern "C" qo::sdk::IPlugin* createQoPlugin() {
    // No exception may reach the server's loader.
    try {
        return new qo::vms_server_plugins::analytics::lumo::Plugin();
    } catch (const std::exception& e) {
        QO_PRINT(std::string("ERROR: Unable to create the plugin: ") + e.what());
        return nullptr;
    }
}
