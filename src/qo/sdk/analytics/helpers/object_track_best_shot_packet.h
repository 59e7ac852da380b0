// ObjectTrackBestShotPacket: the library's IObjectTrackBestShotPacket, the best view chosen for one
// object track: the moment, the box, and either an image address or the image bytes with their
// format, plus attributes in the order added.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qo/sdk/analytics/i_object_track_best_shot_packet.h"
#include "qo/sdk/helpers/attribute.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics {

class ObjectTrackBestShotPacket : public RefCountable<IObjectTrackBestShotPacket> {
public:
    explicit ObjectTrackBestShotPacket(const Uuid& trackId = Uuid(), int64_t timestampUs = -1,
                                       const Rect& boundingBox = Rect());

    int64_t timestampUs() const override;
    /** A null out-parameter is reported and nothing is written. */
    void getTrackId(Uuid* outValue) const override;
    /** A null out-parameter is reported and nothing is written. */
    void getBoundingBox(Rect* outValue) const override;
    const char* imageUrl() const override;
    /** Null when there are no image bytes. */
    const char* imageData() const override;
    int32_t imageDataSize() const override;
    const char* imageDataFormat() const override;
    /** One reference for the caller, or null when out of range. */
    const IAttribute* getAttribute(int32_t index) const override;
    int32_t attributeCount() const override;
    Flags flags() const override;

    void setTrackId(const Uuid& trackId);
    void setFlags(Flags flags);
    void setTimestampUs(int64_t timestampUs);
    void setBoundingBox(const Rect& boundingBox);
    void setImageUrl(std::string imageUrl);
    void setImageDataFormat(std::string imageDataFormat);
    void setImageData(std::vector<char> imageData);
    void setImage(std::string imageDataFormat, std::vector<char> imageData);

    /** A null attribute is reported and ignored. */
    void addAttribute(Ptr<Attribute> attribute);
    void addAttributes(const std::vector<Ptr<Attribute>>& attributes);
    void addAttributes(std::vector<Ptr<Attribute>>&& attributes);

private:
    Uuid m_trackId;
    Flags m_flags = Flags::none;
    int64_t m_timestampUs;
    Rect m_boundingBox;
    std::string m_imageUrl;
    std::vector<char> m_imageData;
    std::string m_imageDataFormat;
    std::vector<Ptr<Attribute>> m_attributes;
};

}  // namespace qo::sdk::analytics
