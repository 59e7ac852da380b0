// IAction: a server-side action the user started on an object track (for example from a
// context menu), with its parameters. IAction::Result is the plugin's answer.
#pragma once

#include "qo/sdk/analytics/i_object_track_info.h"
#include "qo/sdk/i_string.h"
#include "qo/sdk/i_string_map.h"
#include "qo/sdk/uuid.h"

namespace qo::sdk::analytics {

class IAction : public Interface<IAction> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IAction"};

    /** Each non-null text carries one reference for the server. */
    struct Result {
        const IString* actionUrl = nullptr;
        const IString* messageToUser = nullptr;
    };

    virtual const char* actionId() const = 0;
    virtual void getObjectTrackId(Uuid* outValue) const = 0;
    virtual void getDeviceId(Uuid* outValue) const = 0;
    /** One reference for the caller. */
    virtual const IObjectTrackInfo* objectTrackInfo() const = 0;
    virtual int64_t timestampUs() const = 0;
    /** One reference for the caller. */
    virtual const IStringMap* params() const = 0;
};

}  // namespace qo::sdk::analytics
