#include "qo/sdk/analytics/helpers/object_metadata.h"

#include <utility>

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

const char* ObjectMetadata::typeId() const {
    return m_typeId.c_str();
}

float ObjectMetadata::confidence() const {
    return m_confidence;
}

const IAttribute* ObjectMetadata::getAttribute(int32_t index) const {
    if (index < 0 || index >= attributeCount())
        return nullptr;
    return shareToPtr(m_attributes[static_cast<size_t>(index)].get()).releasePtr();
}

int32_t ObjectMetadata::attributeCount() const {
    return static_cast<int32_t>(m_attributes.size());
}

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

void ObjectMetadata::setTypeId(std::string typeId) {
    m_typeId = std::move(typeId);
}

void ObjectMetadata::setConfidence(float confidence) {
    m_confidence = confidence;
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

void ObjectMetadata::addAttribute(Ptr<Attribute> attribute) {
    QO_ASSERT(attribute, "");
    if (attribute)
        m_attributes.push_back(std::move(attribute));
}

void ObjectMetadata::addAttributes(const std::vector<Ptr<Attribute>>& attributes) {
    for (const Ptr<Attribute>& attribute : attributes)
        addAttribute(attribute);
}

void ObjectMetadata::addAttributes(std::vector<Ptr<Attribute>>&& attributes) {
    for (Ptr<Attribute>& attribute : attributes)
        addAttribute(std::move(attribute));
    attributes.clear();
}

}  // namespace qo::sdk::analytics
