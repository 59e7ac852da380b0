// IObjectTrackBestShotPacket: the best image (or its address) chosen for one object track.
#pragma once

#include "qo/sdk/analytics/i_metadata_packet.h"
#include "qo/sdk/analytics/rect.h"
#include "qo/sdk/i_attribute.h"
#include "qo/sdk/uuid.h"

namespace qo::sdk::analytics {

class IObjectTrackBestShotPacket0 : public Interface<IObjectTrackBestShotPacket0, IMetadataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {
        "qo::sdk::analytics::IObjectTrackBestShotPacket"};

    virtual void getTrackId(Uuid* outValue) const = 0;
    virtual void getBoundingBox(Rect* outValue) const = 0;
    virtual const char* imageUrl() const = 0;
    /** Null when there is no image data. */
    virtual const char* imageData() const = 0;
    virtual int32_t imageDataSize() const = 0;
    virtual const char* imageDataFormat() const = 0;
};

class IObjectTrackBestShotPacket1
    : public Interface<IObjectTrackBestShotPacket1, IObjectTrackBestShotPacket0> {
public:
    static constexpr const char* kInterfaceIds[] = {
        "qo::sdk::analytics::IObjectTrackBestShotPacket1"};

    /** One reference for the caller, or null when out of range. */
    virtual const IAttribute* getAttribute(int32_t index) const = 0;
    virtual int32_t attributeCount() const = 0;
};

class IObjectTrackBestShotPacket
    : public Interface<IObjectTrackBestShotPacket, IObjectTrackBestShotPacket1> {
public:
    static constexpr const char* kInterfaceIds[] = {
        "qo::sdk::analytics::IObjectTrackBestShotPacket2"};

    virtual Flags flags() const = 0;
};

}  // namespace qo::sdk::analytics
