// IStringMap: a read-only map of texts handed across the boundary (settings, action parameters).
#pragma once

#include <cstdint>

#include "qo/sdk/interface.h"

namespace qo::sdk {

class IStringMap : public Interface<IStringMap> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::IStringMap"};

    virtual int32_t count() const = 0;
    /** Null when the index is out of range. */
    virtual const char* key(int32_t index) const = 0;
    /** Null when the index is out of range. */
    virtual const char* value(int32_t index) const = 0;
    /** Null when the key is null or absent. */
    virtual const char* value(const char* key) const = 0;
};

}  // namespace qo::sdk
