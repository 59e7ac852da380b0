#include "lumo/settings_model.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "lumo/settings_numbers.h"

namespace qo::vms_server_plugins::analytics::lumo {

// The text of settings_model.json, embedded by the build.
extern const char kSettingsModelText[];
extern const std::size_t kSettingsModelTextSize;

namespace {

using Json = nlohmann::ordered_json;

// What the server stores for a figure that nobody has drawn yet.
constexpr char kEmptyFigure[] = R"({"figure":null,"label":"","showOnCamera":false})";

bool isFigure(const Json& element) {
    const auto type = element.find("type");
    return type != element.end() && type->is_string() &&
           (*type == "PolygonFigure" || *type == "LineFigure");
}

std::string defaultText(const Json& element) {
    const auto value = element.find("defaultValue");
    if (value == element.end())
        return isFigure(element) ? kEmptyFigure : "";
    if (value->is_boolean())
        return value->get<bool>() ? "true" : "false";
    if (value->is_string())
        return value->get<std::string>();
    if (value->is_number_integer())
        return value->dump();
    if (value->is_number_float()) {
        // A whole number written with a fraction ("5.0") is still stored as "5".
        const double number = value->get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9.0e15) {
            return std::to_string(static_cast<long long>(number));
        }
    }
    return value->dump();
}

int repeaterCount(const Json& repeater) {
    const auto count = repeater.find("count");
    if (count != repeater.end()) {
        if (count->is_number_unsigned() &&
            count->get<unsigned long long>() <=
                static_cast<unsigned long long>(std::numeric_limits<int>::max())) {
            return static_cast<int>(count->get<unsigned long long>());
        }
        if (count->is_string()) {
            const auto& text = count->get_ref<const std::string&>();
            if (!text.empty() && text.size() <= 9 &&
                text.find_first_not_of("0123456789") == std::string::npos) {
                return *parseWholeNumber(text);
            }
        }
    }
    throw std::invalid_argument("repeater count is not a whole number: " +
                                (count == repeater.end() ? std::string("none") : count->dump()));
}

std::string replaceMarks(std::string name, const std::string& number) {
    for (size_t pos = name.find('#'); pos != std::string::npos; pos = name.find('#', pos)) {
        name.replace(pos, 1, number);
        pos += number.size();
    }
    return name;
}

// The copy number is empty outside repeaters; inside, every "#" of a name becomes it.
void collectDefaults(const Json& element, const std::string& copyNumber,
                     std::map<std::string, std::string>& defaults) {
    if (element.is_array()) {
        for (const auto& child : element)
            collectDefaults(child, copyNumber, defaults);
        return;
    }
    if (!element.is_object())
        return;

    const auto type = element.find("type");
    if (type != element.end() && *type == "Repeater") {
        const int count = repeaterCount(element);
        const auto templ = element.find("template");
        if (templ == element.end())
            return;
        for (int copy = 1; copy <= count; ++copy)
            collectDefaults(*templ, std::to_string(copy), defaults);
        return;
    }

    const auto name = element.find("name");
    if (name != element.end() && name->is_string()) {
        std::string settingName = name->get<std::string>();
        if (!copyNumber.empty())
            settingName = replaceMarks(std::move(settingName), copyNumber);
        if (!defaults.emplace(settingName, defaultText(element)).second)
            throw std::invalid_argument("setting name occurs twice: " + settingName);
    }

    for (const char* key : {"items", "sections"}) {
        const auto children = element.find(key);
        if (children != element.end())
            collectDefaults(*children, copyNumber, defaults);
    }
}

}  // namespace

std::string settingsModel() {
    return std::string(kSettingsModelText, kSettingsModelTextSize);
}

std::map<std::string, std::string> settingsModelDefaults(const std::string& modelJson) {
    const Json model = Json::parse(modelJson, nullptr, /*allow_exceptions*/ false);
    if (!model.is_object())
        throw std::invalid_argument("settings model is not a JSON object");
    std::map<std::string, std::string> defaults;
    collectDefaults(model, "", defaults);
    return defaults;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
