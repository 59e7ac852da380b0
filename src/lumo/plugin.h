// Plugin: the library's root object, handed to the server by createQoPlugin(). It states who the
// plugin is and creates the engine. No state of its own; the base class does the bookkeeping.
#pragma once

#include <string>

#include "qo/sdk/analytics/helpers/plugin.h"

namespace qo::vms_server_plugins::analytics::lumo {

class Plugin : public qo::sdk::analytics::Plugin {
public:
    Plugin() = default;
    ~Plugin() override = default;

protected:
    qo::sdk::Result<qo::sdk::analytics::IEngine*> doObtainEngine() override;
    std::string manifestString() const override;
};

}  // namespace qo::vms_server_plugins::analytics::lumo

extern "C" {
/** Creates the plugin; the caller owns the returned reference. */
__attribute__((visibility("default"))) qo::sdk::IPlugin* createQoPlugin();
}
