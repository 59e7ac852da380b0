// IDeviceAgent: the per-camera object of an analytics engine, and IDeviceAgent::IHandler, the
// server's receiver of what the agent produces (metadata packets, diagnostic events, manifests).
#pragma once

#include "qo/sdk/analytics/i_metadata_packet.h"
#include "qo/sdk/analytics/i_metadata_types.h"
#include "qo/sdk/i_plugin_diagnostic_event.h"
#include "qo/sdk/i_settings_response.h"
#include "qo/sdk/i_string.h"
#include "qo/sdk/i_string_map.h"
#include "qo/sdk/result.h"

namespace qo::sdk::analytics {

class IDeviceAgent : public Interface<IDeviceAgent> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IDeviceAgent"};

    /** Implemented by the server. Everything passed in is borrowed for the call. */
    class IHandler : public Interface<IHandler> {
    public:
        static constexpr const char* kInterfaceIds[] = {
            "qo::sdk::analytics::IDeviceAgent::IHandler"};

        virtual void handleMetadataPacket(IMetadataPacket* metadataPacket) = 0;
        virtual void handleDiagnosticEvent(IPluginDiagnosticEvent* event) = 0;
        virtual void handleManifest(const IString* manifest) = 0;
    };

    virtual void doSetSettings(Result<const ISettingsResponse*>* outResult,
                               const IStringMap* settings) = 0;
    virtual void getPluginSideSettings(Result<const ISettingsResponse*>* outResult) const = 0;
    virtual void getManifest(Result<const IString*>* outResult) const = 0;
    virtual void setHandler(IHandler* handler) = 0;
    virtual void doSetNeededMetadataTypes(Result<void>* outResult,
                                          const IMetadataTypes* neededMetadataTypes) = 0;
};

}  // namespace qo::sdk::analytics
