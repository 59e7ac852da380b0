// Documents in the camera's dialect for the parser's tests, and a fixture that parses them the
// way the device agent does: a private writable copy with a NUL after it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lumo/metadata.h"

namespace lumo_test {

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;
using PayloadPtr = std::unique_ptr<Metadata::_Payload>;

inline std::string document(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<tt:MetaDataStream xmlns:tt=\"http://www.onvif.org/ver10/schema\" "
           "xmlns:wsnt=\"http://docs.oasis-open.org/wsn/b-2\" "
           "xmlns:tns1=\"http://www.onvif.org/ver10/topics\" "
           "xmlns:fc=\"http://www.onvif.org/ver20/analytics/humanface\" "
           "xmlns:bd=\"http://www.onvif.org/ver20/analytics/humanbody\" "
           "xmlns:tod=\"http://www.lumovane.com/onvif/tod\">\n" +
           body + "\n</tt:MetaDataStream>\n";
}

inline std::string frame(const std::string& content,
                         const std::string& utcTime = "2024-05-14T09:21:07.512Z") {
    return "<tt:VideoAnalytics><tt:Frame UtcTime=\"" + utcTime + "\">" + content +
           "</tt:Frame></tt:VideoAnalytics>";
}

inline std::string object(int id, const std::string& appearance) {
    return "<tt:Object ObjectId=\"" + std::to_string(id) + "\"><tt:Appearance>" + appearance +
           "</tt:Appearance></tt:Object>";
}

inline std::string cluster(int x, int y, int z) {
    return "<tt:ColorCluster><tt:Color X=\"" + std::to_string(x) + "\" Y=\"" + std::to_string(y) +
           "\" Z=\"" + std::to_string(z) + "\"/><tt:Weight>0.5</tt:Weight></tt:ColorCluster>";
}

inline std::string item(const std::string& name, const std::string& value) {
    return "<tt:SimpleItem Name=\"" + name + "\" Value=\"" + value + "\"/>";
}

inline std::string event(const std::string& topic, const std::string& sourceItems,
                         const std::string& dataItems) {
    return "<tt:Event><wsnt:NotificationMessage><wsnt:Topic "
           "Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet\">" +
           topic +
           "</wsnt:Topic><wsnt:Message><tt:Message UtcTime=\"2024-05-14T09:21:07.600Z\" "
           "PropertyOperation=\"Changed\"><tt:Source>" +
           sourceItems + "</tt:Source><tt:Data>" + dataItems +
           "</tt:Data></tt:Message></wsnt:Message></wsnt:NotificationMessage></tt:Event>";
}

inline PayloadPtr parseText(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return PayloadPtr(Metadata::ConvertToPayload(buffer.data(), static_cast<int>(text.size())));
}

class ParserTest : public ::testing::Test {
protected:
    static PayloadPtr parse(const std::string& text) { return parseText(text); }

    // Parses a frame holding one object with this appearance and keeps the payload alive.
    const Metadata::_Object& onlyObject(const std::string& appearance) {
        m_payload = parse(document(frame(object(7, appearance))));
        if (!m_payload || m_payload->objectCount != 1)
            throw std::runtime_error("expected one object");
        return *m_payload->objects[0];
    }

    const Metadata::_Event& onlyEvent(const std::string& eventText) {
        m_payload = parse(document(eventText));
        if (!m_payload || m_payload->eventCount != 1)
            throw std::runtime_error("expected one event");
        return *m_payload->events[0];
    }

private:
    PayloadPtr m_payload;
};

}  // namespace lumo_test
