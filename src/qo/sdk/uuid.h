// Uuid: 16 bytes in storage order; the track identity of objects and events. Plain value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>

namespace qo::sdk {

struct Uuid {
    std::array<uint8_t, 16> bytes{};

    bool isNull() const {
        for (uint8_t b : bytes) {
            if (b != 0)
                return false;
        }
        return true;
    }

    bool operator==(const Uuid& other) const { return bytes == other.bytes; }
    bool operator!=(const Uuid& other) const { return bytes != other.bytes; }
    bool operator<(const Uuid& other) const { return bytes < other.bytes; }
};

static_assert(sizeof(Uuid) == 16, "Uuid crosses the boundary as 16 plain bytes");

}  // namespace qo::sdk

template <>
struct std::hash<qo::sdk::Uuid> {
    size_t operator()(const qo::sdk::Uuid& uuid) const {
        uint64_t a = 0;
        uint64_t b = 0;
        std::memcpy(&a, uuid.bytes.data(), 8);
        std::memcpy(&b, uuid.bytes.data() + 8, 8);
        return std::hash<uint64_t>()(a ^ (b * 0x9E3779B97F4A7C15ull));
    }
};
