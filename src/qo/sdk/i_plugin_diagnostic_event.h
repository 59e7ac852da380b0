// IPluginDiagnosticEvent: a message for the server's operator (shown in its event log).
#pragma once

#include <cstdint>

#include "qo/sdk/interface.h"

namespace qo::sdk {

class IPluginDiagnosticEvent : public Interface<IPluginDiagnosticEvent> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::IPluginDiagnosticEvent",
                                                    "qo::sdk::IIntegrationDiagnosticEvent"};

    enum class Level : int32_t { info = 0, warning = 1, error = 2 };

    virtual Level level() const = 0;
    virtual const char* caption() const = 0;
    virtual const char* description() const = 0;
};

}  // namespace qo::sdk
