// The metadata items and packets the plugin fills and the server reads through their interfaces.

#include <gtest/gtest.h>

#include "host_fakes.h"
#include "qo/sdk/analytics/helpers/event_metadata.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_metadata.h"
#include "qo/sdk/analytics/helpers/object_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"

namespace qo::sdk::analytics::test {
namespace {

const std::string kNs = "qo::sdk::analytics::";

class MetadataPacketsTest : public LogCapture {};

TEST_F(MetadataPacketsTest, newObjectsStartWithTheirDocumentedValues) {
    const auto object = makePtr<ObjectMetadata>();
    EXPECT_EQ(object->confidence(), 1.0F);
    Uuid trackId;
    trackId.bytes.fill(7);
    object->getTrackId(&trackId);
    EXPECT_TRUE(trackId.isNull());
    Rect box(0, 0, 0, 0);
    object->getBoundingBox(&box);
    EXPECT_EQ(box, Rect(-1, -1, -1, -1));
    EXPECT_FALSE(makePtr<EventMetadata>()->isActive());

    const auto objects = makePtr<ObjectMetadataPacket>();
    const auto events = makePtr<EventMetadataPacket>();
    for (const ICompoundMetadataPacket* packet :
         {static_cast<ICompoundMetadataPacket*>(objects.get()),
          static_cast<ICompoundMetadataPacket*>(events.get())}) {
        EXPECT_EQ(packet->timestampUs(), -1);
        EXPECT_EQ(packet->durationUs(), -1);
        EXPECT_EQ(packet->count(), 0);
    }
    EXPECT_EQ(objects->flags(), IDataPacket::Flags::none);
    EXPECT_TRUE(lines().empty());
}

TEST_F(MetadataPacketsTest, packetItemsAreSharedAndHandedOutWithAReference) {
    const auto object = makePtr<ObjectMetadata>();
    const auto packet = makePtr<ObjectMetadataPacket>();
    packet->addItem(object.get());
    EXPECT_EQ(object->refCountThreadUnsafe(), 2);
    {
        const auto item = toPtr(packet->getAt(0));
        EXPECT_EQ(item.get(), static_cast<const IMetadata*>(object.get()));
        EXPECT_EQ(object->refCountThreadUnsafe(), 3);
    }
    EXPECT_EQ(packet->getAt(packet->count()), nullptr);
    EXPECT_EQ(packet->getAt(-1), nullptr);
    packet->clear();
    EXPECT_EQ(packet->count(), 0);
    EXPECT_EQ(object->refCountThreadUnsafe(), 1);
}

TEST_F(MetadataPacketsTest, attributesKeepTheirOrderAndNullArgumentsAreReported) {
    const auto first = makePtr<Attribute>("Color", "Red");
    {
        const auto event = makePtr<EventMetadata>();
        event->addAttributes({first, nullptr, makePtr<Attribute>("Speed", "12")});
        ASSERT_EQ(event->attributeCount(), 2);
        EXPECT_STREQ(toPtr(event->getAttribute(1))->name(), "Speed");
        EXPECT_EQ(event->getAttribute(2), nullptr);
        EXPECT_EQ(first->refCountThreadUnsafe(), 2);
        event->getTrackId(nullptr);
        makePtr<ObjectMetadataPacket>()->addItem(static_cast<const IObjectMetadata*>(nullptr));
        makePtr<EventMetadataPacket>()->addItem(static_cast<const IEventMetadata*>(nullptr));
    }
    EXPECT_EQ(first->refCountThreadUnsafe(), 1);
    const std::string out = ::testing::PrintToString(lines());
    for (const char* condition :
         {"(attribute)", "(outValue)", "(objectMetadata)", "(eventMetadata)"})
        EXPECT_NE(out.find(condition), std::string::npos) << condition;
    EXPECT_NE(out.find("qo/sdk/analytics/helpers/event_metadata.cpp:"), std::string::npos);
}

TEST_F(MetadataPacketsTest, bestShotCarriesConstructorValuesAndImageBytes) {
    Uuid trackId;
    trackId.bytes[0] = 3;
    const auto packet =
        makePtr<ObjectTrackBestShotPacket>(trackId, 42, Rect(0.1F, 0.2F, 0.3F, 0.4F));
    EXPECT_EQ(packet->timestampUs(), 42);
    Uuid readTrackId;
    packet->getTrackId(&readTrackId);
    EXPECT_EQ(readTrackId, trackId);
    Rect box;
    packet->getBoundingBox(&box);
    EXPECT_EQ(box, Rect(0.1F, 0.2F, 0.3F, 0.4F));
    EXPECT_EQ(packet->imageData(), nullptr);

    packet->setImage("image/jpeg", {'\xFF', '\xD8', '\xFF'});
    EXPECT_EQ(packet->imageDataSize(), 3);
    EXPECT_EQ(std::memcmp(packet->imageData(), "\xFF\xD8\xFF", 3), 0);
    EXPECT_STREQ(packet->imageDataFormat(), "image/jpeg");
}

TEST(MetadataInterfaces, everyLevelOfEveryChainAnswersItsIds) {
    expectInterfaces(makePtr<ObjectMetadata>().get(),
                     {kNs + "IObjectMetadata", kNs + "IMetadata", "qo::sdk::IRefCountable"},
                     {kNs + "IEventMetadata", kNs + "IEventMetadata2"});
    expectInterfaces(makePtr<EventMetadata>().get(),
                     {kNs + "IEventMetadata2", kNs + "IEventMetadata1", kNs + "IEventMetadata",
                      kNs + "IMetadata", "qo::sdk::IRefCountable"},
                     {kNs + "IObjectMetadata"});

    const std::vector<std::string> packetChain = {kNs + "ICompoundMetadataPacket",
                                                  kNs + "IMetadataPacket", kNs + "IDataPacket",
                                                  "qo::sdk::IRefCountable"};
    auto chain = [&](const std::string& kind) {
        std::vector<std::string> ids = {kNs + kind + "1", kNs + kind};
        ids.insert(ids.end(), packetChain.begin(), packetChain.end());
        return ids;
    };
    expectInterfaces(makePtr<ObjectMetadataPacket>().get(), chain("IObjectMetadataPacket"),
                     {kNs + "IEventMetadataPacket1", kNs + "IObjectTrackBestShotPacket2"});
    expectInterfaces(makePtr<EventMetadataPacket>().get(), chain("IEventMetadataPacket"),
                     {kNs + "IObjectMetadataPacket1", kNs + "IObjectMetadataPacket"});
    expectInterfaces(makePtr<ObjectTrackBestShotPacket>().get(),
                     {kNs + "IObjectTrackBestShotPacket2", kNs + "IObjectTrackBestShotPacket1",
                      kNs + "IObjectTrackBestShotPacket", kNs + "IMetadataPacket",
                      kNs + "IDataPacket", "qo::sdk::IRefCountable"},
                     {kNs + "ICompoundMetadataPacket", kNs + "IObjectMetadataPacket1"});
}

}  // namespace
}  // namespace qo::sdk::analytics::test
