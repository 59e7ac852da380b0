// analytics::IPlugin: the root object of an analytics plugin: it creates the engine.
#pragma once

#include "qo/sdk/analytics/i_engine.h"
#include "qo/sdk/i_plugin.h"

namespace qo::sdk::analytics {

class IPlugin : public Interface<IPlugin, qo::sdk::IPlugin> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IPlugin",
                                                    "qo::sdk::analytics::IIntegration"};

    virtual void doCreateEngine(Result<IEngine*>* outResult) = 0;
};

}  // namespace qo::sdk::analytics
