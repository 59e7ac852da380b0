// IEngineInfo: the server's description of the engine instance (its id names the log prefix).
#pragma once

#include "qo/sdk/interface.h"

namespace qo::sdk::analytics {

class IEngineInfo : public Interface<IEngineInfo> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEngineInfo"};

    virtual const char* id() const = 0;
};

}  // namespace qo::sdk::analytics
