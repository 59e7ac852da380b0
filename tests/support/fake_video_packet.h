// A video frame as the server pushes it: only its size matters to the agent, which follows the
// stream's frame size from it.
//
// Threading: immutable; any thread may read it.
#pragma once

#include <cstdint>

#include "qo/sdk/analytics/i_compressed_video_packet.h"
#include "qo/sdk/ref_countable.h"

namespace lumo_test {

struct FakeVideoPacket : qo::sdk::RefCountable<qo::sdk::analytics::ICompressedVideoPacket> {
    FakeVideoPacket(int32_t width, int32_t height) : w(width), h(height) {}
    int64_t timestampUs() const override { return 1; }
    const char* codec() const override { return "h264"; }
    const char* data() const override { return "\0\0\0\1"; }
    int32_t dataSize() const override { return 4; }
    const IRefCountable* context() const override { return nullptr; }
    int32_t flags() const override { return 0; }
    int32_t width() const override { return w; }
    int32_t height() const override { return h; }
    const int32_t w, h;
};

}  // namespace lumo_test
