// ICompressedVideoPacket: an encoded video frame from the server; the plugin reads only its size.
#pragma once

#include "qo/sdk/analytics/i_data_packet.h"

namespace qo::sdk::analytics {

class ICompressedVideoPacket : public Interface<ICompressedVideoPacket, IDataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::ICompressedVideoPacket1"};

    virtual const char* codec() const = 0;
    virtual const char* data() const = 0;
    virtual int32_t dataSize() const = 0;
    virtual const IRefCountable* context() const = 0;
    virtual int32_t flags() const = 0;
    virtual int32_t width() const = 0;
    virtual int32_t height() const = 0;
};

}  // namespace qo::sdk::analytics
