#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"

#include <utility>

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

ObjectTrackBestShotPacket::ObjectTrackBestShotPacket(const Uuid& trackId, int64_t timestampUs,
                                                     const Rect& boundingBox)
    : m_trackId(trackId), m_timestampUs(timestampUs), m_boundingBox(boundingBox) {}

int64_t ObjectTrackBestShotPacket::timestampUs() const {
    return m_timestampUs;
}

void ObjectTrackBestShotPacket::getTrackId(Uuid* outValue) const {
    QO_ASSERT(outValue, "");
    if (outValue)
        *outValue = m_trackId;
}

void ObjectTrackBestShotPacket::getBoundingBox(Rect* outValue) const {
    QO_ASSERT(outValue, "");
    if (outValue)
        *outValue = m_boundingBox;
}

const char* ObjectTrackBestShotPacket::imageUrl() const {
    return m_imageUrl.c_str();
}

const char* ObjectTrackBestShotPacket::imageData() const {
    return m_imageData.empty() ? nullptr : m_imageData.data();
}

int32_t ObjectTrackBestShotPacket::imageDataSize() const {
    return static_cast<int32_t>(m_imageData.size());
}

const char* ObjectTrackBestShotPacket::imageDataFormat() const {
    return m_imageDataFormat.c_str();
}

const IAttribute* ObjectTrackBestShotPacket::getAttribute(int32_t index) const {
    if (index < 0 || index >= attributeCount())
        return nullptr;
    return shareToPtr(m_attributes[static_cast<size_t>(index)].get()).releasePtr();
}

int32_t ObjectTrackBestShotPacket::attributeCount() const {
    return static_cast<int32_t>(m_attributes.size());
}

IDataPacket::Flags ObjectTrackBestShotPacket::flags() const {
    return m_flags;
}

void ObjectTrackBestShotPacket::setTrackId(const Uuid& trackId) {
    m_trackId = trackId;
}

void ObjectTrackBestShotPacket::setFlags(Flags flags) {
    m_flags = flags;
}

void ObjectTrackBestShotPacket::setTimestampUs(int64_t timestampUs) {
    m_timestampUs = timestampUs;
}

void ObjectTrackBestShotPacket::setBoundingBox(const Rect& boundingBox) {
    m_boundingBox = boundingBox;
}

void ObjectTrackBestShotPacket::setImageUrl(std::string imageUrl) {
    m_imageUrl = std::move(imageUrl);
}

void ObjectTrackBestShotPacket::setImageDataFormat(std::string imageDataFormat) {
    m_imageDataFormat = std::move(imageDataFormat);
}

void ObjectTrackBestShotPacket::setImageData(std::vector<char> imageData) {
    m_imageData = std::move(imageData);
}

void ObjectTrackBestShotPacket::setImage(std::string imageDataFormat, std::vector<char> imageData) {
    setImageDataFormat(std::move(imageDataFormat));
    setImageData(std::move(imageData));
}

void ObjectTrackBestShotPacket::addAttribute(Ptr<Attribute> attribute) {
    QO_ASSERT(attribute, "");
    if (attribute)
        m_attributes.push_back(std::move(attribute));
}

void ObjectTrackBestShotPacket::addAttributes(const std::vector<Ptr<Attribute>>& attributes) {
    for (const Ptr<Attribute>& attribute : attributes)
        addAttribute(attribute);
}

void ObjectTrackBestShotPacket::addAttributes(std::vector<Ptr<Attribute>>&& attributes) {
    for (Ptr<Attribute>& attribute : attributes)
        addAttribute(std::move(attribute));
    attributes.clear();
}

}  // namespace qo::sdk::analytics
