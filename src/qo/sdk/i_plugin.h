// IPlugin (generic level): the library's root object as any server-side plugin loader sees it.
#pragma once

#include "qo/sdk/i_string.h"
#include "qo/sdk/i_utility_provider.h"
#include "qo/sdk/result.h"

namespace qo::sdk {

class IPlugin : public Interface<IPlugin> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::IPlugin", "qo::sdk::IIntegration"};

    /** The plugin keeps the provider with a reference of its own; null drops the kept one. */
    virtual void setUtilityProvider(IUtilityProvider* utilityProvider) = 0;
    /** The plugin manifest (JSON text). */
    virtual void getManifest(Result<const IString*>* outResult) const = 0;
};

}  // namespace qo::sdk
