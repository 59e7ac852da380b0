// Metadata documents in the camera's dialect, built in code so that every test shows what it feeds.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumo_test {

inline constexpr char kTopicCounter[] = "tns1:RuleEngine/CountAggregation/Counter";
inline constexpr char kTopicSceneChange[] = "tns1:VideoSource/GlobalSceneChange/AnalyticsService";
inline constexpr char kTopicSettingChanged[] = "tns1:AI/AppSettingChanged";
inline constexpr char kTopicRegion[] = "tns1:RuleEngine/ObjectDetection/vndObjectEx";

inline std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));
    return text;
}

inline std::string document(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tt:MetaDataStream "
           "xmlns:tt=\"http://www.onvif.org/ver10/schema\">\n" +
           body + "</tt:MetaDataStream>\n";
}

inline std::string frame(const std::string& content) {
    return "<tt:VideoAnalytics><tt:Frame UtcTime=\"2024-05-14T09:21:07.512Z\">" + content +
           "</tt:Frame></tt:VideoAnalytics>\n";
}

inline std::string scale(float x, float y) {
    return "<tt:Transformation><tt:Translate x=\"-1\" y=\"1\"/><tt:Scale x=\"" + number(x) +
           "\" y=\"" + number(y) + "\"/></tt:Transformation>";
}
// The camera's scale for a coordinate frame of 1024 x 512 units.
inline const std::string kScale = scale(0.001953125F, -0.00390625F);

/** A "tt:Object" whose "tt:Appearance" holds its class and then `parts`. */
inline std::string object(int id, const std::string& classType, const std::string& parts = "") {
    return "<tt:Object ObjectId=\"" + std::to_string(id) +
           "\"><tt:Appearance><tt:Class><tt:Type Likelihood=\"0.9\">" + classType +
           "</tt:Type></tt:Class>" + parts + "</tt:Appearance></tt:Object>";
}
inline std::string vehicle(int id, const std::string& type, const std::string& parts = "") {
    return object(id, "Vehicle",
                  "<tt:VehicleInfo><tt:Type Likelihood=\"0.8\">" + type +
                      "</tt:Type></tt:VehicleInfo>" + parts);
}
inline std::string box(float left, float top, float right, float bottom) {
    return "<tt:Shape><tt:BoundingBox left=\"" + number(left) + "\" top=\"" + number(top) +
           "\" right=\"" + number(right) + "\" bottom=\"" + number(bottom) + "\"/></tt:Shape>";
}
inline std::string image(const std::string& url) {
    return "<tt:ImageRef>" + url +
           "</tt:ImageRef><tod:CaptureTime>2024-05-14T09:21:07.480Z</tod:CaptureTime>";
}

/** A notification; without topic it has no "wsnt:Topic"; an item may lack name or value. */
using Items = std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>>;
inline std::string event(const std::optional<std::string>& topic, const Items& source = {},
                         const Items& data = {}) {
    const auto items = [](const Items& list) {
        std::string text;
        for (const auto& [name, value] : list)
            text += "<tt:SimpleItem" + (name ? " Name=\"" + *name + "\"" : "") +
                    (value ? " Value=\"" + *value + "\"" : "") + "/>";
        return text;
    };
    return "<tt:Event><wsnt:NotificationMessage>" +
           (topic ? "<wsnt:Topic Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/"
                    "ConcreteSet\">" +
                        *topic + "</wsnt:Topic>"
                  : "") +
           "<wsnt:Message><tt:Message UtcTime=\"2024-05-14T09:21:07.600Z\" "
           "PropertyOperation=\"Changed\"><tt:Source>" +
           items(source) + "</tt:Source><tt:Data>" + items(data) +
           "</tt:Data></tt:Message></wsnt:Message></wsnt:NotificationMessage></tt:Event>\n";
}

}  // namespace lumo_test
