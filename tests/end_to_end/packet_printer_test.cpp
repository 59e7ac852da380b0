#include "host/packet_printer.h"

#include <gtest/gtest.h>

#include "qo/sdk/analytics/helpers/event_metadata.h"
#include "qo/sdk/analytics/helpers/event_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_metadata.h"
#include "qo/sdk/analytics/helpers/object_metadata_packet.h"
#include "qo/sdk/analytics/helpers/object_track_best_shot_packet.h"
#include "qo/sdk/helpers/attribute.h"

namespace lumo::host {
namespace {

using qo::sdk::Attribute;
using qo::sdk::makePtr;
using qo::sdk::Ptr;
using qo::sdk::Uuid;
using namespace qo::sdk::analytics;

Uuid trackId(uint8_t first) {
    Uuid uuid;
    for (size_t i = 0; i < uuid.bytes.size(); ++i)
        uuid.bytes[i] = static_cast<uint8_t>(first + i);
    return uuid;
}

// A metadata packet of no kind this server knows.
class PlainMetadataPacket : public qo::sdk::RefCountable<IMetadataPacket> {
public:
    int64_t timestampUs() const override { return 7; }
};

class PacketPrinterTest : public ::testing::Test {
protected:
    static Ptr<ObjectMetadata> trackedObject(const char* typeId, uint8_t track, const Rect& box,
                                             const char* color) {
        auto object = makePtr<ObjectMetadata>();
        object->setTypeId(typeId);
        object->setTrackId(trackId(track));
        object->setBoundingBox(box);
        object->addAttribute(
            makePtr<Attribute>(qo::sdk::IAttribute::Type::color, "qo.sys.color", color));
        return object;
    }
};

TEST_F(PacketPrinterTest, ObjectPacketShowsEveryItemWithTrackBoxAndAttributes) {
    const auto packet = makePtr<ObjectMetadataPacket>();
    packet->setTimestampUs(1100000);
    packet->setDurationUs(1);
    packet->addItem(
        trackedObject("qo.lumo.Human", 0x5c, Rect(0.25F, 0.25F, 0.25F, 0.5F), "Green").get());
    packet->addItem(
        trackedObject("qo.lumo.Car", 0xa0, Rect(0.5F, 0.125F, 0.375F, 0.25F), "Cyan").get());

    EXPECT_EQ(packetKind(packet.get()), PacketKind::object);
    EXPECT_EQ(formatPacketLine(packet.get()),
              "object t=1100000 dur=1: "
              "qo.lumo.Human track=5c5d5e5f box=0.250,0.250,0.250,0.500 {qo.sys.color: Green}; "
              "qo.lumo.Car track=a0a1a2a3 box=0.500,0.125,0.375,0.250 {qo.sys.color: Cyan}");
}

TEST_F(PacketPrinterTest, ObjectWithoutBoxShowsAttributesOnly) {
    auto object = makePtr<ObjectMetadata>();
    object->setTypeId("qo.lumo.Human");
    object->setTrackId(trackId(1));
    object->addAttribute(makePtr<Attribute>("Object ID", "7"));
    object->addAttribute(makePtr<Attribute>("Gender", "Male"));
    const auto packet = makePtr<ObjectMetadataPacket>();
    packet->setTimestampUs(1001000);
    packet->setDurationUs(1);
    packet->addItem(object.get());

    EXPECT_EQ(formatPacketLine(packet.get()),
              "object t=1001000 dur=1: qo.lumo.Human track=01020304 {Object ID: 7, Gender: Male}");
}

TEST_F(PacketPrinterTest, BestShotShowsTrackBoxImageAndAttributes) {
    const auto packet =
        makePtr<ObjectTrackBestShotPacket>(trackId(0), 5, Rect(0.0F, 0.5F, 0.25F, 0.25F));
    packet->setImageUrl("http://10.1.2.3/shot.jpg");
    packet->setImage("image/jpeg", {'a', 'b', 'c'});
    packet->addAttribute(makePtr<Attribute>("Object ID", "9"));

    EXPECT_EQ(packetKind(packet.get()), PacketKind::bestShot);
    EXPECT_EQ(formatPacketLine(packet.get()),
              "best-shot t=5 track=00010203 box=0.000,0.500,0.250,0.250 "
              "url=\"http://10.1.2.3/shot.jpg\" image=3 bytes \"image/jpeg\" {Object ID: 9}");
}

TEST_F(PacketPrinterTest, EventShowsCaptionDescriptionAndActivity) {
    auto counting = makePtr<EventMetadata>();
    counting->setTypeId("qo.lumo.LineCounting");
    counting->setCaption("Line Counting");
    counting->setDescription("Event Line : [2], Count : [12]");
    counting->setIsActive(true);
    counting->setTrackId(trackId(0xe0));
    auto unlisted = makePtr<EventMetadata>();
    const auto packet = makePtr<EventMetadataPacket>();
    packet->setTimestampUs(1300000);
    packet->setDurationUs(1);
    packet->addItem(counting.get());
    packet->addItem(unlisted.get());

    EXPECT_EQ(packetKind(packet.get()), PacketKind::event);
    EXPECT_EQ(formatPacketLine(packet.get()),
              "event t=1300000 dur=1: qo.lumo.LineCounting track=e0e1e2e3 active "
              "caption=\"Line Counting\" description=\"Event Line : [2], Count : [12]\"; "
              "(no type) track=00000000 inactive caption=\"\" description=\"\"");
}

TEST_F(PacketPrinterTest, TextsAreQuotedSoThatTheLineStaysOneLine) {
    auto event = makePtr<EventMetadata>();
    event->setTypeId("qo.lumo.Enter");
    event->setCaption("say \"hi\"");
    event->setDescription("two\nlines");
    const auto packet = makePtr<EventMetadataPacket>();
    packet->setTimestampUs(1);
    packet->addItem(event.get());

    const std::string line = formatPacketLine(packet.get());
    EXPECT_NE(line.find("caption=\"say \\\"hi\\\"\""), std::string::npos) << line;
    EXPECT_NE(line.find("description=\"two\\nlines\""), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST_F(PacketPrinterTest, PacketOfAnUnknownKindShowsItsTime) {
    const auto packet = makePtr<PlainMetadataPacket>();
    EXPECT_EQ(packetKind(packet.get()), PacketKind::unknown);
    EXPECT_EQ(formatPacketLine(packet.get()), "unknown t=7");
}

TEST_F(PacketPrinterTest, PrintingLeavesEveryReferenceItTook) {
    auto object = trackedObject("qo.lumo.Car", 3, Rect(0.1F, 0.1F, 0.1F, 0.1F), "Cyan");
    const auto packet = makePtr<ObjectMetadataPacket>();
    packet->addItem(object.get());
    const int32_t objectRefs = object->refCountThreadUnsafe();

    formatPacketLine(packet.get());
    EXPECT_EQ(packet->refCountThreadUnsafe(), 1);
    EXPECT_EQ(object->refCountThreadUnsafe(), objectRefs);
}

}  // namespace
}  // namespace lumo::host
