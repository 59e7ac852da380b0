#include "qo/sdk/analytics/helpers/event_metadata.h"

#include <utility>

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

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

}  // namespace qo::sdk::analytics
