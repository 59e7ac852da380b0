#include "md5.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace lumo_camera {

namespace {

constexpr uint32_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// The sine table as RFC 1321 defines it: floor(2^32 * |sin(i + 1)|).
const std::array<uint32_t, 64>& sineTable() {
    static const std::array<uint32_t, 64> table = [] {
        std::array<uint32_t, 64> t{};
        for (size_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
        return t;
    }();
    return table;
}

uint32_t rotateLeft(uint32_t v, uint32_t n) {
    return (v << n) | (v >> (32 - n));
}

void processBlock(const uint8_t* block, uint32_t state[4]) {
    const auto& k = sineTable();
    uint32_t m[16];
    for (size_t i = 0; i < 16; ++i) {
        m[i] = uint32_t{block[i * 4]} | uint32_t{block[i * 4 + 1]} << 8 |
               uint32_t{block[i * 4 + 2]} << 16 | uint32_t{block[i * 4 + 3]} << 24;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (uint32_t i = 0; i < 64; ++i) {
        uint32_t f = 0;
        uint32_t g = 0;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        f += a + k[i] + m[g];
        a = d;
        d = c;
        c = b;
        b += rotateLeft(f, kShifts[i]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

std::string md5Hex(const std::string& data) {
    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::string message = data;
    const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    message += static_cast<char>(0x80);
    while (message.size() % 64 != 56)
        message += '\0';
    for (int i = 0; i < 8; ++i)
        message += static_cast<char>((bits >> (8 * i)) & 0xFF);
    for (size_t offset = 0; offset < message.size(); offset += 64)
        processBlock(reinterpret_cast<const uint8_t*>(message.data()) + offset, state);

    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const uint32_t word : state) {
        for (int i = 0; i < 4; ++i) {
            const uint32_t byte = (word >> (8 * i)) & 0xFF;
            hex += kHex[byte >> 4];
            hex += kHex[byte & 0x0F];
        }
    }
    return hex;
}

}  // namespace lumo_camera
