#include "qo/sdk/analytics/helpers/object_metadata.h"

#include <utility>

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

void ObjectMetadata::getTrackId(Uuid* outValue) const {
    QO_ASSERT(outValue, "");
    if (outValue)
        *outValue = m_trackId;
}

const char* ObjectMetadata::subtype() const {
    return m_subtype.c_str();
}

void ObjectMetadata::getBoundingBox(Rect* outValue) const {
    QO_ASSERT(outValue, "");
    if (outValue)
        *outValue = m_boundingBox;
}

void ObjectMetadata::setTrackId(const Uuid& trackId) {
    m_trackId = trackId;
}

void ObjectMetadata::setSubtype(std::string subtype) {
    m_subtype = std::move(subtype);
}

void ObjectMetadata::setBoundingBox(const Rect& boundingBox) {
    m_boundingBox = boundingBox;
}

}  // namespace qo::sdk::analytics
