// IUncompressedVideoFrame: a decoded video frame; recognised but not used by this plugin.
#pragma once

#include "qo/sdk/analytics/i_data_packet.h"

namespace qo::sdk::analytics {

class IUncompressedVideoFrame : public Interface<IUncompressedVideoFrame, IDataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IUncompressedVideoFrame1"};

    virtual int32_t width() const = 0;
    virtual int32_t height() const = 0;
};

}  // namespace qo::sdk::analytics
