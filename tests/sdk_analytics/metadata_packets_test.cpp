// The metadata items and packets the plugin fills and the server reads through their interfaces.
#include <gtest/gtest.h>

#include <cstring>

#include "host_fakes.h"
#include "qo/sdk/analytics/helpers/event_metadata.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_metadata.h"
#include "qo/sdk/analytics/helpers/object_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"

namespace qo::sdk::analytics::test {
namespace {

using MetadataPackets = LogCapture;

TEST_F(MetadataPackets, unsetValuesReadAsTheServerExpects) {
    const auto object = makePtr<ObjectMetadata>();
    Uuid trackId;
    trackId.bytes.fill(7);
    object->getTrackId(&trackId);
    EXPECT_TRUE(trackId.isNull());
    Rect box(0, 0, 0, 0);
    object->getBoundingBox(&box);
    EXPECT_EQ(box, Rect(-1, -1, -1, -1));
    EXPECT_EQ(object->confidence(), 1.0F);
    const auto events = makePtr<EventMetadataPacket>();
    EXPECT_TRUE(events->timestampUs() == -1 && events->durationUs() == -1 && events->count() == 0);
    EXPECT_EQ(output.text(), "");
}

TEST_F(MetadataPackets, itemsAndAttributesAreSharedAndNullArgumentsReported) {
    const auto object = makePtr<ObjectMetadata>();
    const auto color = makePtr<Attribute>("Color", "Red");
    {
        const auto packet = makePtr<ObjectMetadataPacket>();
        packet->addItem(object.get());
        EXPECT_EQ(toPtr(packet->getAt(0)).get(), static_cast<const IMetadata*>(object.get()));
        EXPECT_EQ(object->refCountThreadUnsafe(), 2) << "the packet's and ours";
        EXPECT_TRUE(packet->getAt(1) == nullptr && packet->getAt(-1) == nullptr);
        packet->clear();
        EXPECT_EQ(object->refCountThreadUnsafe(), 1);

        const auto event = makePtr<EventMetadata>();
        event->addAttributes({color, nullptr, makePtr<Attribute>("Speed", "12")});
        ASSERT_EQ(event->attributeCount(), 2);
        EXPECT_STREQ(toPtr(event->getAttribute(1))->name(), "Speed");
        EXPECT_EQ(event->getAttribute(2), nullptr);
        EXPECT_EQ(color->refCountThreadUnsafe(), 2);
        event->getTrackId(nullptr);
        packet->addItem(static_cast<const IObjectMetadata*>(nullptr));
        makePtr<EventMetadataPacket>()->addItem(static_cast<const IEventMetadata*>(nullptr));
    }
    EXPECT_EQ(color->refCountThreadUnsafe(), 1);
    const std::string out = output.text();
    for (const char* condition :
         {"(attribute)", "(outValue)", "(objectMetadata)", "(eventMetadata)",
          "qo/sdk/analytics/helpers/event_metadata.cpp:"})
        EXPECT_NE(out.find(condition), std::string::npos) << condition;
}

TEST_F(MetadataPackets, bestShotCarriesImageBytes) {
    const auto packet = makePtr<ObjectTrackBestShotPacket>(Uuid(), 42);
    EXPECT_EQ(packet->imageData(), nullptr);
    packet->setImage("image/jpeg", {'\xFF', '\xD8', '\xFF'});
    EXPECT_EQ(packet->imageDataSize(), 3);
    EXPECT_EQ(std::memcmp(packet->imageData(), "\xFF\xD8\xFF", 3), 0);
    EXPECT_STREQ(packet->imageDataFormat(), "image/jpeg");
}

}  // namespace
}  // namespace qo::sdk::analytics::test
