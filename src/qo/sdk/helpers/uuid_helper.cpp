#include "qo/sdk/helpers/uuid_helper.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>

namespace qo::sdk {

namespace {

bool has(UuidHelper::FormatOptions options, UuidHelper::FormatOptions flag) {
    return (options & flag) != UuidHelper::FormatOptions::none;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isSeparator(char c) {
    switch (c) {
        case '{':
        case '}':
        case '-':
        case ' ':
        case '\t':
        case '\n':
        case '\r':
            return true;
        default:
            return false;
    }
}

uint32_t randomSeed() {
    try {
        return std::random_device()();
    } catch (...) {
        // No entropy source: the ids need only be unique, not secret.
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        return static_cast<uint32_t>(now) ^ static_cast<uint32_t>(now >> 32);
    }
}

struct Generator {
    std::mutex mutex;
    std::mt19937_64 engine{randomSeed()};                  // Guarded by mutex.
    std::uniform_int_distribution<uint64_t> distribution;  // Guarded by mutex.
};

Generator& generator() {
    // Never destroyed: a thread may still ask for an id while the process exits.
    static Generator* const instance = new Generator;
    return *instance;
}

void storeLittleEndian(uint64_t value, uint8_t* bytes) {
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::string UuidHelper::toStdString(const Uuid& uuid, FormatOptions formatOptions) {
    const char* const digits =
        has(formatOptions, FormatOptions::uppercase) ? "0123456789ABCDEF" : "0123456789abcdef";
    const bool hyphens = has(formatOptions, FormatOptions::hyphens);
    const bool braces = has(formatOptions, FormatOptions::braces);

    std::string result;
    result.reserve(38);
    if (braces)
        result += '{';
    for (size_t i = 0; i < uuid.bytes.size(); ++i) {
        if (hyphens && (i == 4 || i == 6 || i == 8 || i == 10))
            result += '-';
        result += digits[uuid.bytes[i] >> 4];
        result += digits[uuid.bytes[i] & 0x0F];
    }
    if (braces)
        result += '}';
    return result;
}

Uuid UuidHelper::fromStdString(const std::string& text) {
    if (text.size() < 32)
        return Uuid();

    Uuid uuid;
    size_t byteCount = 0;
    int highDigit = -1;
    for (const char c : text) {
        if (isSeparator(c))
            continue;
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return Uuid();
        if (highDigit < 0) {
            highDigit = digit;
            continue;
        }
        if (byteCount == uuid.bytes.size())
            return Uuid();
        uuid.bytes[byteCount++] = static_cast<uint8_t>(highDigit << 4 | digit);
        highDigit = -1;
    }
    // A dangling digit is a 33rd digit, not something to drop silently.
    if (byteCount != uuid.bytes.size() || highDigit >= 0)
        return Uuid();
    return uuid;
}

Uuid UuidHelper::randomUuid() {
    uint64_t first = 0;
    uint64_t second = 0;
    {
        Generator& g = generator();
        std::lock_guard<std::mutex> lock(g.mutex);
        first = g.distribution(g.engine);
        second = g.distribution(g.engine);
    }

    Uuid uuid;
    storeLittleEndian(first, uuid.bytes.data());
    storeLittleEndian(second, uuid.bytes.data() + 8);
    uuid.bytes[6] = static_cast<uint8_t>((uuid.bytes[6] & 0x0F) | 0x40);
    uuid.bytes[8] = static_cast<uint8_t>((uuid.bytes[8] & 0x3F) | 0x80);
    return uuid;
}

}  // namespace qo::sdk
