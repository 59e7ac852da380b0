// Action: an action the user started on an object track, as the server hands it to the engine.
//
// Threading: immutable after construction; may be read from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "qo/sdk/analytics/i_action.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace lumo::host {

class Action : public qo::sdk::RefCountable<qo::sdk::analytics::IAction> {
public:
    Action(std::string actionId, const qo::sdk::Uuid& objectTrackId, const qo::sdk::Uuid& deviceId,
           int64_t timestampUs, std::map<std::string, std::string> params)
        : m_actionId(std::move(actionId)),
          m_objectTrackId(objectTrackId),
          m_deviceId(deviceId),
          m_timestampUs(timestampUs),
          m_params(qo::sdk::makePtr<qo::sdk::StringMap>(std::move(params))) {}

    const char* actionId() const override { return m_actionId.c_str(); }

    void getObjectTrackId(qo::sdk::Uuid* outValue) const override {
        if (outValue)
            *outValue = m_objectTrackId;
    }

    void getDeviceId(qo::sdk::Uuid* outValue) const override {
        if (outValue)
            *outValue = m_deviceId;
    }

    /** This server keeps no track information. */
    const qo::sdk::analytics::IObjectTrackInfo* objectTrackInfo() const override { return nullptr; }

    int64_t timestampUs() const override { return m_timestampUs; }

    const qo::sdk::IStringMap* params() const override {
        return qo::sdk::shareToPtr(m_params.get()).releasePtr();
    }

private:
    const std::string m_actionId;
    const qo::sdk::Uuid m_objectTrackId;
    const qo::sdk::Uuid m_deviceId;
    const int64_t m_timestampUs;
    const qo::sdk::Ptr<qo::sdk::StringMap> m_params;
};

}  // namespace lumo::host
