#include "qo/sdk/analytics/helpers/event_metadata.h"

#include <utility>

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

const char* EventMetadata::typeId() const {
    return m_typeId.c_str();
}

float EventMetadata::confidence() const {
    return m_confidence;
}

const IAttribute* EventMetadata::getAttribute(int32_t index) const {
    if (index < 0 || index >= attributeCount())
        return nullptr;
    return shareToPtr(m_attributes[static_cast<size_t>(index)].get()).releasePtr();
}

int32_t EventMetadata::attributeCount() const {
    return static_cast<int32_t>(m_attributes.size());
}

const char* EventMetadata::caption() const {
    return m_caption.c_str();
}

const char* EventMetadata::description() const {
    return m_description.c_str();
}

bool EventMetadata::isActive() const {
    return m_isActive;
}

void EventMetadata::getTrackId(Uuid* outValue) const {
    QO_ASSERT(outValue, "");
    if (outValue)
        *outValue = m_trackId;
}

const char* EventMetadata::key() const {
    return m_key.c_str();
}

void EventMetadata::setTypeId(std::string typeId) {
    m_typeId = std::move(typeId);
}

void EventMetadata::setConfidence(float confidence) {
    m_confidence = confidence;
}

void EventMetadata::setCaption(std::string caption) {
    m_caption = std::move(caption);
}

void EventMetadata::setDescription(std::string description) {
    m_description = std::move(description);
}

void EventMetadata::setIsActive(bool isActive) {
    m_isActive = isActive;
}

void EventMetadata::setTrackId(const Uuid& trackId) {
    m_trackId = trackId;
}

void EventMetadata::setKey(std::string key) {
    m_key = std::move(key);
}

void EventMetadata::addAttribute(Ptr<Attribute> attribute) {
    QO_ASSERT(attribute, "");
    if (attribute)
        m_attributes.push_back(std::move(attribute));
}

void EventMetadata::addAttributes(const std::vector<Ptr<Attribute>>& attributes) {
    for (const Ptr<Attribute>& attribute : attributes)
        addAttribute(attribute);
}

void EventMetadata::addAttributes(std::vector<Ptr<Attribute>>&& attributes) {
    for (Ptr<Attribute>& attribute : attributes)
        addAttribute(std::move(attribute));
    attributes.clear();
}

}  // namespace qo::sdk::analytics
