// ObjectMetadata: the library's IObjectMetadata, one detected object of a frame: its type, track,
// bounding box (fractions of the frame), optional subtype and attributes in the order added.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include <string>

#include "qo/sdk/analytics/helpers/metadata_base.h"
#include "qo/sdk/analytics/i_object_metadata.h"

namespace qo::sdk::analytics {

class ObjectMetadata : public MetadataBase<IObjectMetadata> {
public:
    ObjectMetadata() = default;

    /** A null out-parameter is reported and nothing is written. */
    void getTrackId(Uuid* outValue) const override;
    const char* subtype() const override;
    /** A null out-parameter is reported and nothing is written. */
    void getBoundingBox(Rect* outValue) const override;

    void setTrackId(const Uuid& trackId);
    void setSubtype(std::string subtype);
    void setBoundingBox(const Rect& boundingBox);

private:
    Uuid m_trackId;
    std::string m_subtype;
    Rect m_boundingBox;
};

}  // namespace qo::sdk::analytics
