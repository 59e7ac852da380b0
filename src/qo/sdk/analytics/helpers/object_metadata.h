// ObjectMetadata: the library's IObjectMetadata, one detected object of a frame: its type, track,
// bounding box (fractions of the frame), optional subtype and attributes in the order added.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qo/sdk/analytics/i_object_metadata.h"
#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics {

class ObjectMetadata : public RefCountable<IObjectMetadata> {
public:
    ObjectMetadata() = default;

    const char* typeId() const override;
    float confidence() const override;
    /** One reference for the caller, or null when out of range. */
    const IAttribute* getAttribute(int32_t index) const override;
    int32_t attributeCount() const override;
    /** A null out-parameter is reported and nothing is written. */
    void getTrackId(Uuid* outValue) const override;
    const char* subtype() const override;
    /** A null out-parameter is reported and nothing is written. */
    void getBoundingBox(Rect* outValue) const override;

    void setTypeId(std::string typeId);
    void setConfidence(float confidence);
    void setTrackId(const Uuid& trackId);
    void setSubtype(std::string subtype);
    void setBoundingBox(const Rect& boundingBox);

    /** A null attribute is reported and ignored. */
    void addAttribute(Ptr<Attribute> attribute);
    void addAttributes(const std::vector<Ptr<Attribute>>& attributes);
    void addAttributes(std::vector<Ptr<Attribute>>&& attributes);

private:
    std::string m_typeId;
    float m_confidence = 1.0F;
    Uuid m_trackId;
    std::string m_subtype;
    std::vector<Ptr<Attribute>> m_attributes;
    Rect m_boundingBox;
};

}  // namespace qo::sdk::analytics
