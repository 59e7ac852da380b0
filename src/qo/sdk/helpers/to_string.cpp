#include "qo/sdk/helpers/to_string.h"

#include "qo/kit/debug.h"
#include "qo/kit/utils.h"

namespace qo::sdk {

namespace {

std::string quoted(const char* s) {
    return kit::utils::toString(s);
}

}  // namespace

std::string indent(int overallIndent, int level) {
    const int spaces = (overallIndent > 0 ? overallIndent : 0) + 4 * (level > 0 ? level : 0);
    return std::string(static_cast<size_t>(spaces), ' ');
}

std::string toString(const IString* string) {
    if (!string)
        return "";
    const char* text = string->str();
    return text ? text : "";
}

std::string toString(const IStringMap* map, int overallIndent) {
    if (!map)
        return "";
    std::string result;
    const int32_t count = map->count();
    for (int32_t i = 0; i < count; ++i) {
        result += indent(overallIndent, 0) + "[" + quoted(map->key(i)) +
                  "]: " + quoted(map->value(i)) + "\n";
    }
    return result;
}

std::string toJsonString(const IStringMap* map, int overallIndent) {
    QO_ASSERT(map, "");
    if (!map)
        return "[]\n";
    std::string result = indent(overallIndent, 0) + "[\n";
    const int32_t count = map->count();
    for (int32_t i = 0; i < count; ++i) {
        result += indent(overallIndent, 1) + "{ \"name\": " + quoted(map->key(i)) +
                  ", \"value\": " + quoted(map->value(i)) + " }" + (i + 1 < count ? "," : "") +
                  "\n";
    }
    return result + indent(overallIndent, 0) + "]";
}

std::string toJsonString(const IDeviceInfo* deviceInfo, int overallIndent) {
    QO_ASSERT(deviceInfo, "");
    if (!deviceInfo)
        return "{}\n";
    const std::string lineIndent = indent(overallIndent, 1);
    auto field = [&lineIndent](const char* name, const std::string& value) {
        return lineIndent + "\"" + name + "\": " + value + ",\n";
    };
    return indent(overallIndent, 0) + "{\n" + field("id", quoted(deviceInfo->id())) +
           field("vendor", quoted(deviceInfo->vendor())) +
           field("model", quoted(deviceInfo->model())) +
           field("firmware", quoted(deviceInfo->firmware())) +
           field("name", quoted(deviceInfo->name())) + field("url", quoted(deviceInfo->url())) +
           field("login", quoted(deviceInfo->login())) +
           field("channelNumber", std::to_string(deviceInfo->channelNumber())) +
           field("_password", "\"_hidden_\"") + field("sharedId", quoted(deviceInfo->sharedId())) +
           lineIndent + "\"logicalId\": " + quoted(deviceInfo->logicalId()) + "\n" +
           indent(overallIndent, 0) + "}";
}

}  // namespace qo::sdk
