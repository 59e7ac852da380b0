#include "qo/sdk/helpers/log_utils.h"

#include <utility>
#include <vector>

#include "qo/kit/debug.h"
#include "qo/kit/utils.h"

namespace qo::sdk {

void LogUtils::print(const std::string& text) const {
    kit::debug::detail::printLine(m_printPrefix, text);
}

bool LogUtils::convertAndOutputStringMap(std::map<std::string, std::string>* outMap,
                                         const IStringMap* stringMap, const std::string& caption,
                                         int outputIndent) const {
    if (!stringMap) {
        print("ERROR: stringMap is null");
        return false;
    }
    if (!outMap) {
        print("ERROR: outMap is null");
        return false;
    }
    const int32_t count = stringMap->count();
    if (count < 0) {
        print("ERROR: " + caption + ": count is " + std::to_string(count));
        return false;
    }

    // Read everything first: a server map that breaks its promise half-way must not leave a
    // half-merged map behind.
    std::vector<std::pair<std::string, std::string>> items;
    for (int32_t i = 0; i < count; ++i) {
        const char* key = stringMap->key(i);
        const char* value = stringMap->value(i);
        if (!key || !value) {
            print("ERROR: " + caption + ": item " + std::to_string(i) + " has a null " +
                  (key ? "value" : "key"));
            return false;
        }
        items.emplace_back(key, value);
    }

    const std::string indent(static_cast<size_t>(outputIndent > 0 ? outputIndent : 0), ' ');
    if (m_enableOutput) {
        if (!caption.empty())
            print(indent + caption + ":");
        print(indent + "{");
    }
    for (size_t i = 0; i < items.size(); ++i) {
        const auto& [key, value] = items[i];
        if (m_enableOutput) {
            print(indent + "    " + kit::utils::toString(key) + ": " + kit::utils::toString(value) +
                  (i + 1 < items.size() ? "," : ""));
        }
        (*outMap)[key] = value;
    }
    if (m_enableOutput)
        print(indent + "}");
    return true;
}

}  // namespace qo::sdk
