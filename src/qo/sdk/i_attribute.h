// IAttribute: a named, typed value attached to object metadata, events and best shots.
#pragma once

#include <cstdint>

#include "qo/sdk/interface.h"

namespace qo::sdk {

class IAttribute : public Interface<IAttribute> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::IAttribute"};

    /** Interpreted by the server; the plugin uses undefined and, for display colours, color. */
    enum class Type : int32_t {
        undefined = 0,
        number = 1,
        boolean = 2,
        color = 3,
        string = 4,
    };

    virtual Type type() const = 0;
    virtual const char* name() const = 0;
    virtual const char* value() const = 0;
    virtual float confidence() const = 0;
};

}  // namespace qo::sdk
