#include "server/result_records.h"

#include "qo/sdk/i_string.h"

namespace lumo::host {

using qo::sdk::ErrorCode;

std::string takeError(qo::sdk::Error* error) {
    std::string message;
    if (error->errorMessage) {
        const char* text = error->errorMessage->str();
        message = text ? text : "";
        error->errorMessage->releaseRef();
        error->errorMessage = nullptr;
    }
    if (error->errorCode == ErrorCode::noError && message.empty())
        return "";
    return qo::sdk::toString(error->errorCode) + ": " +
           (message.empty() ? "(no message)" : message);
}

std::string takeText(const qo::sdk::IString* text) {
    const qo::sdk::Ptr<const qo::sdk::IString> owned(text);
    if (!owned)
        return "";
    const char* str = owned->str();
    return str ? str : "";
}

std::map<std::string, std::string> toStdMap(const qo::sdk::IStringMap* map) {
    std::map<std::string, std::string> result;
    if (!map)
        return result;
    const int32_t count = map->count();
    for (int32_t i = 0; i < count; ++i) {
        const char* key = map->key(i);
        const char* value = map->value(i);
        if (key)
            result[key] = value ? value : "";
    }
    return result;
}

SettingsResponseContents readSettingsResponse(const qo::sdk::ISettingsResponse* response) {
    SettingsResponseContents contents;
    if (!response)
        return contents;
    const qo::sdk::Ptr<const qo::sdk::IStringMap> values(response->getValues());
    const qo::sdk::Ptr<const qo::sdk::IStringMap> errors(response->getErrors());
    contents.values = toStdMap(values.get());
    contents.errors = toStdMap(errors.get());
    // A plugin may answer only the older interface, which has no model.
    if (const auto latest =
            qo::sdk::queryInterfacePtr<const qo::sdk::ISettingsResponse>(response)) {
        const qo::sdk::IString* model = latest->getModel();
        contents.hasModel = model != nullptr;
        contents.model = takeText(model);
    }
    return contents;
}

}  // namespace lumo::host
