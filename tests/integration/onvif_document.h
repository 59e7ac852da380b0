// Metadata documents in the camera's dialect, built in code so that every test shows what it
// feeds: a "tt:MetaDataStream" with one "tt:VideoAnalytics"/"tt:Frame" (its "tt:Transformation"
// and its "tt:Object" elements) and any number of "tt:Event" notifications.
//
//   OnvifDocument().scale(kScaleX, kScaleY)
//       .object(CameraObject::person(7).box(256, 128, 512, 384))
//       .event(CameraEvent(kTopicRegion).source("Rule", "Region2").data("Actions", "Enter"))
//       .str();
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

// The camera's scale for a coordinate frame of 1024 x 512 units.
inline constexpr float kScaleX = 0.001953125F;
inline constexpr float kScaleY = -0.00390625F;

struct Yuv {
    int y;
    int u;
    int v;
};

// Colours whose names are known: full-range YCbCr of the table's RGB values.
inline constexpr Yuv kYuvGray{128, 128, 128};
inline constexpr Yuv kYuvBlack{0, 128, 128};
inline constexpr Yuv kYuvWhite{255, 128, 128};
inline constexpr Yuv kYuvRed{76, 85, 255};

inline std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));
    return text;
}

inline std::string colorElement(const Yuv& c) {
    return "<tt:Color X=\"" + std::to_string(c.y) + "\" Y=\"" + std::to_string(c.u) + "\" Z=\"" +
           std::to_string(c.v) + "\"/>";
}

inline std::string colorClusters(const std::vector<Yuv>& colors) {
    std::string text = "<tt:Color>";
    for (const Yuv& c : colors)
        text +=
            "<tt:ColorCluster>" + colorElement(c) + "<tt:Weight>0.5</tt:Weight></tt:ColorCluster>";
    return text + "</tt:Color>";
}

/** One "tt:Object" of the frame. */
class CameraObject {
public:
    static CameraObject person(int id) { return CameraObject(id, "Person"); }
    static CameraObject head(int id) { return CameraObject(id, "HumanHead"); }
    static CameraObject vehicle(int id, std::string vehicleType) {
        CameraObject object(id, "Vehicle");
        object.m_vehicleType = std::move(vehicleType);
        return object;
    }
    static CameraObject ofClass(int id, std::string classType) {
        return CameraObject(id, std::move(classType));
    }

    CameraObject& box(float left, float top, float right, float bottom) {
        m_box = {left, top, right, bottom};
        return *this;
    }
    CameraObject& imageRef(std::string url) {
        m_imageRef = std::move(url);
        return *this;
    }
    CameraObject& face(std::string gender, bool eyewear, bool mask, bool hat, bool helmet) {
        m_face = Face{std::move(gender), eyewear, mask, hat, helmet};
        return *this;
    }
    CameraObject& tops(std::vector<Yuv> colors) {
        m_tops = std::move(colors);
        return *this;
    }
    CameraObject& bottom(Yuv color) {
        m_bottom = color;
        return *this;
    }
    CameraObject& bag(std::string category) {
        m_bag = std::move(category);
        return *this;
    }
    CameraObject& vehicleColor(Yuv color) {
        m_vehicleColor = color;
        return *this;
    }

    std::string str() const {
        std::string text = "<tt:Object ObjectId=\"" + std::to_string(m_id) + "\"><tt:Appearance>";
        if (m_box) {
            const auto& [left, top, right, bottom] = *m_box;
            text += "<tt:Shape><tt:BoundingBox left=\"" + number(left) + "\" top=\"" + number(top) +
                    "\" right=\"" + number(right) + "\" bottom=\"" + number(bottom) +
                    "\"/><tt:CenterOfGravity x=\"" + number((left + right) / 2) + "\" y=\"" +
                    number((top + bottom) / 2) + "\"/></tt:Shape>";
        }
        text += "<tt:Class><tt:Type Likelihood=\"0.9\">" + m_classType + "</tt:Type></tt:Class>";
        if (m_vehicleType || m_vehicleColor) {
            text += "<tt:VehicleInfo>";
            if (m_vehicleType)
                text += "<tt:Type Likelihood=\"0.8\">" + *m_vehicleType + "</tt:Type>";
            if (m_vehicleColor)
                text += colorClusters({*m_vehicleColor});
            text += "</tt:VehicleInfo>";
        }
        if (m_face) {
            const auto wear = [](const char* name, bool on) {
                return std::string("<fc:") + name + "><fc:Wear>" + (on ? "true" : "false") +
                       "</fc:Wear></fc:" + name + ">";
            };
            text += "<tt:HumanFace><fc:Gender>" + m_face->gender + "</fc:Gender><fc:Accessory>" +
                    wear("Opticals", m_face->eyewear) + wear("Mask", m_face->mask) +
                    wear("Hat", m_face->hat) + wear("Helmet", m_face->helmet) +
                    "</fc:Accessory></tt:HumanFace>";
        }
        if (!m_tops.empty() || m_bottom || m_bag) {
            text += "<tt:HumanBody><bd:Clothing>";
            if (!m_tops.empty())
                text += "<bd:Tops>" + colorClusters(m_tops) + "</bd:Tops>";
            if (m_bottom)
                text += "<bd:Bottoms>" + colorClusters({*m_bottom}) + "</bd:Bottoms>";
            text += "</bd:Clothing>";
            if (m_bag)
                text += "<bd:Belonging><bd:Bag><bd:Category>" + *m_bag +
                        "</bd:Category></bd:Bag></bd:Belonging>";
            text += "</tt:HumanBody>";
        }
        if (m_imageRef) {
            text += "<tt:ImageRef>" + *m_imageRef +
                    "</tt:ImageRef><tod:CaptureTime>2024-05-14T09:21:07.480Z</tod:CaptureTime>";
        }
        return text + "</tt:Appearance></tt:Object>";
    }

private:
    struct Box {
        float left, top, right, bottom;
    };
    struct Face {
        std::string gender;
        bool eyewear, mask, hat, helmet;
    };

