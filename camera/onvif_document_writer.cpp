#include "onvif_document_writer.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace lumo_camera::onvif {

std::string utcTime(int64_t us) {
    const time_t seconds = static_cast<time_t>(us / 1'000'000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(us / 1000 % 1000));
    return text;
}

std::string number(double value) {
    char text[32];
    for (int digits = 1; digits < 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (static_cast<float>(std::strtod(text, nullptr)) == static_cast<float>(value))
            break;
    }
    return text;
}

std::string document(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<tt:MetaDataStream xmlns:tt=\"http://www.onvif.org/ver10/schema\" "
           "xmlns:wsnt=\"http://docs.oasis-open.org/wsn/b-2\" "
           "xmlns:tns1=\"http://www.onvif.org/ver10/topics\" "
           "xmlns:fc=\"http://www.onvif.org/ver20/analytics/humanface\" "
           "xmlns:bd=\"http://www.onvif.org/ver20/analytics/humanbody\" "
           "xmlns:tod=\"http://www.lumovane.com/onvif/tod\">\n" +
           body + "</tt:MetaDataStream>\n";
}

std::string frame(const std::string& content, const std::string& time) {
    return "<tt:VideoAnalytics><tt:Frame UtcTime=\"" + time + "\">" + content +
           "</tt:Frame></tt:VideoAnalytics>\n";
}

std::string transformation(double scaleX, double scaleY) {
    return "<tt:Transformation><tt:Translate x=\"-1.0\" y=\"1.0\"/><tt:Scale x=\"" +
           number(scaleX) + "\" y=\"" + number(scaleY) + "\"/></tt:Transformation>\n";
}

std::string object(int64_t id, const std::string& appearance) {
    return "<tt:Object ObjectId=\"" + std::to_string(id) + "\"><tt:Appearance>" + appearance +
           "</tt:Appearance></tt:Object>\n";
}

std::string shape(double left, double top, double right, double bottom, bool centre) {
    std::string text = "<tt:Shape><tt:BoundingBox left=\"" + number(left) + "\" top=\"" +
                       number(top) + "\" right=\"" + number(right) + "\" bottom=\"" +
                       number(bottom) + "\"/>";
    if (centre) {
        text += "<tt:CenterOfGravity x=\"" + number((left + right) / 2) + "\" y=\"" +
                number((top + bottom) / 2) + "\"/>";
    }
    return text + "</tt:Shape>";
}

std::string classType(const std::string& type, const std::string& likelihood) {
    return "<tt:Class><tt:Type Likelihood=\"" + likelihood + "\">" + type + "</tt:Type></tt:Class>";
}

std::string vehicleInfo(const std::string& type, const std::string& likelihood,
                        const std::string& parts) {
    return "<tt:VehicleInfo><tt:Type Likelihood=\"" + likelihood + "\">" + type + "</tt:Type>" +
           parts + "</tt:VehicleInfo>";
}

std::string colourCluster(int y, int u, int v, const std::string& weight) {
    return "<tt:ColorCluster><tt:Color X=\"" + std::to_string(y) + "\" Y=\"" + std::to_string(u) +
           "\" Z=\"" + std::to_string(v) + "\"/><tt:Weight>" + weight +
           "</tt:Weight></tt:ColorCluster>";
}

std::string colour(const std::string& clusters) {
    return "<tt:Color>" + clusters + "</tt:Color>";
}

std::string imageRef(const std::string& url, const std::string& captureTime) {
    return "<tt:ImageRef>" + url + "</tt:ImageRef><tod:CaptureTime>" + captureTime +
           "</tod:CaptureTime>";
}

std::string humanFace(const Face& face) {
    const auto wear = [](const char* what, bool worn) {
        return std::string("<fc:") + what + "><fc:Wear>" + (worn ? "true" : "false") +
               "</fc:Wear></fc:" + what + ">";
    };
    return "<tt:HumanFace><fc:Gender>" + face.gender + "</fc:Gender><fc:Accessory>" +
           wear("Opticals", face.eyewear) + wear("Mask", face.mask) + wear("Hat", face.hat) +
           wear("Helmet", face.helmet) + "</fc:Accessory></tt:HumanFace>";
}

std::string humanBody(const Body& body) {
    std::string text = "<tt:HumanBody><bd:Clothing><bd:Tops><bd:Category>" + body.topCategory +
                       "</bd:Category>" + body.topColour + "</bd:Tops><bd:Bottoms><bd:Category>" +
                       body.bottomCategory + "</bd:Category>" + body.bottomColour +
                       "</bd:Bottoms></bd:Clothing>";
    if (!body.bag.empty())
        text += "<bd:Belonging><bd:Bag><bd:Category>" + body.bag +
                "</bd:Category></bd:Bag></bd:Belonging>";
    return text + "</tt:HumanBody>";
}

std::string event(const std::optional<std::string>& topic, const Items& source, const Items& data,
                  const std::string& time) {
    const auto items = [](const char* group, const Items& list) {
        std::string text = std::string("<tt:") + group + ">";
        for (const auto& [name, value] : list) {
            text += "<tt:SimpleItem" + (name ? " Name=\"" + *name + "\"" : "") +
                    (value ? " Value=\"" + *value + "\"" : "") + "/>";
        }
        return text + "</tt:" + group + ">";
    };
    std::string text = "<tt:Event><wsnt:NotificationMessage>";
    if (topic) {
        text +=
            "<wsnt:Topic Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/"
            "ConcreteSet\">" +
            *topic + "</wsnt:Topic>";
    }
    return text + "<wsnt:Message><tt:Message UtcTime=\"" + time +
           "\" PropertyOperation=\"Changed\">" + items("Source", source) + items("Data", data) +
           "</tt:Message></wsnt:Message></wsnt:NotificationMessage></tt:Event>\n";
}

}  // namespace lumo_camera::onvif
