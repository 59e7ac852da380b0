// CustomMetadataPacket: one metadata document of a camera's stream (an ONVIF XML document) as the
// server hands it to a device agent. The packet owns its copy of the document.
//
// Threading: immutable after construction; may be read from any thread.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "qo/sdk/analytics/i_custom_metadata_packet.h"
#include "qo/sdk/ref_countable.h"

namespace lumo::host {

class CustomMetadataPacket
    : public qo::sdk::RefCountable<qo::sdk::analytics::ICustomMetadataPacket> {
public:
    static constexpr const char* kOnvifCodec = "application/vnd.onvif.metadata";

    /** Documents beyond this size do not fit the packet's size field. */
    static constexpr size_t kMaxDataSize = std::numeric_limits<int32_t>::max();

    CustomMetadataPacket(std::string data, int64_t timestampUs, std::string codec = kOnvifCodec)
        : m_data(std::move(data)), m_timestampUs(timestampUs), m_codec(std::move(codec)) {
        if (m_data.size() > kMaxDataSize)
            m_data.resize(kMaxDataSize);
    }

    int64_t timestampUs() const override { return m_timestampUs; }
    const char* codec() const override { return m_codec.c_str(); }
    const char* data() const override { return m_data.data(); }
    int32_t dataSize() const override { return static_cast<int32_t>(m_data.size()); }

private:
    std::string m_data;
    const int64_t m_timestampUs;
    const std::string m_codec;
};

}  // namespace lumo::host