    CameraObject(int id, std::string classType) : m_id(id), m_classType(std::move(classType)) {}

    int m_id;
    std::string m_classType;
    std::optional<std::string> m_vehicleType;
    std::optional<Box> m_box;
    std::optional<std::string> m_imageRef;
    std::optional<Face> m_face;
    std::vector<Yuv> m_tops;
    std::optional<Yuv> m_bottom;
    std::optional<std::string> m_bag;
    std::optional<Yuv> m_vehicleColor;
};

/** One "tt:Event" notification; items keep their order, and either attribute may be left out. */
class CameraEvent {
public:
    using Item = std::pair<std::optional<std::string>, std::optional<std::string>>;

    /** An event without "wsnt:Topic". */
    CameraEvent() = default;
    explicit CameraEvent(std::string topic) : m_topic(std::move(topic)) {}

    CameraEvent& source(std::optional<std::string> name, std::optional<std::string> value) {
        m_source.emplace_back(std::move(name), std::move(value));
        return *this;
    }
    CameraEvent& data(std::optional<std::string> name, std::optional<std::string> value) {
        m_data.emplace_back(std::move(name), std::move(value));
        return *this;
    }

    std::string str() const {
        std::string text = "<tt:Event><wsnt:NotificationMessage>";
        if (m_topic) {
            text +=
                "<wsnt:Topic Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/"
                "ConcreteSet\">" +
                *m_topic + "</wsnt:Topic>";
        }
        text +=
            "<wsnt:Message><tt:Message UtcTime=\"2024-05-14T09:21:07.600Z\" "
            "PropertyOperation=\"Changed\"><tt:Source>" +
            items(m_source) + "</tt:Source><tt:Data>" + items(m_data) +
            "</tt:Data></tt:Message></wsnt:Message></wsnt:NotificationMessage></tt:Event>";
        return text;
    }

private:
    static std::string items(const std::vector<Item>& list) {
        std::string text;
        for (const auto& [name, value] : list) {
            text += "<tt:SimpleItem";
            if (name)
                text += " Name=\"" + *name + "\"";
            if (value)
                text += " Value=\"" + *value + "\"";
            text += "/>";
        }
        return text;
    }

    std::optional<std::string> m_topic;
    std::vector<Item> m_source;
    std::vector<Item> m_data;
};

/** A whole document. Without objects or a scale, the frame is still written (empty). */
class OnvifDocument {
public:
    /** The frame's "tt:Scale"; without it the frame has no "tt:Transformation". */
    OnvifDocument& scale(float x, float y) {
        m_scale = std::make_pair(x, y);
        return *this;
    }
    OnvifDocument& object(const CameraObject& object) {
        m_objects += object.str();
        return *this;
    }
    OnvifDocument& event(const CameraEvent& event) {
        m_events += event.str();
        return *this;
    }
    /** Leaves out "tt:VideoAnalytics" altogether. */
    OnvifDocument& withoutFrame() {
        m_frame = false;
        return *this;
    }

    std::string str() const {
        std::string text =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<tt:MetaDataStream xmlns:tt=\"http://www.onvif.org/ver10/schema\" "
            "xmlns:wsnt=\"http://docs.oasis-open.org/wsn/b-2\" "
            "xmlns:tns1=\"http://www.onvif.org/ver10/topics\" "
            "xmlns:fc=\"http://www.onvif.org/ver20/analytics/humanface\" "
            "xmlns:bd=\"http://www.onvif.org/ver20/analytics/humanbody\" "
            "xmlns:tod=\"http://www.lumovane.com/onvif/tod\">\n";
        if (m_frame) {
            text += "<tt:VideoAnalytics><tt:Frame UtcTime=\"2024-05-14T09:21:07.512Z\">";
            if (m_scale) {
                text += "<tt:Transformation><tt:Translate x=\"-1\" y=\"1\"/><tt:Scale x=\"" +
                        number(m_scale->first) + "\" y=\"" + number(m_scale->second) +
                        "\"/></tt:Transformation>";
            }
            text += m_objects + "</tt:Frame></tt:VideoAnalytics>\n";
        }
        return text + m_events + "</tt:MetaDataStream>\n";
    }

private:
    std::optional<std::pair<float, float>> m_scale;
    std::string m_objects;
    std::string m_events;
    bool m_frame = true;
};

}  // namespace lumo_test
