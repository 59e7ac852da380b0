// CompressedVideoPacket: an encoded video frame as the server hands it to a device agent. The host
// carries no picture, only the frame's size, which is all the plugin reads.
//
// Threading: immutable after construction; may be read from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "qo/sdk/analytics/i_compressed_video_packet.h"
#include "qo/sdk/ref_countable.h"

namespace lumo::host {

class CompressedVideoPacket
    : public qo::sdk::RefCountable<qo::sdk::analytics::ICompressedVideoPacket> {
public:
    CompressedVideoPacket(int32_t width, int32_t height, int64_t timestampUs,
                          std::string codec = "H264")
        : m_width(width), m_height(height), m_timestampUs(timestampUs), m_codec(std::move(codec)) {}

    int64_t timestampUs() const override { return m_timestampUs; }
    const char* codec() const override { return m_codec.c_str(); }
    const char* data() const override { return nullptr; }
    int32_t dataSize() const override { return 0; }
    const qo::sdk::IRefCountable* context() const override { return nullptr; }
    int32_t flags() const override { return 0; }
    int32_t width() const override { return m_width; }
    int32_t height() const override { return m_height; }

private:
    const int32_t m_width;
    const int32_t m_height;
    const int64_t m_timestampUs;
    const std::string m_codec;
};

}  // namespace lumo::host
