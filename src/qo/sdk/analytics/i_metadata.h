// IMetadata: one item of a metadata packet (an object or an event) with its type and attributes.
#pragma once

#include "qo/sdk/i_attribute.h"

namespace qo::sdk::analytics {

class IMetadata : public Interface<IMetadata> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IMetadata"};

    virtual const char* typeId() const = 0;
    virtual float confidence() const = 0;
    /** One reference for the caller, or null when out of range. */
    virtual const IAttribute* getAttribute(int32_t index) const = 0;
    virtual int32_t attributeCount() const = 0;
};

}  // namespace qo::sdk::analytics
