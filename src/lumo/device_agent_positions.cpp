// Regions, exclude regions, lines and object-size limits drawn in the server's dialog, written to
// the camera. Values arrive as JSON text from the server and are read leniently: bytes that are no
// UTF-8 are mended, a member of the wrong type reads as absent. Nothing here may throw on a
// malformed value, since it runs on a detached thread.
#include <cmath>
#include <limits>
#include <optional>

#include "lumo/constants.h"
#include "lumo/device_agent.h"
#include "lumo/geometry.h"
#include "lumo/utils.h"

namespace qo::vms_server_plugins::analytics::lumo {

namespace {

using Json = nlohmann::json;

/** Positions and sizes are digits and commas only, so they go unencoded, as the camera expects. */
std::string plainWriteQuery(const std::string& name, const std::string& value) {
    return std::string(kWriteQuery) + urlEncode(name) + "=" + value + "&";
}

/** Nesting the server's values never need; deeper ones are refused before they are parsed. */
constexpr size_t kMaxJsonNesting = 200;

/**
 * Each byte that starts no valid UTF-8 sequence becomes U+FFFD: a label typed in another encoding
 * must not make the whole value unreadable, and with it erase the figure on the camera.
 */
std::string mendUtf8(const std::string& text) {
    std::string mended;
    mended.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    for (size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        size_t length = 0;
        // The bounds of the second byte exclude overlong forms, surrogates and code points past
        // U+10FFFF.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        }
        bool valid = length != 0 && length <= size - i;
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = bytes[i + k];
            valid = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        }
        if (valid) {
            mended.append(text, i, length);
            i += length;
        } else {
            mended += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return mended;
}

bool nestsTooDeep(const std::string& text) {
    size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonNesting)
                return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

/** The server's value as JSON; null when it is no JSON even after mending its text. */
Json parseValue(const std::string& value) {
    const std::string mended = mendUtf8(value);
    if (nestsTooDeep(mended))
        return Json();
    Json parsed = Json::parse(mended, nullptr, /*allow_exceptions*/ false);
    if (parsed.is_discarded())
        return Json();
    return parsed;
}

const Json* member(const Json& object, const char* key) {
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

/** The first two numbers of a JSON array, or nothing. */
std::optional<std::pair<double, double>> numberPair(const Json* value) {
    if (!value || !value->is_array() || value->size() < 2 || !(*value)[0].is_number() ||
        !(*value)[1].is_number()) {
        return std::nullopt;
    }
    return std::make_pair((*value)[0].get<double>(), (*value)[1].get<double>());
}

/** size × fraction truncated toward zero, or nothing when it leaves 32 bits. */
std::optional<int32_t> scaled(int32_t size, double fraction) {
    const double product = static_cast<double>(size) * fraction;
    if (!std::isfinite(product) || product <= std::numeric_limits<int32_t>::min() - 1.0 ||
        product >= std::numeric_limits<int32_t>::max() + 1.0) {
        return std::nullopt;
    }
    return static_cast<int32_t>(product);
}

int32_t limited(int32_t value, int32_t maximum) {
    constexpr int32_t kMinimumSize = 12;
    if (value < kMinimumSize)
        value = kMinimumSize;
    return value > maximum ? maximum : value;
}

}  // namespace

void DeviceAgent::handlePositionSettings(const SettingName& setting, std::string value,
                                         std::string& reply) {
    const Json parsed = parseValue(value);
    const Json* figure = member(parsed, "figure");
    // Only a null figure clears the slot (a value that is no JSON reads as null). A figure that
    // gives no points (of another type, or without "points") writes no position: the user's
    // shape stays on the camera.
    const bool cleared = !figure || figure->is_null();
    const bool isLine = setting.figure == FigureType::line;

    std::string position;
    if (!cleared) {
        const Json* points = member(*figure, "points");
        std::vector<iPoint> cameraPoints =
            points ? figureToCameraPoints(*points) : std::vector<iPoint>();
        if (!isLine && !isClockwise(cameraPoints))
            cameraPoints = toClockwise(cameraPoints);
        position = toCameraPositionText(cameraPoints);
    }

    const Json* showOnCamera = member(parsed, "showOnCamera");
    const std::string display =
        showOnCamera && showOnCamera->is_boolean() && showOnCamera->get<bool>() ? "1" : "0";

    const FigureParameters& parameters = figureParameters(setting.figure);
    std::string directionQuery;
    if (isLine && !cleared) {
        const Json* direction = member(*figure, "direction");
        if (direction && direction->is_string()) {
            const std::string text = direction->get<std::string>();
            if (text == "left" || text == "right") {
                directionQuery =
                    plainWriteQuery(setting.cameraName(kLineDirection), text == "left" ? "1" : "0");
            }
        }
    }

    const std::string& name = setting.name;
    if (!directionQuery.empty())
        cameraWrite(name, directionQuery, reply);
    cameraWrite(name, plainWriteQuery(setting.cameraName(parameters.display), display), reply);
    if (cleared) {
        cameraWrite(name, plainWriteQuery(setting.cameraName(parameters.clear), "0"), reply);
    } else if (!position.empty()) {
        // The camera keeps one point set per slot, numbered like the slot.
        cameraWrite(name, plainWriteQuery(setting.cameraName() + setting.cameraSlot, position),
                    reply);
    }
}

void DeviceAgent::handleObjectDetectionSize(const std::string& name, std::string value,
                                            std::string& reply) {
    const Json parsed = parseValue(value);
    const auto minimum = numberPair(member(parsed, "minimum"));
    const auto maximum = numberPair(member(parsed, "maximum"));
    const Json* positions = member(parsed, "positions");
    std::optional<std::pair<double, double>> first;
    std::optional<std::pair<double, double>> second;
    if (positions && positions->is_array() && positions->size() >= 2) {
        first = numberPair(&(*positions)[0]);
        second = numberPair(&(*positions)[1]);
    }
    // Without all three parts there is nothing the camera could take; nothing is sent.
    if (!minimum || !maximum || !first || !second)
        return;

    const int32_t width = frameWidth.load();
    const int32_t height = frameHeight.load();
    const auto x0 = scaled(width, first->first);
    const auto y0 = scaled(height, first->second);
    const auto x1 = scaled(width, second->first);
    const auto y1 = scaled(height, second->second);
    const auto minWidth = scaled(width, minimum->first);
    const auto minHeight = scaled(height, minimum->second);
    const auto maxWidth = scaled(width, maximum->first);
    const auto maxHeight = scaled(height, maximum->second);
    if (!x0 || !y0 || !x1 || !y1 || !minWidth || !minHeight || !maxWidth || !maxHeight)
        return;

    const std::string text = std::to_string(*x0) + "," + std::to_string(*y0) + "," +
                             std::to_string(limited(*minWidth, width)) + "," +
                             std::to_string(limited(*minHeight, height)) + "," +
                             std::to_string(*x1) + "," + std::to_string(*y1) + "," +
                             std::to_string(limited(*maxWidth, width)) + "," +
                             std::to_string(limited(*maxHeight, height));
    cameraWrite(name, plainWriteQuery(name, text), reply);
}

}  // namespace qo::vms_server_plugins::analytics::lumo
