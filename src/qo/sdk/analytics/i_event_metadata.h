// IEventMetadata: one event reported to the server: type, caption, description, activity, track.
#pragma once

#include "qo/sdk/analytics/i_metadata.h"
#include "qo/sdk/uuid.h"

namespace qo::sdk::analytics {

class IEventMetadata0 : public Interface<IEventMetadata0, IMetadata> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEventMetadata"};

    virtual const char* caption() const = 0;
    virtual const char* description() const = 0;
    virtual bool isActive() const = 0;
};

class IEventMetadata1 : public Interface<IEventMetadata1, IEventMetadata0> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEventMetadata1"};

    virtual void getTrackId(Uuid* outValue) const = 0;
};

class IEventMetadata : public Interface<IEventMetadata, IEventMetadata1> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEventMetadata2"};

    virtual const char* key() const = 0;
};

}  // namespace qo::sdk::analytics
