// IDataPacket: anything timed that travels between server and plugin (video frames, metadata).
#pragma once

#include <cstdint>

#include "qo/sdk/interface.h"

namespace qo::sdk::analytics {

class IDataPacket : public Interface<IDataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IDataPacket"};

    /** Bits interpreted by the server; the plugin leaves them 0. */
    enum class Flags : int32_t { none = 0 };

    /** Microseconds; negative means invalid. */
    virtual int64_t timestampUs() const = 0;
};

}  // namespace qo::sdk::analytics
