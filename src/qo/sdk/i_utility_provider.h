// IUtilityProvider: services the server offers to the plugin; the plugin only keeps a reference.
#pragma once

#include "qo/sdk/interface.h"

namespace qo::sdk {

class IUtilityProvider : public Interface<IUtilityProvider> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::IUtilityProvider"};
};

}  // namespace qo::sdk
