// IObjectMetadata: one detected object in a frame: type, track, box and attributes.
#pragma once

#include "qo/sdk/analytics/i_metadata.h"
#include "qo/sdk/analytics/rect.h"
#include "qo/sdk/uuid.h"

namespace qo::sdk::analytics {

class IObjectMetadata : public Interface<IObjectMetadata, IMetadata> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IObjectMetadata"};

    virtual void getTrackId(Uuid* outValue) const = 0;
    virtual const char* subtype() const = 0;
    virtual void getBoundingBox(Rect* outValue) const = 0;
};

}  // namespace qo::sdk::analytics
