// EventMetadata: the library's IEventMetadata, one event reported to the server: its type,
// caption, description, whether it is an ongoing (active) event, its track and attributes in the
// order added.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qo/sdk/analytics/i_event_metadata.h"
#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics {

class EventMetadata : public RefCountable<IEventMetadata> {
public:
    EventMetadata() = default;

    const char* typeId() const override;
    float confidence() const override;
    /** One reference for the caller, or null when out of range. */
    const IAttribute* getAttribute(int32_t index) const override;
    int32_t attributeCount() const override;
    const char* caption() const override;
    const char* description() const override;
    bool isActive() const override;
    /** A null out-parameter is reported and nothing is written. */
    void getTrackId(Uuid* outValue) const override;
    const char* key() const override;

    void setTypeId(std::string typeId);
    void setConfidence(float confidence);
    void setCaption(std::string caption);
    void setDescription(std::string description);
    void setIsActive(bool isActive);
    void setTrackId(const Uuid& trackId);
    void setKey(std::string key);

    /** A null attribute is reported and ignored. */
    void addAttribute(Ptr<Attribute> attribute);
    void addAttributes(const std::vector<Ptr<Attribute>>& attributes);
    void addAttributes(std::vector<Ptr<Attribute>>&& attributes);

private:
    std::string m_typeId;
    float m_confidence = 1.0F;
    std::string m_caption;
    std::string m_description;
    bool m_isActive = false;
    std::vector<Ptr<Attribute>> m_attributes;
    Uuid m_trackId;
    std::string m_key;
};

}  // namespace qo::sdk::analytics
