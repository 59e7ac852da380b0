// Payloads as text, so one comparison checks every field a document filled in; the documents
// themselves come from the camera's writer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "lumo/metadata.h"
#include "onvif_document_writer.h"

namespace lumo_test {

namespace Metadata = qo::vms_server_plugins::analytics::lumo::Metadata;
using PayloadPtr = std::unique_ptr<Metadata::_Payload>;
using namespace lumo_camera::onvif;

inline PayloadPtr parseText(std::string text) {
    return PayloadPtr(Metadata::ConvertToPayload(text.data(), static_cast<int>(text.size())));
}

// What a document filled in an object; a flag that disagrees with its field shows as "(unflagged)".
inline std::string describe(const Metadata::_Object& o) {
    std::ostringstream s;
    const auto colour = [&](const char* name, bool flagged, const Metadata::_ColorYUV& c) {
        if (flagged || c.y != -1 || c.u != -1 || c.v != -1)
            s << ' ' << name << (flagged ? " " : "(unflagged) ") << c.y << ',' << c.u << ',' << c.v;
    };
    if (o.left || o.top || o.right || o.bottom)
        s << " box " << o.left << ',' << o.top << ',' << o.right << ',' << o.bottom;
    if (o.centerX || o.centerY)
        s << " centre " << o.centerX << ',' << o.centerY;
    if (*o.classType || o.classLikelihood)
        s << " class " << o.classType << '@' << o.classLikelihood;
    if (*o.vehicleType || o.vehicleLikelihood)
        s << " vehicle " << o.vehicleType << '@' << o.vehicleLikelihood;
    colour("vehicleColour", o.hasVehicleColor, o.vehicleColor);
    if (o.hasFace || *o.gender || o.eyewear || o.mask || o.hat || o.helmet) {
        s << " face" << (o.hasFace ? "" : "(unflagged)") << (*o.gender ? " " : "") << o.gender
          << (o.eyewear ? " eyewear" : "") << (o.mask ? " mask" : "") << (o.hat ? " hat" : "")
          << (o.helmet ? " helmet" : "");
    }
    colour("top", o.hasTopColor, o.topColors[0]);
    colour("top2", o.hasTopColor && o.topColors[1].y != -1, o.topColors[1]);
    colour("bottom", o.hasBottomColor, o.bottomColor);
    if (o.hasBag || *o.bagCategory)
        s << " bag" << (o.hasBag ? " " : "(unflagged) ") << o.bagCategory;
    s << (o.imageRef ? " image " : "") << (o.imageRef ? o.imageRef : "")
      << (*o.captureTime ? " captured " : "") << o.captureTime;
    return s.str().empty() ? "" : s.str().substr(1);
}

// Topic, time, and each group's count and items; an item stored past the count shows too.
inline std::string describe(const Metadata::_Event& e) {
    std::ostringstream s;
    s << (e.topic ? e.topic : "-") << " @" << e.utcTime;
    const auto group = [&s](const char* label, char* const* names, char* const* values, int count) {
        s << ' ' << label << ' ' << count << ':';
        for (int i = 0; i < Metadata::kMaxEventItems; ++i) {
            if (i < count || names[i] || values[i])
                s << ' ' << (names[i] ? names[i] : "-") << '=' << (values[i] ? values[i] : "-");
        }
    };
    group("source", e.sourceNames, e.sourceValues, e.sourceCount);
    group("data", e.dataNames, e.dataValues, e.dataCount);
    return s.str();
}

inline std::string describe(const Metadata::_Payload& p) {
    std::ostringstream s;
    if (*p.utcTime || p.translateX || p.translateY || p.scaleX || p.scaleY)
        s << "\nframe @" << p.utcTime << " translate " << p.translateX << ',' << p.translateY
          << " scale " << p.scaleX << ',' << p.scaleY;
    for (int i = 0; i < p.objectCount; ++i) {
        const std::string filled = " " + describe(*p.objects[i]);
        s << "\nobject " << p.objects[i]->objectId << '/' << p.objects[i]->parentId
          << (filled.size() > 1 ? filled : "");
    }
    for (int i = 0; i < p.eventCount; ++i)
        s << "\nevent " << describe(*p.events[i]);
    return s.str().empty() ? "" : s.str().substr(1);
}

inline std::string read(const std::string& text) {
    const PayloadPtr payload = parseText(text);
    return payload ? describe(*payload) : "null";
}

inline std::string describeObject(const std::string& appearance) {
    const PayloadPtr payload = parseText(document(frame(object(7, appearance))));
    return payload && payload->objectCount == 1 ? describe(*payload->objects[0]) : "not one object";
}

inline void expectObjects(std::initializer_list<std::pair<std::string, std::string>> cases) {
    for (const auto& [appearance, described] : cases)
        EXPECT_EQ(describeObject(appearance), described) << appearance;
}

}  // namespace lumo_test
